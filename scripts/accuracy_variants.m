% Measures the variants behind the default call of vorla_train on the five development sets,
% on the same 10 stratified folds as scripts/accuracy_table.m, and prints Markdown tables
% (the figures of doc/accuracy.md).
%
%   octave-cli --no-gui --norc scripts/accuracy_variants.m [DIR [SET ...]] [--sections=5,7]
%
% DIR holds the MEX files and the .m functions (default: build); SET is any of iris, wine,
% breast_cancer, digits and noisy (default: all five), or of heart, arrhythmia and cars (the
% sets that played no part in choosing the defaults; see real_data.m). --sections= runs only
% the sections listed. The sections:
%   1. one group of 20 networks per vigilance (no search): the vote of the first v, and the
%      class of the greatest mean choice margin, for v = 1, 3, 5, 10, 20;
%   2. networks mixed over several vigilances, no search (20 in all, equal shares);
%   3. voters on bootstrap samples of the training part instead of orders of it;
%   4. distributed prediction: the Q nodes that choose a pattern best vote, each weighted by
%      its choice value and by how many training patterns chose it (one network, and ten);
%   5. nested: the search as vorla_train runs it, with the voters searched too, with one
%      presentation, with 'all', and on three inner folds instead of five;
%   6. the default call with the whole training range ('auto'), the robust range ('robust',
%      the default) and percentiles of the training part (1% and 5% cut at each end,
%      clipped), on the clean data and with one outlier per feature;
%   7. ten networks, each in an order of its own, on every feature or on a random share of
%      them (the random-subspace ensemble), at given vigilances; and vorla_crossval with 10,
%      30 and 100 voters;
%   8. the default call on the features' ranks: each feature replaced by the mid-rank share
%      of the training part's values below it (the training part's empirical distribution,
%      held-out values placed within it), against the default call on the values.
% The folds: vorla_crossval's stratified folds of seed 0. The host's generator (rand, seeded
% here) draws only the bootstrap samples of section 3 and the outliers of section 6.

args = argv ();
sections = 1:8;
picked = strncmp (args, '--sections=', 11);
if (any (picked))
  sections = str2num (args{find (picked, 1)}(12:end));
  args = args(! picked);
end
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
sets = {'iris', 'wine', 'breast_cancer', 'digits', 'noisy'};
if (numel (args) > 1)
  sets = args(2:end);
end
here = fileparts (mfilename ('fullpath'));
addpath (make_absolute_filename (folder));
addpath (here);
addpath (fullfile (here, '..', 'bench'));
warning ('off', 'all');

1;
function [X, y] = data_set (name)
  if (strcmp (name, 'noisy'))
    [X, y] = noisy_data (2000, 1);
  else
    [X, y] = real_data (name);
  end
end

function index = vote (classes, C)
  N = rows (classes);
  votes = zeros (N, C);
  for v = 1:columns (classes)
    ok = classes(:,v) > 0;
    votes += full (sparse (find (ok), classes(ok,v), 1, N, C));
  end
  [most, index] = max (votes, [], 2);
  index(most == 0) = 0;
end

function [classes, margins] = network_outputs (model, Xt, C)
% The class each network gives every pattern, and its choice margins (N x C x V).
  V = model.Voters;
  templates = model.Templates;
  nlabels = model.NLabels;
  if (V == 1)
    templates = {templates};
    nlabels = {nlabels};
  end
  Xs = vorla_scale (Xt, model.Range);
  N = rows (Xt);
  classes = zeros (N, V);
  margins = zeros (N, C, V);
  for v = 1:V
    [b, classes(:,v)] = vorla_score (templates{v}, model.ClassNames(nlabels{v}), model.D, 0, model.Alpha, 0, Xs, C);
    for c = 1:C
      others = b;
      others(:,c) = -Inf;
      margins(:,c,v) = (1 + b(:,c) - max ([others, zeros(N, 1)], [], 2)) / 2;
    end
  end
end

