function range = robust_range (X)
% The training range of each feature, except where a few far values would
% squash the rest: a feature whose range is more than twice as wide as the
% span of its values within the outer fences, Q1 - 3 IQR to Q3 + 3 IQR, gets
% that span (values beyond it are clipped to it). A feature without such
% values keeps its whole range, so clean data scale as by vorla_scale. The
% quartiles are order statistics, and the fences one multiplication and one
% subtraction each: the same range in every host.
  X = double (X);
  if any (isnan (X(:)))
    % Each feature by its observed values (a feature with none: [0; 0]).
    range = zeros (2, size (X, 2));
    for j = 1:size (X, 2)
      v = X(~isnan (X(:,j)), j);
      if ~isempty (v)
        range(:,j) = robust_range (v);
      end
    end
    return;
  end
  sorted = sort (X, 1);
  n = size (sorted, 1);
  range = [sorted(1,:); sorted(end,:)];
  if n == 0
    return;
  end
  q1 = sorted(ceil (0.25 * n),:);
  q3 = sorted(ceil (0.75 * n),:);
  spread = q3 - q1;
  for j = find (spread > 0)
    inside = sorted(sorted(:,j) >= q1(j) - 3 * spread(j) & sorted(:,j) <= q3(j) + 3 * spread(j), j);
    if range(2,j) - range(1,j) > 2 * (inside(end) - inside(1))
      range(:,j) = [inside(1); inside(end)];
    end
  end
end
