function random_eval_check (builddir, ncalls)
  % Randomized comparison of the vorla_eval MEX against the Octave reference
  % model in tests/octave/model.
  %
  % Run:
  %   octave-cli --no-gui --norc --eval "addpath('/work/main/tests/octave'); random_eval_check('/work/main/build-model')"
  % builddir is the folder that holds vorla_eval.mex (omit it when the MEX
  % is already on the path); ncalls defaults to 400.  A fixed seed makes
  % every run make the same calls.  Prints "N passed, 0 failed" on success,
  % else describes the first mismatches and raises an error with their count.

  if (nargin >= 1 && ! isempty (builddir))
    addpath (builddir);
  end
  if (nargin < 2)
    ncalls = 400;
  end
  addpath (fullfile (fileparts (mfilename ('fullpath')), 'model'));

  rand ('state', 43);
  randn ('state', 43);

  failed = 0;
  for c = 1:ncalls
    [args, nout] = gen_call ();
    [Pr, mtxt, merr] = ref_vorla_eval (args, nout);
    [outs, xtxt, xerr] = ref_call ('vorla_eval', args, nout);
    why = '';
    if (! strcmp (merr, xerr))
      why = 'error message';
    elseif (isempty (merr))
      if (! same_bits (Pr, outs{1}))
        why = 'Predictions';
      elseif (! strcmp (mask (mtxt), mask (xtxt)))
        why = 'printed text';
      end
    end
    if (! isempty (why))
      failed += 1;
      if (failed <= 3)
        report (c, args, nout, why, Pr, mtxt, merr, outs, xtxt, xerr);
      end
    end
  end
  if (failed > 0)
    error ('random_eval_check: %d of %d calls disagree with the model', failed, ncalls);
  end
  printf ('%d passed, 0 failed\n', ncalls);
end

function report (c, args, nout, why, Pr, mtxt, merr, outs, xtxt, xerr)
  printf ('\n=== call %d: mismatch in %s\n', c, why);
  printf ('nargin %d, nargout %d\n', numel (args), nout);
  for k = 1:numel (args)
    printf ('  arg %d: %s\n', k, ref_desc (args{k}));
  end
  printf ('model error: "%s"\nMEX error:   "%s"\n', merr, xerr);
  if (isempty (merr) && isempty (xerr))
    printf ('model Predictions %s\nMEX   Predictions %s\n', mat2str (Pr, 17), ref_desc (outs{1}));
  end
  first_text_diff (mask (mtxt), mask (xtxt));
end

% ---------------------------------------------------------------- generation

function [args, nout] = gen_call ()
  M = pick ([0 1 1 1 2 2 2 3 3 4 4]);
  g = pick ([2 4 4 8 8]);
  odd = false;
  if (chance (0.5))
    % a trained network
    n = randi (25);
    P = randi ([0 g], n, M) / g;
    L = randi (randi (3), n, 1);
    fa = {P, L, max(M, 1), pick([0 0.5 0.75]), pick([0.001 0.1]), ...
          pick([1 0.5]), randi(4), randi([0 1]), randi([0 1]), 0};
    [T, NL] = ref_vorla_fit (fa, 3);
  else
    % arbitrary boxes, lower above upper in places
    K = pick ([0 1 2 3 5 8 12]);
    lo = randi ([0 g], K, M) / g;
    up = randi ([0 g], K, M) / g;
    if (chance (0.7))
      sw = lo > up & rand (K, M) < 0.8;
      t = lo(sw); lo(sw) = up(sw); up(sw) = t;
    end
    T = [lo, up];
    NL = randi (3, K, 1);
    if (chance (0.2) && K > 0)
      NL(randi (K)) = pick ([2.9, -1.5, 3.9, -0.5, 2147483647.5, -2147483648.9]);
    end
  end
  if (chance (0.15))
    T = [T, randi(9, rows(T), 1)];          % odd column count, last column ignored
    odd = true;
  end
  K = rows (T);

  if (chance (0.04))
    N = 0;
  else
    N = randi (30);
  end
  if (chance (0.3))
    X = randi ([-2, g + 2], N, M) / g;        % partly outside [0, 1]
  else
    X = randi ([0, g], N, M) / g;
  end
  if (chance (0.1))
    X(X == 0 & rand (N, M) < 0.5) = -0;
    T(T == 0 & rand (size (T)) < 0.5) = -0;
  end
  if (chance (0.25) && N > 0 && M > 0)
    X(randi (N * M, randi (3), 1)) = pick ([NaN, NaN, -NaN, Inf, -Inf]);
  end

  r = rand ();
  if (r < 0.6)
    D = M;
  elseif (r < 0.68)
    D = 0;
  elseif (r < 0.76)
    D = M / 2;
  elseif (r < 0.86)
    D = M + 1;
  elseif (r < 0.96)
    D = 4 * rand ();
  else
    D = Inf;
  end
  vig = pick ({0, 0.25, 0.5, 0.75, 0.7 - 0.5e-7, 1, rand(), 0.9});
  if (chance (0.25))
    % just inside or outside the 1e-7 tolerance of a reachable match value
    vig = min (1, max (0, randi ([0 8]) / 8 + pick ([0.5e-7, -0.5e-7, 2e-7, 0.9e-7])));
  end
  alpha = pick ([0 0.001 0.1 1 1e-7 1e-6]);   % tiny alpha puts cfv next to Tu
  if (chance (0.02))
    alpha = Inf;
  end
  ct = randi ([0 1]);
  unk = pick ({0, -1, 2.7, -3.9, 99, -0.5, 2147483647.5, -2147483648.9, randn() * 10});
  oflag = randi ([0 3]);

  args = {T, NL, D, vig, alpha, ct, X, unk, oflag};
  nout = 1;

  if (chance (0.3))
    args = vary (args, K, M);
  end
  if (chance (0.18))
    [args, nout] = corrupt (args, nout, K, M, N, odd);
    if (chance (0.2))
      [args, nout] = corrupt (args, nout, K, M, N, odd);
    end
  end
