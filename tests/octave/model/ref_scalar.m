function [ok, v] = ref_scalar (x)
  % Scalar test of the entry points: two dimensions, one of them 1, and at
  % least one element (an empty vector is refused like a matrix).  The value
  % is the first element.
  v = [];
  ok = ndims (x) == 2 && (rows (x) == 1 || columns (x) == 1) && numel (x) > 0;
  if (ok)
    v = ref_dbl (x(1));
  end
end
