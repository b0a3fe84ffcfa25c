function results = score_cost (repeats)
  % What choice scores cost beside the labels alone, at N = 100,000 patterns of M = 10
  % features: vorla_predict with 'Scores', 'choice' against vorla_predict's labels, and
  % vorla_score against vorla_eval, on two models: one trained on 10,000 patterns of a
  % curved two-class boundary (1,380 boxes) and 1,000 random boxes of 7 classes. The runs
  % alternate in one process; the fastest of `repeats` (default 3) counts. For one network
  % the class of the greatest score is asserted to be the label wherever it is unique. The
  % same scores written in vectorized Octave (one pass over the patterns per box) are timed
  % once, on the first model, and asserted equal to vorla_score's within rounding.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); score_cost()"
  if nargin < 1
    repeats = 3;
  end
  warning ('off', 'vorla:predict:clipped');
  M = 10;
  N = 100000;
  rand ('state', 1);
  P = rand (10000, M);
  model = vorla_train (P, 1 + (sum (P(:,1:3) .^ 2, 2) + 0.3 * sin (6 * P(:,4)) > 1), ...
                       'OptimizeHyperparameters', 'none', 'Voters', 1);
  X = rand (N, M);
  [T, L, R] = eval_data (1000, M, N);
  random_model = model;
  random_model.Templates = T;
  random_model.NLabels = L;
  random_model.ClassNames = (1:7)';
  random_model.Range = [zeros(1, M); ones(1, M)];
  random_model.Alpha = 0.001;
  models = {model, random_model};
  inputs = {X, R};
  names = {'trained, 1380 boxes, 2 classes', 'random, 1000 boxes, 7 classes'};
  results = struct ('model', names, 'K', 0, 'labels', Inf, 'choice', Inf, 'eval', Inf, 'score', Inf);
  for m = 1:2
    mdl = models{m};
    Q = inputs{m};
    Qs = vorla_scale (Q, mdl.Range);
    C = numel (mdl.ClassNames);
    args = {mdl.Templates, mdl.NLabels, mdl.D, 0, mdl.Alpha, double(mdl.ChoiceTest)};
    results(m).K = size (mdl.Templates, 1);
    for r = 1:repeats
      tic; labels = vorla_predict (mdl, Q); results(m).labels = min (results(m).labels, toc);
      tic; [again, scores] = vorla_predict (mdl, Q, 'Scores', 'choice'); results(m).choice = min (results(m).choice, toc);
      tic; chosen = vorla_eval (args{:}, Qs, 0, 0); results(m).eval = min (results(m).eval, toc);
      tic; best = vorla_score (args{:}, Qs, C); results(m).score = min (results(m).score, toc);
    end
    assert (isequal (again, labels));
    sorted = sort (best, 2, 'descend');
    unique_best = sorted(:,1) > sorted(:,min (2, C)) | C == 1;
    [~, top] = max (best, [], 2);
    assert (isequal (top(unique_best), chosen(unique_best)));
    printf ('%s: vorla_predict labels %.3f s, with choice scores %.3f s (%.2fx); vorla_eval %.3f s, vorla_score %.3f s (%.2fx)\n', ...
            names{m}, results(m).labels, results(m).choice, results(m).choice / results(m).labels, ...
            results(m).eval, results(m).score, results(m).score / results(m).eval);
  end
  % Vectorized Octave, one pass over the patterns per box, on the first model.
  T = model.Templates;
  L = model.NLabels;
  Qs = vorla_scale (X, model.Range);
  lo = T(:,1:M);
  hi = T(:,M+1:end);
  denominator = model.D - sum (hi - lo, 2) + model.Alpha;
  tic;
  plain = zeros (N, 2);
  for k = 1:rows (T)
    cfv = (model.D - sum (max (Qs, hi(k,:)) - min (Qs, lo(k,:)), 2)) / denominator(k);
    plain(:,L(k)) = max (plain(:,L(k)), cfv);
  end
  results(1).octave = toc;
  assert (plain, vorla_score (T, L, model.D, 0, model.Alpha, 0, Qs, 2), 1e-12);
  printf ('vectorized Octave: %.3f s (%.1fx vorla_predict''s labels)\n', results(1).octave, results(1).octave / results(1).labels);
end
