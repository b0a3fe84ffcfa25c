function args = text_args (args)
% MATLAB strings among the entries of a cell (arguments, or a grid of option
% values) in the forms the layer reads everywhere: a scalar string becomes a
% char row, any other string array a cellstr of its size; cells are converted
% within. Other values, and everything in Octave (which has no strings), are
% left as they are.
  for i = 1:numel (args)
    value = args{i};
    if iscell (value)
      args{i} = text_args (value);
    elseif isa (value, 'string')
      if isscalar (value) && ~ismissing (value)
        args{i} = char (value);
      else
        args{i} = cellstr (value);
      end
    end
  end
end
