function y = ref_dbl (x)
  % Values as the entry points read them: real part only, C cast to double.
  if (iscomplex (x))
    x = real (x);
  end
  y = double (x);
end
