function ok = ref_fits32 (v)
  % True when truncation toward zero of v fits a 32-bit signed integer
  % (false for NaN and both infinities).
  ok = v > -2147483649.0 & v < 2147483648.0;
end
