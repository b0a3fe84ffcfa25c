function results = threads_predict (repeats, N)
  % What threads save in classification: vorla_predict with 'Threads', 1 against 'Threads', 0
  % (every usable core) in one process, on N patterns (default 10^6) of M = 10 features and
  % a model of about 1,000 boxes (one network trained on 8,000 patterns of a curved
  % two-class boundary), labels alone and with 'Scores', 'choice'; then a call of 150
  % patterns, timed over 400 calls each; then vorla_score against vorla_eval on one thread
  % (what the labels cost through either), and vorla_score's threads on growing N (where a
  % second thread starts to pay). The runs alternate; the fastest of `repeats` (default 3)
  % counts. Every result of Threads 0 is asserted equal to that of Threads 1. The load
  % average is printed before and after, since other processes share the cores, and beside
  % the large calls their processor time (the mean over the repeats), which a busy machine
  % does not stretch.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); threads_predict()"
  if nargin < 1
    repeats = 3;
  end
  if nargin < 2
    N = 1e6;
  end
  warning ('off', 'vorla:predict:clipped');
  printf ('load average before: %s', fileread ('/proc/loadavg'));
  M = 10;
  rand ('state', 1);
  P = rand (8000, M);
  model = vorla_train (P, 1 + (sum (P(:,1:3) .^ 2, 2) + 0.3 * sin (6 * P(:,4)) > 1), ...
                       'OptimizeHyperparameters', 'none', 'Voters', 1);
  X = rand (N, M);
  results = struct ('K', rows (model.Templates), 'N', N);
  kinds = {'labels', {}; 'choice', {'Scores', 'choice'}};
  for k = 1:rows (kinds)
    one = Inf;
    all = Inf;
    cpu = [0 0];
    for r = 1:repeats
      started = cputime (); tic;
      [l1, s1] = vorla_predict (model, X, kinds{k,2}{:}, 'Threads', 1);
      one = min (one, toc);
      cpu(1) = cpu(1) + (cputime () - started) / repeats;
      started = cputime (); tic;
      [l0, s0] = vorla_predict (model, X, kinds{k,2}{:}, 'Threads', 0);
      all = min (all, toc);
      cpu(2) = cpu(2) + (cputime () - started) / repeats;
      assert (isequal (l0, l1) && isequal (s0, s1));
    end
    results.(kinds{k,1}) = [one, all, cpu];
    printf ('%s, N %d, K %d: Threads 1 %.3f s, Threads 0 %.3f s (%.2fx); processor time %.3f s, %.3f s\n', ...
            kinds{k,1}, N, results.K, one, all, one / all, cpu(1), cpu(2));
  end

  % A small call: the same few patterns, 400 calls each way, alternating in tens.
  Q = X(1:150,:);
  one = 0;
  all = 0;
  for r = 1:40
    tic; for i = 1:10, l1 = vorla_predict (model, Q, 'Threads', 1); end; one = one + toc;
    tic; for i = 1:10, l0 = vorla_predict (model, Q, 'Threads', 0); end; all = all + toc;
    assert (isequal (l0, l1));
  end
  results.small = [one, all] / 400;
  printf ('150 patterns: Threads 1 %.1f us, Threads 0 %.1f us per call (%.3fx the serial)\n', ...
          1e6 * one / 400, 1e6 * all / 400, all / one);

  % The labels through vorla_eval or through vorla_score's second output, both on one thread.
  T = model.Templates;
  L = model.NLabels;
  args = {T, L, model.D, 0, model.Alpha, double(model.ChoiceTest)};
  Xs = vorla_scale (X, model.Range);
  eval_time = Inf;
  score_time = Inf;
  for r = 1:repeats
    tic; chosen = vorla_eval (args{:}, Xs, 0, 0); eval_time = min (eval_time, toc);
    tic; [~, classes] = vorla_score (args{:}, Xs, 2, 1); score_time = min (score_time, toc);
    assert (isequal (chosen, classes));
  end
  results.eval_score = [eval_time, score_time];
  printf ('one thread: vorla_eval %.3f s, vorla_score''s classes %.3f s (%.2fx)\n', eval_time, score_time, ...
          score_time / eval_time);
  % Processor time, which a busy machine does not stretch: what the threads cost in all, and the
  % wall time they took.
  cpu = [0 0];
  wall = [Inf Inf];
  for r = 1:repeats
    for t = 1:2
      started = cputime (); tic;
      [~, classes] = vorla_score (args{:}, Xs, 2, t);
      wall(t) = min (wall(t), toc);
      cpu(t) = cpu(t) + (cputime () - started) / repeats;
      assert (isequal (chosen, classes));
    end
  end
  results.score_cpu = cpu;
  printf ('vorla_score: processor time 1 thread %.3f s, 2 threads %.3f s (%+.1f%%); wall %.3f s, %.3f s\n', ...
          cpu(1), cpu(2), 100 * (cpu(2) / cpu(1) - 1), wall(1), wall(2));
  small = Xs(1:150,:);
  eval_time = 0;
  score_time = 0;
  for r = 1:40
    tic; for i = 1:10, chosen = vorla_eval (args{:}, small, 0, 0); end; eval_time = eval_time + toc;
    tic; for i = 1:10, [~, classes] = vorla_score (args{:}, small, 2, 0); end; score_time = score_time + toc;
    assert (isequal (chosen, classes));
  end
  printf ('150 patterns: vorla_eval %.1f us, vorla_score''s classes %.1f us per call\n', ...
          1e6 * eval_time / 400, 1e6 * score_time / 400);

  % Where a second thread starts to pay: vorla_score alone, the fastest of 5 each way.
  sizes = [64 128 256 512 1024 2048 4096 8192];
  results.floor = zeros (numel (sizes), 3);
  for s = 1:numel (sizes)
    part = Xs(1:sizes(s),:);
    one = Inf;
    two = Inf;
    for r = 1:5
      tic; a = vorla_score (args{:}, part, 2, 1); one = min (one, toc);
      tic; b = vorla_score (args{:}, part, 2, 2); two = min (two, toc);
      assert (isequal (a, b));
    end
    results.floor(s,:) = [sizes(s), one, two];
    printf ('vorla_score, N %5d: 1 thread %8.1f us, 2 threads %8.1f us (%.2fx)\n', sizes(s), 1e6 * one, 1e6 * two, ...
            one / two);
  end
  printf ('load average after: %s', fileread ('/proc/loadavg'));
end
