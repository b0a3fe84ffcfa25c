function results = compare (which)
  % Times the MEX files vorla_fit and vorla_eval against the vectorized Octave versions of
  % the same classifier (ref_fit_vec, ref_eval_vec) in this one Octave process, on the same
  % data, checks that both give identical results, and prints a table. The classification
  % table also times yardstick_eval (bench/yardstick_eval.cpp), a plain AVX2 kernel over the
  % same boxes with nothing around it.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build-bench'); addpath('bench'); compare()"
  %
  % which: 'all' (default), 'eval', 'fit' or 'scale' (the cost per pattern up to 1e7 patterns,
  % which 'eval' includes).  The folder holding the MEX files must be on
  % the path.  Returns the table rows as a struct array.
  if (nargin < 1)
    which = 'all';
  end
  rand ('state', 5);
  results = struct ('phase', {}, 'K', {}, 'M', {}, 'N', {}, 'visits', {}, 'mex_s', {}, 'octave_s', {}, ...
                    'avx2_s', {});
  Ks = [30 100 1000 3000 10000];
  Ms = [2 8 32];

  if (any (strcmp (which, {'all', 'eval'})))
    printf ('\nvorla_eval against ref_eval_vec and yardstick_eval (ct_option 1, oflag 0)\n');
    header (true);
    for M = Ms
      for K = Ks
        N = min (20000, max (1000, round (4e6 / K)));
        [T, NL, P] = eval_data (K, M, N);
        results(end+1) = time_eval (T, NL, P, M);
      end
    end
    % What a call costs besides the search: the same patterns against a single node.
    printf ('\nfixed cost of vorla_eval per pattern (one node, N = 20000):\n');
    for M = Ms
      [T, NL, P] = eval_data (1, M, 20000);
      t = best_time (@() classify (T, NL, P, M), 5);
      printf ('  M = %2d: %6.0f ns per pattern\n', M, t / 20000 * 1e9);
    end
    printf ('\nlinearity of vorla_eval in N (K = 1000, M = 8):\n');
    [T, NL, P] = eval_data (1000, 8, 40000);
    previous = 0;
    for N = [5000 10000 20000 40000]
      Q = P(1:N, :);
      t = best_time (@() classify (T, NL, Q, 8), 5);
      if (previous > 0)
        printf ('  N = %5d: %.4f s, %.3f times the time for N / 2\n', N, t, t / previous);
      else
        printf ('  N = %5d: %.4f s\n', N, t);
      end
      previous = t;
    end
  end

  if (any (strcmp (which, {'all', 'eval', 'scale'})))
    % The circle in the square of vorla_demo, 13 nodes from 300 patterns trained to
    % convergence, classifying 10^5 to 10^7 patterns: the cost per pattern at any N.
    printf ('\ncost per pattern of vorla_eval from 1e5 to 1e7 patterns (13 nodes, M = 2):\n');
    rand ('state', 42);
    X = rand (300, 2);
    [T, NL, ~] = vorla_fit (X, 1 + ((X(:, 1) - 0.5) .^ 2 + (X(:, 2) - 0.5) .^ 2 > 1 / (2 * pi)), ...
                         2, 0, 0.001, 1, 1000, 0, 0, 0);
    P = rand (1e7, 2);
    % return_only (bench/return_only.cpp) hands back N doubles and does nothing else: the
    % host's own part of the cost, which the engine cannot change.
    for N = [1e5 1e6 1e7]
      Q = P(1:N, :);
      t = best_time (@() classify_circle (T, NL, Q), 3);
      t_host = best_time (@() return_only (Q), 3);
      printf ('  N = %8d: %.4f s, %5.1f ns per pattern; returning N doubles alone %5.1f ns, the rest %5.1f ns\n', ...
              N, t, t / N * 1e9, t_host / N * 1e9, (t - t_host) / N * 1e9);
    end
    clear P Q;
  end

  if (any (strcmp (which, {'all', 'fit'})))
    printf ('\nvorla_fit against ref_fit_vec (one list presentation, fast learning, oflag 0)\n');
    header (false);
    for M = Ms
      for K = Ks
        N = max (2000, 2 * K);
        [P, PL, vigilance] = fit_data (K, M, N);
        results(end+1) = time_fit (P, PL, vigilance, M, K);
      end
    end
    printf ('\nlinearity of vorla_fit in the node visits (K = 1000, M = 8):\n');
    for N = [5500 10000 19000]
      [P, PL, vigilance] = fit_data (1000, 8, N);
      visits = 1000 * 999 / 2 + (N - 1000) * 1000;
      t = best_time (@() fit (P, PL, vigilance, 8), 3);
      printf ('  N = %5d: %.4f s for %d visits, %.3f ns per visit\n', N, t, visits, t / visits * 1e9);
    end
  end