function print_rows (title, header, table)
  print_markdown (title, header{1}, header(2:end), table);
end

function T = choice_values (box, x, D, alpha)
  M = columns (x);
  u = box(:,1:M);
  w = box(:,M+1:end);
  own = sum (w - u, 2)';
  T = zeros (rows (x), rows (box));
  for i = 1:rows (x)
    T(i,:) = (D - sum (max (w, x(i,:)) - min (u, x(i,:)), 2)') ./ (alpha + D - own);
  end
end

function s = pct (right, n)
  s = sprintf ('%.1f%%', 100 * right / n);
end

function Z = ranks (X, train)
% Each feature as the mid-rank share of train's values below each value: (the values below +
% the values at or below) / 2n; NaN stays missing.
  Z = X;
  for j = 1:columns (X)
    v = sort (X(train & ! isnan (X(:,j)), j));
    x = X(:,j);
    known = ! isnan (x);
    if (isempty (v))
      continue;
    end
    at_or_below = lookup (v, x(known));
    below = arrayfun (@(t) sum (v < t), x(known));
    Z(known,j) = (below + at_or_below) / (2 * numel (v));
  end
end


vigilances = [0 0.5 0.7 0.8 0.9 0.95];
counts = [1 3 5 10 20];
for s = 1:numel (sets)
  name = sets{s};
  [X, y] = data_set (name);
  if (isempty (X))
    printf ('(%s skipped: its package is not installed)\n', name);
    continue;
  end
  [~, folds] = vorla_crossval (X, y, 'OptimizeHyperparameters', 'none', 'Voters', 1, 'MaxPresentations', 1);
  N = numel (y);
  C = max (y);

  % 1 and 2: groups of 20 networks per vigilance.
  if (any (ismember ([1 2], sections)))
    classes = cell (size (vigilances));
    margins = cell (size (vigilances));
    nodes = zeros (size (vigilances));
    for i = 1:numel (vigilances)
      classes{i} = zeros (N, 20);
      margins{i} = zeros (N, C, 20);
      for k = 1:10
        train = folds != k;
        model = vorla_train (X(train,:), y(train), 'Vigilance', vigilances(i), 'Voters', 20, ...
                             'OptimizeHyperparameters', 'none');
        [classes{i}(folds == k,:), margins{i}(folds == k,:,:)] = network_outputs (model, X(folds == k,:), C);
        nodes(i) += numel (model.NLabels{1}) / 10;
      end
    end
    table = {};
    for i = 1:numel (vigilances)
      row = {sprintf('%g', vigilances(i)), sprintf('%.0f', nodes(i))};
      for v = counts
        [~, by_margin] = max (mean (margins{i}(:,:,1:v), 3), [], 2);
        row{end+1} = sprintf ('%s / %s', pct (sum (vote (classes{i}(:,1:v), C) == y), N), pct (sum (by_margin == y), N));
      end
      table(end+1,:) = row;
    end
    print_rows (sprintf ('%s: vote / mean margin of the first v of 20 networks, no search', name), ...
                [{'vigilance', 'nodes of one'}, arrayfun(@(v) sprintf ('v = %d', v), counts, 'UniformOutput', false)], table);

    mixes = {[0.5 0.7 0.8 0.9], [0.7 0.8 0.9], [0 0.5 0.7 0.8 0.9 0.95], [0.7 0.8 0.9 0.95]};
    table = {};
    for m = 1:numel (mixes)
      share = floor (20 / numel (mixes{m}));
      c = [];
      g = [];
      for v = mixes{m}
        i = find (vigilances == v);
        c = [c, classes{i}(:,1:share)];
        g = cat (3, g, margins{i}(:,:,1:share));
      end
      [~, by_margin] = max (mean (g, 3), [], 2);
      table(end+1,:) = {mat2str(mixes{m}), sprintf('%d', share * numel (mixes{m})), pct(sum (vote (c, C) == y), N), ...
                        pct(sum (by_margin == y), N)};
    end
    print_rows (sprintf ('%s: networks mixed over vigilances, no search', name), ...
                {'vigilances', 'networks', 'vote', 'mean margin'}, table);

  end

  % 3: bootstrap samples.
  if (any (sections == 3))
    table = {};
    rand ('twister', 11);
    for v = [0.7 0.8]
      c = zeros (N, 10);
      for k = 1:10
        train = find (folds != k);
        for j = 1:10
          pick = train(randi (numel (train), numel (train), 1));
          model = vorla_train (X(pick,:), y(pick), 'Vigilance', v, 'Voters', 1, 'OptimizeHyperparameters', 'none', ...
                               'Scale', [min(X(train,:)); max(X(train,:))]);
          c(folds == k, j) = network_outputs (model, X(folds == k,:), C);
        end
      end
      i = find (vigilances == v);
      table(end+1,:) = {sprintf('%g', v), pct(sum (vote (classes{i}(:,1:10), C) == y), N), pct(sum (vote (c, C) == y), N)};
    end
    print_rows (sprintf ('%s: ten voters on orders of the training part, or on bootstrap samples of it', name), ...
                {'vigilance', 'orders', 'bootstrap samples'}, table);

  end

  % 4: distributed prediction with instance counts.
  if (any (sections == 4))
    Q = [1 3 10];
    table = {};
    for v = [0.7 0.8]
      score = zeros (N, C, numel (Q), 10);
      for k = 1:10
        train = folds != k;
        model = vorla_train (X(train,:), y(train), 'Vigilance', v, 'Voters', 10, 'OptimizeHyperparameters', 'none');
        Xs = vorla_scale (X(train,:), model.Range);
        held = find (folds == k);
        Xt = vorla_scale (X(held,:), model.Range);
        for n = 1:10
          box = model.Templates{n};
          labels = model.NLabels{n};
          [~, winner] = max (choice_values (box, Xs, model.D, model.Alpha), [], 2);
          coded = accumarray (winner, 1, [rows(box) 1])';
          [T, order] = sort (choice_values (box, Xt, model.D, model.Alpha), 2, 'descend');
          for q = 1:numel (Q)
            top = min (Q(q), rows (box));
            for i = 1:numel (held)
              best = order(i,1:top);
              w = accumarray (labels(best), coded(best) .* T(i,1:top), [C 1])';
              score(held(i),:,q,n) = w / max (sum (w), eps);
            end
          end
        end
      end
      for q = 1:numel (Q)
        [~, one] = max (score(:,:,q,1), [], 2);
        [~, ten] = max (sum (score(:,:,q,:), 4), [], 2);
        table(end+1,:) = {sprintf('%g', v), sprintf('%d', Q(q)), pct(sum (one == y), N), pct(sum (ten == y), N)};
      end
    end
    print_rows (sprintf ('%s: the Q best-choosing nodes vote, weighted by choice and instance counts', name), ...
                {'vigilance', 'Q', 'one network', 'ten networks'}, table);

  end

  % 5: the search, nested in the outer folds.
  if (any (sections == 5))
    variants = {'default', {}; 'voters searched (1, 3, 10)', {'OptimizeHyperparameters', {'Vigilance', 'Voters'}}; ...
                'one presentation', {'MaxPresentations', 1}; '''all''', {'OptimizeHyperparameters', 'all'}; ...
                'three inner folds', {'HyperparameterOptimizationOptions', struct('KFold', 3)}};
    table = {};
    for i = 1:rows (variants)
      started = tic ();
      r = vorla_crossval (X, y, 'CVPartition', folds, variants{i,2}{:});
      table(end+1,:) = {variants{i,1}, pct(sum (r.Predictions == y), N), sprintf('%.1f', toc (started))};
    end
    print_rows (sprintf ('%s: nested cross-validation of the search', name), {'search', 'accuracy', 'seconds'}, table);

  end

  % 6: the whole training range, the robust range, and percentiles, clean and with an
  if (any (sections == 6))
    % outlier per feature.
    table = {};
    for flaw = {'clean', 'one outlier per feature'}
      Z = X;
      if (strcmp (flaw{1}, 'one outlier per feature'))
        rand ('twister', 3);
        for j = 1:columns (Z)
          width = max (Z(:,j)) - min (Z(:,j));
          Z(randi (N),j) = max (Z(:,j)) + 20 * max (width, 1);
        end
      end
      row = {flaw{1}};
      for scale = {'auto', 'robust'}
        r = vorla_crossval (Z, y, 'CVPartition', folds, 'Scale', scale{1});
        row{end+1} = pct (sum (r.Predictions == y), N);
      end
      % A percentile range is given as a range, and so the same for every inner fold.
      for cut = [0.01 0.05]
        right = 0;
        for k = 1:10
          train = folds != k;
          sorted = sort (Z(train,:));
          n = rows (sorted);
          range = [sorted(floor (cut * n) + 1,:); sorted(ceil ((1 - cut) * n),:)];
          flat = range(2,:) <= range(1,:);
          range(:,flat) = [min(Z(train,flat)); max(Z(train,flat))];
          model = vorla_train (Z(train,:), y(train), 'Scale', range);
          right += sum (vorla_predict (model, Z(folds == k,:)) == y(folds == k));
        end
        row{end+1} = pct (right, N);
      end
      table(end+1,:) = row;
    end
    print_rows (sprintf ('%s: the default call by the scaling of the features', name), ...
                {'data', '''auto'' (whole range)', '''robust''', '1% to 99%', '5% to 95%'}, table);
  end

  % 7: random shares of the features per network, and more voters.
  if (any (sections == 7))
    rand ('twister', 7);
    table = {};
    M = columns (X);
    for share = [1 0.5 0.25]
      row = {sprintf('%g%%', 100 * share)};
      for v = [0 0.7 0.9]
        right = 0;
        for k = 1:10
          test = folds == k;
          Xt = X(! test,:);
          yt = y(! test);
          votes = zeros (sum (test), C);
          for net = 1:10
            S = 1:M;
            if (share < 1)
              S = sort (randperm (M, max (1, round (share * M))));
            end
            o = randperm (rows (Xt));
            model = vorla_train (Xt(o,S), yt(o), 'Vigilance', v, 'Voters', 1);
            p = vorla_predict (model, X(test,S), 'UnknownLabel', 0);
            ok = p > 0;
            votes += full (sparse (find (ok), p(ok), 1, sum (test), C));
          end
          [~, label] = max (votes, [], 2);
          right += sum (label == y(test));
        end
        row{end+1} = pct (right, N);
      end
      table(end+1,:) = row;
    end
    print_rows (sprintf ('%s: ten networks, each on a share of the features', name), ...
                {'share of the features', 'vigilance 0', '0.7', '0.9'}, table);
    table = {};
    for v = [0 0.7]
      row = {sprintf('%g', v)};
      for V = [10 30 100]
        r = vorla_crossval (X, y, 'CVPartition', folds, 'Vigilance', v, 'Voters', V);
        row{end+1} = pct (sum (r.Predictions == y), N);
      end
      table(end+1,:) = row;
    end
    print_rows (sprintf ('%s: voters', name), {'vigilance', '10 voters', '30', '100'}, table);
  end

  % 8: the features' ranks in the training part.
  if (any (sections == 8))
    right = [0 0];
    for k = 1:10
      train = folds != k;
      test = ! train;
      model = vorla_train (X(train,:), y(train));
      right(1) += sum (vorla_predict (model, X(test,:)) == y(test));
      Z = ranks (X, train);
      model = vorla_train (Z(train,:), y(train));
      right(2) += sum (vorla_predict (model, Z(test,:)) == y(test));
    end
    print_rows (sprintf ('%s: the default call on the values and on their ranks', name), ...
                {'values', 'ranks'}, {pct(right(1), N), pct(right(2), N)});
  end
end
