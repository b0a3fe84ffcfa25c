% Continues models on real data and prints what doc/guide.md shows under "Continuing a
% model": Fisher's iris data (octave-statistics), a species arriving after the others;
% and the breast-cancer data of python3-sklearn (skipped with a message where it is not
% installed), learned in three batches.
%
%   octave-cli --no-gui --norc scripts/continued_model.m [DIR]
%
% DIR holds the MEX files and the .m functions (default: build).

args = argv ();
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
addpath (make_absolute_filename (folder));

stats = pkg ('list', 'statistics');
if (isempty (stats))
  error ('the iris data come with octave-statistics: apt-get install octave-statistics');
end
load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'));
held_out = mod ((1:150)', 3) == 0;
first = ~held_out & ~strcmp (species, 'virginica');
later = ~held_out & strcmp (species, 'virginica');
accuracy = @(model) mean (strcmp (vorla_predict (model, meas(held_out,:)), species(held_out)));

% The range of the measurements is fixed beforehand (in cm): the first flowers do not span
% the later ones, whose values would otherwise be clipped to the first flowers' range.
range = [4 2 1 0; 8 4.5 7 2.6];
model = vorla_train (meas(first,:), species(first), 'Scale', range);
printf ('iris, setosa and versicolor: %d nodes, classes %s, held-out accuracy %.2f%%\n', ...
        numel (model.NLabels), strjoin (model.ClassNames', ', '), 100 * accuracy (model));
model = vorla_train (model, meas(later,:), species(later));
printf ('continued with virginica:    %d nodes, classes %s, held-out accuracy %.2f%%\n', ...
        numel (model.NLabels), strjoin (model.ClassNames', ', '), 100 * accuracy (model));
once = vorla_train (meas(~held_out,:), species(~held_out), 'Scale', range);
printf ('one call on all 100 flowers: %d nodes, held-out accuracy %.2f%%\n', ...
        numel (once.NLabels), 100 * accuracy (once));
printf ('history: patterns %s, classes %s, nodes %s, presentations %s\n\n', ...
        mat2str ([model.History.Patterns]), mat2str ([model.History.Classes]), ...
        mat2str ([model.History.Nodes]), mat2str ([model.History.Presentations]));

data = '/usr/lib/python3/dist-packages/sklearn/datasets/data/breast_cancer.csv';
if (! exist (data, 'file'))
  printf ('breast cancer: skipped, %s is missing (python3-sklearn)\n', data);
  return;
end
table = dlmread (data, ',', 1, 0);
X = table(:,1:30);
y = table(:,31);
test = mod ((1:rows (X))', 3) == 0;
train = find (! test);
batches = {train(1:2:end/2), train(2:2:end/2), train(end/2+1:end)};
range = [min(X(train,:)); max(X(train,:))];
printf ('breast cancer, %d training rows in 3 batches, %d test rows\n', numel (train), sum (test));
printf ('%-34s %6s %9s\n', 'model', 'nodes', 'accuracy');
warning ('off', 'vorla:train:cap');
warning ('off', 'vorla:predict:clipped');
for rule = {{}, {'MaxPresentations', 1}}
  model = [];
  seen = [];
  for b = 1:3
    rows_b = batches{b};
    seen = [seen; rows_b];
    if (isempty (model))
      model = vorla_train (X(rows_b,:), y(rows_b), 'Scale', range, rule{1}{:});
    else
      model = vorla_train (model, X(rows_b,:), y(rows_b));
    end
    how = 'until convergence';
    if (! isempty (rule{1}))
      how = 'one presentation';
    end
    printf ('%-34s %6d %8.2f%%\n', sprintf ('%s, after batch %d', how, b), numel (model.NLabels), ...
            100 * mean (vorla_predict (model, X(test,:)) == y(test)));
  end
  once = vorla_train (X(seen,:), y(seen), 'Scale', range, rule{1}{:});
  printf ('%-34s %6d %8.2f%%  (nodes equal bit for bit: %d)\n', sprintf ('%s, one call', how), ...
          numel (once.NLabels), 100 * mean (vorla_predict (once, X(test,:)) == y(test)), ...
          isequal ({once.Templates, once.NLabels}, {model.Templates, model.NLabels}));
end
