function folds = stratified_folds (index, K, seed)
% Each class's patterns in a seeded random order, dealt to the folds in turn;
% each class starts where the last one stopped, so the folds differ in size
% by one pattern at most.
  C = max ([index(:); 0]);
  members = arrayfun (@(c) find (index == c), 1:C, 'UniformOutput', false);
  orders = seeded_permutations (seed, cellfun ('numel', members));
  folds = zeros (size (index));
  next = 0;
  for c = 1:C
    count = numel (members{c});
    folds(members{c}(orders{c})) = mod (next + (0:count - 1), K) + 1;
    next = next + count;
  end
end
