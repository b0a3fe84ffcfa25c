% Measures what each training parameter does to accuracy and node count, one parameter at
% a time from one network at vigilance 0 with nothing searched (the published setting, but
% for tolerant match tracking), and prints the table of doc/guide.md as Markdown.
%
%   octave-cli --no-gui --norc scripts/parameter_table.m [DIR]
%
% DIR holds vorla_fit.mex and the .m functions (default: build). Two data sets: Fisher's
% iris data (150 flowers, 4 features, 3 species; from octave-statistics) and 1,000 points
% of the circle in the square (2 features, 2 classes). Each figure is the mean over 10
% stratified folds (vorla_crossval, seed 0) of the accuracy on the held-out fold and of the
% nodes of the fold's model (summed over its voters), and of its list presentations ("passes",
% also summed over the voters); the order rows train one network on 5 random orders of each
% fold's training patterns and give the range over the orders.

args = argv ();
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
addpath (make_absolute_filename (folder));
% The base of every row: the options of vorla_train that the search and the voters leave alone.
base = {'OptimizeHyperparameters', 'none', 'Voters', 1};
% Learning rates below 1 run to the cap, and the iris data hold no conflicting patterns:
% the warnings would say nothing new here.
warning ('off', 'vorla:crossval:cap');
% Test flowers beyond the training range are clipped to it, which vorla_predict reports.
warning ('off', 'vorla:predict:clipped');

stats = pkg ('list', 'statistics');
if (isempty (stats))
  error ('the iris data come with octave-statistics: apt-get install octave-statistics');
end
iris = load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'));
rand ('twister', 1);
P = rand (1000, 2);
circle_labels = 1 + ((P(:,1) - 0.5) .^ 2 + (P(:,2) - 0.5) .^ 2 > 1 / (2 * pi));
sets = {iris.meas, iris.species; P, circle_labels};

settings = {
  'one network, no search',   {}
  'Vigilance 0.5',            {'Vigilance', 0.5}
  'Vigilance 0.75',           {'Vigilance', 0.75}
  'Vigilance 0.9',            {'Vigilance', 0.9}
  'Alpha 0',                  {'Alpha', 0}
  'Alpha 0.1',                {'Alpha', 0.1}
  'Alpha 10',                 {'Alpha', 10}
  'LearningRate 0.5 (cap 100)', {'LearningRate', 0.5, 'MaxPresentations', 100}
  'LearningRate 0.1 (cap 100)', {'LearningRate', 0.1, 'MaxPresentations', 100}
  'D = M / 2',                {'D', 0.5}
  'D = 2 M',                  {'D', 2}
  'ChoiceTest true',          {'ChoiceTest', true}
  'Voters 5',                 {'Voters', 5}
  'Voters 15',                {'Voters', 15}
};

printf ('| setting | iris: accuracy | nodes | passes | circle: accuracy | nodes | passes |\n');
printf ('|---|---:|---:|---:|---:|---:|---:|\n');
for r = 1:rows (settings)
  options = settings{r, 2};
  cells = {};
  for s = 1:rows (sets)
    [X, labels] = sets{s, :};
    o = options;
    % D is given as a multiple of M, the feature count of each data set.
    at = find (strcmp (o(1:2:end), 'D'));
    if (! isempty (at))
      o{2 * at} = o{2 * at} * columns (X);
    end
    result = vorla_crossval (X, labels, 'KFold', 10, base{:}, o{:});
    cells(end+1:end+3) = {sprintf('%.1f%%', 100 * result.MeanAccuracy), sprintf('%.1f', mean (result.Nodes)), ...
                          sprintf('%.1f', mean (result.Presentations))};
  end
  printf ('| %s | %s |\n', settings{r, 1}, strjoin (cells, ' | '));
end

% Labels of either kind, compared one by one.
function same = isequal_each (a, b)
  if (iscellstr (a))
    same = strcmp (a, b);
  else
    same = (a == b);
  end
end

% Presentation order: the same folds, one network, 5 random orders of each training part.
cells = {};
for s = 1:rows (sets)
  [X, labels] = sets{s, :};
  [~, folds] = vorla_crossval (X, labels, 'KFold', 10, base{:});
  rand ('twister', 2);
  accuracy = zeros (1, 5);
  nodes = zeros (1, 5);
  for o = 1:5
    for k = 1:10
      training = find (folds != k);
      training = training(randperm (numel (training)));
      model = vorla_train (X(training,:), labels(training), base{:});
      predicted = vorla_predict (model, X(folds == k,:));
      accuracy(o) += 100 * mean (isequal_each (predicted, labels(folds == k))) / 10;
      nodes(o) += numel (model.NLabels) / 10;
    end
  end
  cells(end+1:end+3) = {sprintf('%.1f%% to %.1f%%', min (accuracy), max (accuracy)), ...
                        sprintf('%.1f to %.1f', min (nodes), max (nodes)), ''};
end
printf ('| 5 random orders | %s |\n', strjoin (cells, ' | '));