end

function header (yardstick)
  printf ('%6s %3s %6s %11s %10s %9s %11s %9s %7s', 'K', 'M', 'N', 'visits', 'MEX s', 'ns/visit', ...
          'Octave s', 'ns/visit', 'ratio');
  if (yardstick)
    printf (' %10s %9s', 'AVX2 s', 'MEX/AVX2');
  end
  printf ('\n');
end

function row = report (phase, K, M, N, visits, t_mex, t_oct, t_avx2)
  printf ('%6d %3d %6d %11d %10.4f %9.2f %11.4f %9.2f %7.1f', K, M, N, visits, t_mex, ...
          t_mex / visits * 1e9, t_oct, t_oct / visits * 1e9, t_oct / t_mex);
  if (nargin > 7)
    printf (' %10.4f %9.2f', t_avx2, t_mex / t_avx2);
  else
    t_avx2 = NaN;
  end
  printf ('\n');
  fflush (stdout);
  row = struct ('phase', phase, 'K', K, 'M', M, 'N', N, 'visits', visits, 'mex_s', t_mex, 'octave_s', t_oct, ...
                'avx2_s', t_avx2);
end

function t = best_time (f, repetitions)
  % The fastest of a few runs: the one least disturbed by anything else on the machine.
  t = inf;
  for r = 1:repetitions
    tic;
    f ();
    t = min (t, toc);
  end
end

function Predictions = classify (T, NL, P, M)
  % D = M: patterns and boxes lie in the unit cube.
  Predictions = vorla_eval (T, NL, M, 0.75, 0.001, 1, P, 0, 0);
end

function Predictions = classify_circle (T, NL, P)
  Predictions = vorla_eval (T, NL, 2, 0, 0.001, 0, P, 0, 0);
end

function row = time_eval (T, NL, P, M)
  [K, N] = deal (rows (T), rows (P));
  % Blocks of about 1e5 elements per temporary: the fastest size for Octave on this data.
  block = max (1, round (1e5 / K));
  % The three take turns, so that each sees the machine as the others do; the two MEX files
  % take more turns, their calls being short.
  [t_mex, t_avx2, t_oct] = deal (inf);
  for r = 1:7
    t_mex = min (t_mex, best_time (@() classify (T, NL, P, M), 1));
    t_avx2 = min (t_avx2, best_time (@() yardstick_eval (T, NL, M, 0.75, 0.001, 1, P, 0), 1));
    if (r <= 3)
      t_oct = min (t_oct, best_time (@() ref_eval_vec (T, NL, M, 0.75, 0.001, 1, P, 0, block), 1));
    end
  end
  mex_result = classify (T, NL, P, M);
  ref_result = ref_eval_vec (T, NL, M, 0.75, 0.001, 1, P, 0, block);
  assert (isequal (mex_result, ref_result), 'vorla_eval and ref_eval_vec differ at K = %d, M = %d', K, M);
  assert (isequal (mex_result, yardstick_eval (T, NL, M, 0.75, 0.001, 1, P, 0)), ...
          'vorla_eval and yardstick_eval differ at K = %d, M = %d', K, M);
  row = report ('eval', K, M, N, K * N, t_mex, t_oct, t_avx2);
end

function [T, NL, LP] = fit (P, PL, vigilance, M)
  [T, NL, LP] = vorla_fit (P, PL, M, vigilance, 0.001, 1.0, 1, 0, 1, 0);
end

function row = time_fit (P, PL, vigilance, M, K)
  N = rows (P);
  t_mex = best_time (@() fit (P, PL, vigilance, M), 3);
  [T, NL, LP] = fit (P, PL, vigilance, M);
  tic;
  [RT, RNL, RLP, visits] = ref_fit_vec (P, PL, M, vigilance, 0.001, 1.0, 1, 0, 1);
  t_oct = toc;
  assert (isequal (T, RT) && isequal (NL, RNL) && isequal (LP, RLP), ...
          'vorla_fit and ref_fit_vec differ at K = %d, M = %d', K, M);
  assert (rows (T) == K, 'the run built %d nodes, not %d', rows (T), K);
  row = report ('fit', K, M, N, visits, t_mex, t_oct);
end
