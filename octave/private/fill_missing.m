function [X, fill] = fill_missing (X, fill)
% X with each NaN replaced by its feature's fill value; fill [] takes the
% median of each feature's values in X (0 for a feature with none), the
% training values that MissingValues 'impute' keeps in the model.
  if isempty (fill)
    fill = zeros (1, size (X, 2));
    for j = 1:size (X, 2)
      v = sort (X(~isnan (X(:,j)), j));
      n = numel (v);
      if n > 0
        % The two middle order statistics: the same median in every host.
        fill(j) = (v(floor ((n + 1) / 2)) + v(ceil ((n + 1) / 2))) / 2;
      end
    end
  end
  [r, c] = find (isnan (X));
  X(sub2ind (size (X), r, c)) = fill(c);
end
