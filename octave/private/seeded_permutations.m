function orders = seeded_permutations (seed, sizes)
% One random permutation of 1:sizes(i) (a row) for each entry, drawn in order
% from the layer's own generator seeded with seed (seeded_uniform): the same
% in every host, and the host's random state is not touched.
  orders = cell (size (sizes));
  state = seed;
  for i = 1:numel (sizes)
    [keys, state] = seeded_uniform (state, sizes(i), 1);
    % sort is stable, so even equal keys give one order in every host.
    [~, order] = sort (keys);
    orders{i} = order(:)';
  end
end
