function text = describe (value)
% A short account of a value for error messages: what came.
  if ischar (value) && (isrow (value) || isequal (size (value), [0 0]))
    text = ['''' value ''''];
  elseif (isnumeric (value) || islogical (value)) && isscalar (value) && ~issparse (value)
    text = num2str (value);
    if isinteger (value)
      text = integer_text (value);
    elseif islogical (value)
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

function text = integer_text (value)
% Every digit of an integer: num2str and sprintf go through double for
% 64-bit values beyond 2^53.
  sign = '';
  if value < 0
    sign = '-';
    % -intmin does not fit its class; one more than -(value + 1) does in uint64.
    value = uint64 (-(value + 1)) + 1;
  else
    value = uint64 (value);
  end
  text = '';
  while true
    % Integer division rounds; one less than the rounded quotient, times
    % ten, stays within the class and at most 15 below value.
    below = value / 10 - 1;
    digit = value - below * 10;
    if digit >= 10
      digit = digit - 10;
      below = below + 1;
    end
    text = [char('0' + double (digit)), text];
    value = below;
    if value == 0
      break;
    end
  end
  text = [sign text];
end
