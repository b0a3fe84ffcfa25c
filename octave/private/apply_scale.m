function [Xs, range, scale] = apply_scale (X, option, coding)
% Training data scaled as the Scale option asks, and coded (code_patterns);
% range goes into the model. Categorical features take no part in the range:
% theirs reads [0; 1], the span of their columns (a given range is kept as
% given).
  features = categorical_features (coding);
  numeric = true (1, size (X, 2));
  numeric(features) = false;
  if ischar (option) && strcmp (option, 'auto')
    [~, range] = vorla_scale (X(:,numeric));
    scale = 'auto';
  elseif ischar (option) && strcmp (option, 'robust')
    range = robust_range (X(:,numeric));
    scale = 'robust';
  elseif ischar (option)
    range = [];
    scale = 'none';
  else
    range = option;
    scale = 'range';
  end
  if ~isempty (features) && ~strcmp (scale, 'none') && ~strcmp (scale, 'range')
    whole = repmat ([0; 1], 1, size (X, 2));
    whole(:,numeric) = range;
    range = whole;
  end
  if isempty (features) && strcmp (scale, 'auto')
    % One call, as ever: bit for bit the model of before.
    [Xs, range] = vorla_scale (X);
  else
    Xs = code_patterns (X, range, coding);
  end
end
