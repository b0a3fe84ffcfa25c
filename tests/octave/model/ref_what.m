function what = ref_what (x)
  % Name of a refused argument class as the entry points report it,
  % or '' when the argument is an accepted numeric or logical array.
  if (ischar (x))
    what = 'char';
  elseif (iscell (x))
    what = 'cell';
  elseif (isstruct (x))
    what = 'struct';
  elseif (issparse (x))
    what = 'sparse';          % also sparse logical and sparse complex
  elseif (is_function_handle (x))
    what = 'function_handle';
  elseif (isnumeric (x) || islogical (x))
    what = '';
  else
    what = 'unknown';
  end
end
