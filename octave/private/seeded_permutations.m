function orders = seeded_permutations (seed, sizes)
% One random permutation of 1:sizes(i) for each entry, drawn in order from a
% generator seeded with seed; the caller's random state is left as it was.
  orders = cell (size (sizes));
  if isempty (sizes)
    return;
  end
  if exist ('OCTAVE_VERSION', 'builtin')
    saved = rand ('twister');
    restore = onCleanup (@() rand ('twister', saved));
    rand ('twister', seed);
  else
    saved = rng ();
    restore = onCleanup (@() rng (saved));
    rng (seed, 'twister');
  end
  for i = 1:numel (sizes)
    orders{i} = randperm (sizes(i));
  end
end
