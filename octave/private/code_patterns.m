function Xs = code_patterns (X, range, coding)
% The columns that the networks see. Numeric features are scaled by range
% (vorla_scale; [] leaves them as given). A categorical feature (X holding the
% position of its category, NaN for a missing one) of
% L categories takes L indicator columns, the category's at 1 / L and the rest
% at 0, so that a box holds a set of categories: an indicator at [0, 1 / L]
% lets its category in, one at [0, 0] keeps it out, and a box that holds k >= 2
% categories spans k / L in the feature (every category: 1, as a numeric
% feature's whole range). Two categories take one column, at 0 and 1, which is
% the same geometry without the second column. A missing category is NaN in
% every indicator: inside every box there.
  features = categorical_features (coding);
  if isempty (features)
    if isempty (range)
      Xs = X;
    else
      Xs = vorla_scale (X, range);
    end
    return;
  end
  [N, M] = size (X);
  numeric = true (1, M);
  numeric(features) = false;
  [first, count] = coded_layout (coding, M);
  Xs = zeros (N, sum (count));
  if isempty (range)
    Xs(:, first(numeric)) = X(:, numeric);
  else
    Xs(:, first(numeric)) = vorla_scale (X(:, numeric), range(:, numeric));
  end
  for i = 1:numel (features)
    j = features(i);
    position = X(:,j);
    L = numel (coding.Categories{i});
    if count(j) == 1
      Xs(:, first(j)) = position - 1;
    else
      seen = find (position >= 1);
      Xs(sub2ind (size (Xs), seen, first(j) - 1 + position(seen))) = 1 / L;
      Xs(isnan (position), first(j) + (0:L-1)) = NaN;
    end
  end
end