end

function args = vary (args, K, M)
  for t = 1:randi (3)
    switch (randi (9))
      case 1
        args{2} = args{2}.';                      % labels as a row
      case 2
        k = pick ([3 4 5 6 8 9]);                 % scalar given as a vector
        v = args{k}(1);
        args{k} = pick ({[v, 7], [v; -3], [v, NaN, 2]});
      case 3
        args{1} = single (args{1});               % grid values are exact in single
      case 4
        args{7} = single (args{7});
      case 5
        cls = pick ({'int8', 'int32', 'uint8', 'int64', 'logical'});
        if (strcmp (cls, 'logical'))
          args{1} = logical (randi ([0 1], K, columns (args{1})));
          args{7} = logical (randi ([0 1], rows (args{7}), M));
        else
          args{1} = cast (randi ([0 3], K, columns (args{1})), cls);
          args{7} = cast (randi ([-1 4], rows (args{7}), M), cls);
        end
        args{3} = pick ({M, 3 * M});
      case 6
        L = args{2};
        if (all (L == fix (L)))
          args{2} = pick ({int32(L), int8(L), single(L), uint16(L)});
        else
          args{2} = single (L);
        end
      case 7
        args{3} = pick ({single(args{3}), int32(M)});
        args{4} = pick ({single(0.5), true, false, uint8(0)});
        args{5} = pick ({single(0.001), int32(0), true});
      case 8
        args{6} = pick ({true, false, int8(1), single(1.5), -0.5, 1.7});
        args{8} = pick ({int8(-3), single(2.5), true, int64(-2147483648), uint32(7)});
        args{9} = pick ({int8(args{9}), single(args{9} + 0.5), args{9} + 0.99, -0.5});
      case 9
        k = pick ([1 3 4 5 7 8]);
        v = args{k};
        if (isa (v, 'double') && ! isempty (v))
          args{k} = complex (v, ones (size (v)));  % only the real part counts
        end
    end
  end
end

function [args, nout] = corrupt (args, nout, K, M, N, odd)
  if (numel (args) != 9)
    return;                                   % input count already wrong
  end
  switch (randi (14))
    case 1
      if (chance (0.5))
        args = args(1:randi ([0 8]));
      else
        args(end+1:end+randi (2)) = {1};
      end
    case 2
      nout = pick ([0 2 3]);
    case 3
      args{1} = pick ({zeros(2, 2, 2), ones(K, 2 * M, 2), zeros(1, 1, 0)});
    case 4
      args{2} = pick ({zeros(K, 1, 2), ones(K + 1, 1), ones(1, K + 2), ones(K, 2), zeros(0, 0), ...
                       zeros(max (K, 1), 0), ones(2, 3)});
    case 5
      if (K > 0 && M > 0)
        T = double (args{1});
        T(randi (K), randi (2 * M)) = pick ([NaN, Inf, -Inf]);
        args{1} = T;
      elseif (odd && K > 0)
        T = double (args{1});
        T(randi (K), end) = NaN;                 % never read, never screened
        args{1} = T;
      else
        args{1} = pick ({zeros(0, 2147483648), zeros(2147483648, 0), zeros(0, 2147483647)});
        args{2} = zeros (min (rows (args{1}), 0), 1);
        args{7} = zeros (0, floor (columns (args{1}) / 2));
      end
    case 6
      if (K > 0)
        L = double (args{2});
        L(randi (K)) = pick ([NaN, Inf, -Inf, 2147483648, -2147483649, 3e9, -1e12]);
        args{2} = L;
      end
    case 7
      k = pick ([3 4 5 6 8 9]);
      args{k} = pick ({ones(2, 3), zeros(1, 0), zeros(0, 1), zeros(0, 0), ones(1, 1, 2), zeros(3, 0)});
    case 8
      args{3} = pick ({-1, NaN, -Inf, -0.001});
      args{4} = pick ({1.5, -0.1, NaN, 1 + eps, Inf, -Inf, args{4}});
    case 9
      args{5} = pick ({-1, NaN, -Inf});
    case 10
      args{6} = pick ({2, -1, NaN, Inf, -Inf, 3e9, -2147483649, 2147483647.5});
    case 11
      args{7} = pick ({ones(N, M + 1), ones(3, M + 2), zeros(N, M, 2), zeros(0, 1073741824), ...
                       zeros(2147483648, 0), ones(1, 1, 0)});
    case 12
      args{8} = pick ({NaN, Inf, -Inf, 2147483648, -2147483649, 1e10, -2147483649.5});
    case 13
      args{9} = pick ({4, -1, NaN, Inf, 3.99, -0.5, 1e10, -3e9});
    case 14
      k = randi (9);
      args{k} = pick ({'a', 'abc', {1}, {}, struct('a', 1), sparse(1), sparse([1 0; 0 1]), ...
                       sparse(true), @sin, sparse(complex(1, 1)), containers.Map()});
  end
end
