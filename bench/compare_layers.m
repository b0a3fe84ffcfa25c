function results = compare_layers (dirs, repeats)
  % vorla_train's default call (the hyperparameter search) on noisy_data (2000, 1) with
  % 'Threads', 1 and 'Threads', 0, for two or more build folders (each with the .m files and
  % the MEX files of one build) taking turns in this one process, the fastest of `repeats`
  % (default 5) counting. Every build must give the same model (but its History, which
  % holds seconds). Prints each build's times and its ratio of Threads 1 to Threads 0.
  %
  %   octave-cli --no-gui --norc --eval "addpath('bench'); compare_layers({'/tmp/before', 'build'})"
  if nargin < 2
    repeats = 5;
  end
  [X, y] = noisy_data (2000, 1);
  dirs = cellfun (@make_absolute_filename, dirs, 'UniformOutput', false);
  best = inf (numel (dirs), 2);
  reference = [];
  for r = 1:repeats
    for d = 1:numel (dirs)
      addpath (dirs{d});
      clear functions;
      for t = 1:2
        started = tic ();
        model = vorla_train (X, y, 'Threads', 2 - t);
        best(d, t) = min (best(d, t), toc (started));
        model = rmfield (model, 'History');
        if isempty (reference)
          reference = model;
        elseif ~isequal (model, reference)
          error ('compare_layers: %s gives another model with Threads %d', dirs{d}, 2 - t);
        end
      end
      rmpath (dirs{d});
    end
  end
  results = struct ('dir', dirs(:), 'one_s', num2cell (best(:,1)), 'all_s', num2cell (best(:,2)), ...
                    'speedup', num2cell (best(:,1) ./ best(:,2)));
  for d = 1:numel (dirs)
    printf ('%s: Threads 1 %.3f s, Threads 0 %.3f s, %.2f times faster\n', dirs{d}, best(d, :), ...
            best(d, 1) / best(d, 2));
  end
end
