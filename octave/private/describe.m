function text = describe (value)
% A short account of a value for error messages: what came.
  if ischar (value) && (isrow (value) || isequal (size (value), [0 0]))
    text = ['''' value ''''];
  elseif (isnumeric (value) || islogical (value)) && isscalar (value) && ~issparse (value)
    text = num2str (value);
    if islogical (value)
      text = mat2str (value);
    end
  else
    dims = sprintf ('%d x ', size (value));
    text = sprintf ('a %s %s', dims(1:end-3), class (value));
  end
  if issparse (value)
    text = ['a sparse' text(2:end)];
  elseif (isnumeric (value) || islogical (value)) && ~isreal (value)
    text = sprintf ('%s (complex)', text);
  end
end
