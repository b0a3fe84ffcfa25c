% Measures what vigilance, voters, presentation order and match tracking do to one network
% trained without the search (OptimizeHyperparameters 'none', Voters 1 unless varied) on
% real data, and prints the tables of "Choosing the parameters" in doc/guide.md as Markdown.
%
%   octave-cli --no-gui --norc scripts/advice_table.m [DIR]
%
% DIR holds the MEX files and the .m functions (default: build). The data: Fisher's iris data
% (octave-statistics), the wine, breast-cancer and digits tables that Debian's python3-sklearn
% ships (read from its CSV files; a set whose package is missing is skipped with a message),
% and a synthetic problem of 4 overlapping Gaussian classes in 10 features with 1% of the
% labels random. Every figure is a mean over 10 stratified folds of vorla_crossval (seed 0).

args = argv ();
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
addpath (make_absolute_filename (folder));
addpath (fileparts (mfilename ('fullpath')));
warning ('off', 'vorla:crossval:conflict');
base = {'OptimizeHyperparameters', 'none', 'Voters', 1};

function text = ifelse_text (condition, yes, no)
  text = no;
  if (condition)
    text = yes;
  end
end

function cell_text = score (r)
  cell_text = sprintf ('%.1f%% (%.0f)', 100 * r.MeanAccuracy, mean (r.Nodes));
end



sets = {};
for name = {'iris', 'wine', 'breast_cancer', 'digits'}
  [X, y] = real_data (name{1});
  if (isempty (X))
    printf ('(%s skipped: %s is not installed)\n', name{1}, ...
            ifelse_text (strcmp (name{1}, 'iris'), 'octave-statistics', 'python3-sklearn'));
    continue;
  end
  sets(end+1,:) = {strrep(name{1}, '_', ' '), X, y};
