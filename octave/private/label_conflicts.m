function [patterns, groups] = label_conflicts (X, y)
% Counts the patterns that have an identical twin with another label, and the
% groups of identical patterns they form. No box can separate them, so
% training makes new nodes for them in every presentation.
  patterns = 0;
  groups = 0;
  if size (X, 1) < 2
    return;
  end
  [~, ~, group] = unique (X, 'rows');
  group = group(:);
  pairs = unique ([group, y(:)], 'rows');
  mixed = find (accumarray (pairs(:,1), 1) > 1);
  groups = numel (mixed);
  if groups > 0
    patterns = sum (ismember (group, mixed));
  end
end
