function parallel_rule (sizes, repeats)
  % Where worker processes pay: vorla_train with 6 voters on circle-in-the-square patterns
  % of several sizes, serially, with 'Parallel' true as the layer decides, and with workers
  % forced (VORLA_WORKER_COST 0, which also ignores the load). The runs alternate in one
  % process, the fastest of `repeats` counts, and the models are asserted equal. The load
  % average is printed with each row: workers only pay on idle cores.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); parallel_rule()"
  if nargin < 1
    sizes = [1000 4000 16000 32000];
  end
  if nargin < 2
    repeats = 3;
  end
  printf ('| patterns | serial | Parallel (rule) | Parallel (forced) | forced / serial | load average |\n');
  printf ('|---:|---:|---:|---:|---:|---:|\n');
  for n = sizes
    rand ('state', 42);
    [X, y] = circle_data (n);
    best = Inf (1, 3);
    for r = 1:repeats
      started = tic ();
      one = vorla_train (X, y, 'OptimizeHyperparameters', 'none', 'Voters', 6);
      best(1) = min (best(1), toc (started));
      started = tic ();
      two = vorla_train (X, y, 'OptimizeHyperparameters', 'none', 'Voters', 6, 'Parallel', true);
      best(2) = min (best(2), toc (started));
      setenv ('VORLA_WORKER_COST', '0');
      started = tic ();
      three = vorla_train (X, y, 'OptimizeHyperparameters', 'none', 'Voters', 6, 'Parallel', true);
      best(3) = min (best(3), toc (started));
      unsetenv ('VORLA_WORKER_COST');
      assert (isequal (one, two) && isequal (one, three));
    end
    load = fileread ('/proc/loadavg');
    printf ('| %d | %.3f s | %.3f s | %.3f s | %.2f | %s |\n', n, best, best(3) / best(1), strtok (load));
  end
end
