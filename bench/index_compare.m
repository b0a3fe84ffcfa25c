function results = index_compare (base_dir, which)
  % Times the MEX files on the path (with the search index) against MEX files built from an
  % older revision (the linear scan), in this one Octave process, on the same data, checks
  % that both give identical results, and prints the tables of doc/performance.md.
  %
  %   git worktree add /tmp/base <revision> && cmake -S /tmp/base -B /tmp/base/build \
  %     -DVORLA_TESTS=OFF && cmake --build /tmp/base/build --target vorla_fit vorla_eval
  %   octave-cli --no-gui --norc --eval \
  %     "addpath('build'); addpath('bench'); index_compare('/tmp/base/build')"
  %
  % base_dir: the folder holding the older vorla_fit.mex and vorla_eval.mex; they are copied
  % under the names base_vorla_fit.mex and base_vorla_eval.mex into a temporary folder.
  % which: 'all' (default), 'targets', 'trained' or 'series'.  Every time is the fastest of several
  % runs, the two builds taking turns, since the machine may be shared.
  if (nargin < 2)
    which = 'all';
  end
  cleanup = base_build (base_dir);
  results = struct ('what', {}, 'index_s', {}, 'scan_s', {});

  if (any (strcmp (which, {'all', 'targets'})))
    % Eight uniform features, the label by a circle in the first two.
    rand ('state', 1);
    M = 8;
    P = rand (200000, M);
    L = 1 + ((P(:,1) - 0.5) .^ 2 + (P(:,2) - 0.5) .^ 2 < 1 / (2 * pi));
    fit = @(f) f (P, L, M, 0.6, 0.001, 1.0, 1, 0, 1, 0);
    [t_index, t_scan, T, NL] = race (@() fit (@vorla_fit), @() fit (@base_vorla_fit), 3, 3);
    results(end+1) = report (sprintf ('training, N = 200000, M = 8, vigilance 0.6 (%d nodes)', rows (T)), ...
                             t_index, t_scan);
    Q = rand (20000, M);
    for vigilance = [0.6 0]
      classify = @(f) f (T, NL, M, vigilance, 0.001, 1, Q, 0, 0);
      [t_index, t_scan] = race (@() classify (@vorla_eval), @() classify (@base_vorla_eval), 5, 1);
      results(end+1) = report (sprintf ('classification, N = 20000 against them, vigilance %g', vigilance), ...
                               t_index, t_scan);
    end
    % Circle in the square, as in the demo: about a hundred nodes, vigilance 0.
    C = rand (100000, 2);
    c = 1 + (sum ((C - 0.5) .^ 2, 2) > 1 / (2 * pi));
    circle = @(f) f (C, c, 2, 0, 0.001, 1.0, 1, 0, 0, 0);
    [t_index, t_scan, T] = race (@() circle (@vorla_fit), @() circle (@base_vorla_fit), 5, 3);
    results(end+1) = report (sprintf ('circle in the square, N = 100000 (%d nodes)', rows (T)), t_index, t_scan);
  end

  if (any (strcmp (which, {'all', 'trained'})))
    % Networks trained on one data distribution (4 uniform features, the label by the circle
    % in the first two) at rising vigilance, so that K grows as the boxes shrink; each
    % classifies patterns of the same distribution at its own vigilance. The cost per pattern
    % is that of the 5000 patterns added from a call on 5000 to one on 10000; what a call costs
    % besides (converting and building K nodes, the index, the scans before it) is shown apart.
    printf ('\nclassification cost per added pattern against K trained nodes (M = 4):\n');
    printf ('%10s %8s %10s %10s %8s %14s %14s\n', 'vigilance', 'K', 'index us', 'scan us', 'ratio', ...
            'index call ms', 'scan call ms');
    rand ('state', 3);
    P = rand (400000, 4);
    L = 1 + ((P(:,1) - 0.5) .^ 2 + (P(:,2) - 0.5) .^ 2 < 1 / (2 * pi));
    Q = rand (10000, 4);
    for vigilance = [0.5 0.75 0.85 0.9 0.95]
      [T, NL, ~] = vorla_fit (P, L, 4, vigilance, 0.001, 1.0, 1, 0, 1, 0);
      K = rows (T);
      t = zeros (2, 2);
      for half = 1:2
        R = Q(1:5000 * half, :);
        classify = @(f) f (T, NL, 4, vigilance, 0.001, 1, R, 0, 0);
        [t(half, 1), t(half, 2)] = race (@() classify (@vorla_eval), @() classify (@base_vorla_eval), 5, 1);
      end
      added = (t(2, :) - t(1, :)) / 5000 * 1e6;
      fixed = (2 * t(1, :) - t(2, :)) * 1e3;
      printf ('%10.2f %8d %10.2f %10.2f %8.2f %14.1f %14.1f\n', vigilance, K, added, added(2) / added(1), fixed);
      fflush (stdout);
      results(end+1) = struct ('what', sprintf ('trained K = %d', K), 'index_s', t(2, 1), 'scan_s', t(2, 2));
    end
  end

  if (any (strcmp (which, {'all', 'series'})))
    % K boxes of one distribution: extents summing to at most 0.03 under the largest passing size
    % (D = 8, vigilance 0.6), at random places in the unit cube; 5000 uniform patterns.
    printf ('\nclassification cost per pattern against K nodes (M = 8, vigilance 0.6):\n');
    printf ('%8s %14s %14s %8s\n', 'K', 'index us', 'scan us', 'ratio');
    rand ('state', 2);
    Q = rand (5000, 8);
    for K = [1000 3000 10000 30000 100000]
      T = boxes (K, 8, 0.4 * 8);
      NL = 1 + mod ((0:K-1)', 2);
      classify = @(f) f (T, NL, 8, 0.6, 0.001, 1, Q, 0, 0);
      [t_index, t_scan] = race (@() classify (@vorla_eval), @() classify (@base_vorla_eval), 5, 1);
      printf ('%8d %14.2f %14.2f %8.2f\n', K, t_index / rows (Q) * 1e6, t_scan / rows (Q) * 1e6, t_scan / t_index);
      fflush (stdout);
      results(end+1) = struct ('what', sprintf ('series K = %d', K), 'index_s', t_index, 'scan_s', t_scan);
    end
  end
end

function T = boxes (K, M, limit)
  extents = 0.5 + rand (K, M);
  sizes = limit - 0.03 * rand (K, 1);
  extents = extents .* (sizes ./ sum (extents, 2));
  lower = (1 - extents) .* rand (K, M);
  T = [lower, lower + extents];
end

function row = report (what, t_index, t_scan)
  printf ('%-62s index %8.3f s   scan %8.3f s   %5.2f times\n', what, t_index, t_scan, t_scan / t_index);
  fflush (stdout);
  row = struct ('what', what, 'index_s', t_index, 'scan_s', t_scan);
end
