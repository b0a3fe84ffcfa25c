function [Xs, range, scale] = apply_scale (X, option)
% Training data scaled as the Scale option asks; range goes into the model.
  if ischar (option) && strcmp (option, 'auto')
    [Xs, range] = vorla_scale (X);
    scale = 'auto';
  elseif ischar (option) && strcmp (option, 'robust')
    range = robust_range (X);
    Xs = vorla_scale (X, range);
    scale = 'robust';
  elseif ischar (option)
    Xs = X;
    range = [];
    scale = 'none';
  else
    range = option;
    Xs = vorla_scale (X, range);
    scale = 'range';
  end
end