end
randn ('state', 5);
rand ('state', 5);
centres = 1.2 * randn (4, 10);
y = repmat ((1:4)', 500, 1);
X = centres(y,:) + randn (2000, 10);
noisy = rand (2000, 1) < 0.01;
y(noisy) = randi (4, sum (noisy), 1);
sets(end+1,:) = {'synthetic', X, y};
names = sets(:,1)';

% 1. Vigilance, then voters at the best vigilance of each set.
vigilance = [0 0.5 0.75 0.9 0.95];
cells = cell (numel (vigilance) + 1, numel (names) + 1);
best = zeros (1, numel (names));
seconds = zeros (1, numel (names));
for s = 1:numel (names)
  started = tic ();
  r = vorla_crossval (sets{s,2}, sets{s,3}, 'Vigilance', vigilance, base{:});
  seconds(s) = toc (started);
  for i = 1:numel (vigilance)
    cells{i,1} = sprintf ('Vigilance %g%s', vigilance(i), ifelse_text (i == 1, ' (published)', ''));
    cells{i,s+1} = score (r(i));
  end
  [~, at] = max ([r.MeanAccuracy]);
  best(s) = vigilance(at);
  strict = vorla_crossval (sets{s,2}, sets{s,3}, 'MatchTracking', 'strict', 'MaxPresentations', 100, base{:});
  cells{end,1} = 'Vigilance 0, strict match tracking (cap 100)';
  cells{end,s+1} = score (strict);
end
print_markdown ('Accuracy (nodes) by vigilance:', 'setting', names, cells);
printf ('\n(seconds for the vigilance column of each set: %s)\n', sprintf ('%.1f ', seconds));

voters = [1 5 15];
cells = cell (numel (voters), numel (names) + 1);
for s = 1:numel (names)
  r = vorla_crossval (sets{s,2}, sets{s,3}, 'Vigilance', best(s), 'Voters', voters, 'OptimizeHyperparameters', 'none');
  for i = 1:numel (voters)
    cells{i,1} = sprintf ('Voters %d', voters(i));
    cells{i,s+1} = score (r(i));
  end
end
print_markdown ('Accuracy (nodes, summed over the voters) by voters, at the best vigilance of each set:', ...
             'setting', names, cells);
printf ('(best vigilance: %s)\n', sprintf ('%g ', best));

% 2. The best row of a grid, chosen on the folds it is scored on, against nested
% cross-validation: the grid chosen on 5 folds of each outer training part, scored on the
% outer fold.
cells = cell (2, numel (names) + 1);
cells(:,1) = {'best row of the grid, same folds'; 'nested: chosen on inner folds, scored on the outer fold'};
for s = 1:numel (names)
  [X, y] = sets{s,2:3};
  [r, outer] = vorla_crossval (X, y, 'Vigilance', vigilance, base{:});
  cells{1,s+1} = sprintf ('%.1f%%', 100 * max ([r.MeanAccuracy]));
  right = 0;
  for k = 1:10
    inner = vorla_crossval (X(outer != k,:), y(outer != k), 'Vigilance', vigilance, 'KFold', 5, base{:});
    [~, at] = max ([inner.MeanAccuracy]);
    model = vorla_train (X(outer != k,:), y(outer != k), 'Vigilance', vigilance(at), base{:});
    right += sum (vorla_predict (model, X(outer == k,:)) == y(outer == k));
  end
  cells{2,s+1} = sprintf ('%.1f%%', 100 * right / numel (y));
end
print_markdown ('Choosing vigilance by cross-validation: what the choice promises and what it delivers:', ...
             'estimate', names, cells);

% 3. Order: the files' own order (iris and wine sorted by class)
% against 5 random orders of each fold's training patterns, on the same folds.
cells = cell (2, numel (names) + 1);
cells(:,1) = {'order of the file'; '5 random orders: lowest to highest'};
for s = 1:numel (names)
  [X, y] = sets{s,2:3};
  [r, folds] = vorla_crossval (X, y, base{:});
  cells{1,s+1} = sprintf ('%.1f%%', 100 * r.MeanAccuracy);
  accuracy = zeros (1, 5);
  rand ('twister', 2);
  for o = 1:5
    for k = 1:10
      training = find (folds != k);
      training = training(randperm (numel (training)));
      model = vorla_train (X(training,:), y(training), base{:});
      accuracy(o) += mean (vorla_predict (model, X(folds == k,:)) == y(folds == k)) / 10;
    end
  end
  cells{2,s+1} = sprintf ('%.1f%% to %.1f%%', 100 * min (accuracy), 100 * max (accuracy));
end
print_markdown ('Presentation order, one network without the search:', 'order', names, cells);

% 4. Conflicting twins: the breast-cancer rows with their first five rows again, labels
% flipped, under each rule with every other option at its default.
s = find (strcmp (names, 'breast cancer'));
if (! isempty (s))
  [X, y] = sets{s,2:3};
  twins = [X; X(1:5,:)];
  labels = [y; 3 - y(1:5)];
  warning ('off', 'vorla:train:conflict');
  warning ('off', 'vorla:train:cap');
  printf ('\nBreast cancer with 5 flipped duplicates, one network without the search:\n\n');
  printf ('| data, rule | nodes | presentations | seconds |\n|---|---:|---:|---:|\n');
  cases = {'clean rows, tolerant', X, y, {}; 'with the twins, tolerant', twins, labels, {}; ...
           'with the twins, strict', twins, labels, {'MatchTracking', 'strict'}};
  vorla_train (X, y, base{:});
  for i = 1:rows (cases)
    started = tic ();
    model = vorla_train (cases{i,2}, cases{i,3}, cases{i,4}{:}, base{:});
    printf ('| %s | %d | %d | %.3f |\n', cases{i,1}, numel (model.NLabels), model.Presentations, toc (started));
  end
end

% 5. Clipping: how far the held-out folds of each set lie beyond their training range, in
% widths of that range.
printf ('\nHeld-out values beyond the training range (10 folds, seed 0):\n\n');
printf ('| set | values | beyond the range | farthest, in range widths (features not constant) | patterns with a value beyond one width |\n');
printf ('|---|---:|---:|---:|---:|\n');
for s = 1:numel (names)
  [X, y] = sets{s,2:3};
  [~, folds] = vorla_crossval (X, y, 'MaxPresentations', 1, base{:});
  count = 0;
  farthest = 0;
  far = 0;
  for k = 1:10
    lo = min (X(folds != k,:));
    width = max (X(folds != k,:)) - lo;
    beyond = max (lo - X(folds == k,:), X(folds == k,:) - lo - width);
    count += sum (beyond(:) > 0);
    relative = beyond ./ width;
    farthest = max ([farthest; relative(beyond > 0 & width > 0)]);
    far += sum (any (beyond > width, 2));
  end
  printf ('| %s | %d | %d | %.2f | %d |\n', names{s}, numel (X), count, farthest, far);
end
