function s = ref_desc (x)
  % Full, exact description of one argument for mismatch reports.
  cls = class (x);
  sz = sprintf ('%dx', size (x));
  sz = sz(1:end-1);
  if (issparse (x))
    [i, j, v] = find (x);
    s = sprintf ('sparse %s %s, nonzeros i=%s j=%s v=%s', cls, sz, mat2str (i'), mat2str (j'), mat2str (full (v'), 17));
  elseif (isnumeric (x) || islogical (x) || ischar (x))
    if (ndims (x) > 2)
      s = sprintf ('%s %s reshape(%s, [%s])', cls, sz, mat2str (x(:)', 17), num2str (size (x)));
    elseif (rows (x) > 5000 || columns (x) > 5000)
      s = sprintf ('%s %s (large, not listed)', cls, sz);
    else
      if (isnumeric (x) && ! isa (x, 'double') && ! isa (x, 'single'))
        s = sprintf ('%s %s %s(%s)', cls, sz, cls, mat2str (double (x), 17));
      else
        s = sprintf ('%s %s %s', cls, sz, mat2str (x, 17));
      end
    end
  elseif (iscell (x))
    s = sprintf ('cell %s', sz);
  elseif (isstruct (x))
    s = sprintf ('struct %s', sz);
  elseif (is_function_handle (x))
    s = sprintf ('function_handle %s', func2str (x));
  else
    s = sprintf ('%s %s', cls, sz);
  end
end
