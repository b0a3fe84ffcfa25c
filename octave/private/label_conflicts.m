function [patterns, groups, rows] = label_conflicts (X, y)
% Counts the patterns that have an identical twin with another label, and the
% groups of identical patterns they form; rows lists those patterns in order.
% No box can separate them, so strict match tracking makes new nodes for them
% in every presentation.
  patterns = 0;
  groups = 0;
  rows = zeros (0, 1);
  if size (X, 1) < 2 || size (X, 2) < 1
    return;
  end
  % Only patterns that share their first feature with another can be twins;
  % one sort of a column finds them, where sorting whole rows costs ten times more.
  % The sort gives no order: Octave 7.3's sort with an index output can crash
  % the process where memory runs short, and the tied values suffice.
  first = sort (X(:,1));
  shared = first([false; diff(first) == 0]);
  if isempty (shared)
    return;
  end
  shared = shared([true; diff(shared) ~= 0]);
  if exist ('OCTAVE_VERSION', 'builtin')
    % lookup finds them in the sorted values without sorting X again.
    candidates = find (lookup (shared, X(:,1), 'b'));
  else
    candidates = find (ismember (X(:,1), shared));
  end
  [~, ~, group] = unique (X(candidates,:), 'rows');
  group = group(:);
  pairs = unique ([group, y(candidates)], 'rows');
  mixed = find (accumarray (pairs(:,1), 1) > 1);
  groups = numel (mixed);
  if groups > 0
    rows = sort (candidates(ismember (group, mixed)));
    patterns = numel (rows);
  end
end
