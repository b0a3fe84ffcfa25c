function y = ref_trunc (x)
  % Truncation toward zero as a C cast to int gives it: never -0.
  y = fix (x) + 0;
end
