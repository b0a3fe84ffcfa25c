function results = compare_layers (dirs, repeats, what, points)
  % A training call with 'Threads', 1 and 'Threads', 0, for two or more build folders (each
  % with the .m files and the MEX files of one build) taking turns in this one process, the
  % fastest of `repeats` (default 5) counting. `what` is 'search' (default: vorla_train's
  % default call, the hyperparameter search, on noisy_data (2000, 1)) or 'crossval'
  % (vorla_crossval of 10 folds x 4 vigilance levels, Voters 5, on `points` circle-in-the-square
  % patterns, default 10,000). Every build must give the same result (but the History and
  % Time, which hold seconds). Prints each build's times and its ratio of Threads 1 to Threads 0.
  %
  %   octave-cli --no-gui --norc --eval "addpath('bench'); compare_layers({'/tmp/before', 'build'})"
  %   octave-cli --no-gui --norc --eval "addpath('bench'); compare_layers({'/tmp/before', 'build'}, 5, 'crossval', 40000)"
  if nargin < 2
    repeats = 5;
  end
  if nargin < 3
    what = 'search';
  end
  if nargin < 4
    points = 10000;
  end
  if strcmp (what, 'search')
    [X, y] = noisy_data (2000, 1);
    call = @(threads) rmfield (vorla_train (X, y, 'Threads', threads), 'History');
  else
    rand ('state', 42);
    [X, y] = circle_data (points);
    folds = {'KFold', 10, 'Vigilance', [0 0.3 0.6 0.8], 'Voters', 5, 'OptimizeHyperparameters', 'none'};
    call = @(threads) rmfield (vorla_crossval (X, y, folds{:}, 'Threads', threads), 'Time');
  end
  dirs = cellfun (@make_absolute_filename, dirs, 'UniformOutput', false);
  best = inf (numel (dirs), 2);
  reference = [];
  for r = 1:repeats
    for d = 1:numel (dirs)
      addpath (dirs{d});
      clear functions;
      for t = 1:2
        started = tic ();
        model = call (2 - t);
        best(d, t) = min (best(d, t), toc (started));
        if isempty (reference)
          reference = model;
        elseif ~isequal (model, reference)
          error ('compare_layers: %s gives another result with Threads %d', dirs{d}, 2 - t);
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
