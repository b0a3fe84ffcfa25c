function results = noisy_compare (base_dir, which)
  % Times the MEX files on the path against MEX files built from an older revision, in this
  % one Octave process, on the noisy problem of noisy_data (10 features, 4 overlapping
  % classes, 1% of the labels random), checks that both give identical results, and prints
  % the table of doc/performance.md. Every call is one whose counts nothing shows (oflag 0),
  % as vorla_train and vorla_predict make them.
  %
  %   git worktree add /tmp/base <revision> && cmake -S /tmp/base -B /tmp/base/build \
  %     -DVORLA_TESTS=OFF && cmake --build /tmp/base/build --target vorla_fit vorla_eval
  %   octave-cli --no-gui --norc --eval \
  %     "addpath('build'); addpath('bench'); noisy_compare('/tmp/base/build')"
  %
  % base_dir: the folder holding the older vorla_fit.mex and vorla_eval.mex.
  % which: 'all' (default), 'train' (10^5 rows until convergence, the vorla_train defaults;
  % several minutes for the older build), 'once' (one presentation of 10^6 rows), 'classify'
  % (10^5 rows against the network of 'train', vigilance 0) or 'small' (3 x 10^4 rows
  % until convergence, then classification against that network). Training runs once per
  % build, the two taking turns; classification is the fastest of 3.
  if (nargin < 2)
    which = 'all';
  end
  cleanup = base_build (base_dir);
  results = struct ('what', {}, 'new_s', {}, 'base_s', {});
  M = 10;
  % The vorla_train defaults: D = M, vigilance 0, alpha 0.001, fast learning, until
  % convergence (at most 1000 presentations), no trimming, no CT.
  fit = @(f, X, y, presentations) f (X, y, M, 0, 0.001, 1, presentations, 0, 0, 0);

  if (any (strcmp (which, {'all', 'small'})))
    [X, y] = noisy_data (30000, 1);
    X = vorla_scale (X);
    [t_new, t_base, T, NL, P] = race (@() fit (@vorla_fit, X, y, 1000), @() fit (@base_vorla_fit, X, y, 1000), 1, 3);
    results(end+1) = report (sprintf ('training, 3 x 10^4 rows (%d nodes, %d presentations)', rows (T), P), t_new, t_base);
    [Q, ~] = noisy_data (100000, 2);
    Q = vorla_scale (Q);
    results = classify_rows (results, T, NL, Q, M);
  end
  if (any (strcmp (which, {'all', 'train', 'classify'})))
    [X, y] = noisy_data (100000, 1);
    X = vorla_scale (X);
    if (strcmp (which, 'classify'))
      [T, NL, ~] = fit (@vorla_fit, X, y, 1000);
    else
      [t_new, t_base, T, NL, P] = race (@() fit (@vorla_fit, X, y, 1000), @() fit (@base_vorla_fit, X, y, 1000), 1, 3);
      results(end+1) = report (sprintf ('training, 10^5 rows (%d nodes, %d presentations)', rows (T), P), t_new, t_base);
    end
    if (any (strcmp (which, {'all', 'classify'})))
      [Q, ~] = noisy_data (100000, 2);
      Q = vorla_scale (Q);
      results = classify_rows (results, T, NL, Q, M);
    end
  end
  if (any (strcmp (which, {'all', 'once'})))
    [X, y] = noisy_data (1000000, 3);
    X = vorla_scale (X);
    [t_new, t_base, T] = race (@() fit (@vorla_fit, X, y, 1), @() fit (@base_vorla_fit, X, y, 1), 1, 3);
    results(end+1) = report (sprintf ('training, 10^6 rows, one presentation (%d nodes)', rows (T)), t_new, t_base);
  end
end

function results = classify_rows (results, T, NL, Q, M)
  for vigilance = 0
    classify = @(f) f (T, NL, M, vigilance, 0.001, 0, Q, 0, 0);
    [t_new, t_base] = race (@() classify (@vorla_eval), @() classify (@base_vorla_eval), 3, 1);
    results(end+1) = report (sprintf ('classification, %d rows against %d nodes, vigilance %g', rows (Q), ...
                                      rows (T), vigilance), t_new, t_base);
  end
end

function row = report (what, t_new, t_base)
  printf ('%-66s new %8.3f s   base %8.3f s   %5.2f times\n', what, t_new, t_base, t_base / t_new);
  fflush (stdout);
  row = struct ('what', what, 'new_s', t_new, 'base_s', t_base);
end
