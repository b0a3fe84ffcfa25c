function [X, fill] = fill_missing (X, fill, categorical)
% X with each NaN replaced by its feature's fill value; fill [] takes, from
% the values in X, each feature's median, or for the features listed in
% categorical (their categories' positions) the most frequent one, the
% smallest of a tie (0 for a feature with no value): the training values that
% MissingValues 'impute' keeps in the model.
  if isempty (fill)
    if nargin < 3
      categorical = [];
    end
    fill = zeros (1, size (X, 2));
    for j = 1:size (X, 2)
      v = sort (X(~isnan (X(:,j)), j));
      n = numel (v);
      if n == 0
        continue;
      elseif any (j == categorical)
        % Sorted, so the first run of the greatest length is the smallest mode.
        ends = [find(diff (v) ~= 0); n];
        [~, longest] = max (diff ([0; ends]));
        fill(j) = v(ends(longest));
      else
        % The two middle order statistics: the same median in every host.
        fill(j) = (v(floor ((n + 1) / 2)) + v(ceil ((n + 1) / 2))) / 2;
      end
    end
  end
  [r, c] = find (isnan (X));
  X(sub2ind (size (X), r, c)) = fill(c);
end
