function results = iris_compare ()
  % Fisher's iris data through the model-level functions, as a new user would
  % run them (raw measurements, species as a cellstr, every default), next to
  % k-nearest neighbours on the same ten folds.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); iris_compare()"
  %
  % The folder with the MEX files must be on the path; fisheriris.mat comes with
  % Debian's octave-statistics. k-nearest neighbours is written out here in a few
  % lines (Euclidean distance on features scaled into [0, 1] by the training
  % part, majority vote, ties to the nearest), as the statistics package of
  % Octave 7 has no fitcknn.
  base = {'OptimizeHyperparameters', 'none', 'Voters', 1};
  data = load (fisheriris_file ());
  X = data.meas;
  species = data.species;

  [result, folds] = vorla_crossval (X, species);
  one = vorla_crossval (X, species, base{:});
  rows = {'vorla_crossval (meas, species), defaults', result;
          'one network at vigilance 0, no search', one};
  [~, ~, y] = unique (species);
  for k = [1 3 5]
    accuracy = zeros (1, 10);
    for f = 1:10
      test = (folds == f);
      [train_scaled, range] = vorla_scale (X(~test,:));
      accuracy(f) = mean (knn (train_scaled, y(~test), vorla_scale (X(test,:), range), k) == y(test));
    end
    rows(end+1,:) = {sprintf('%d-nearest neighbours', k), struct('Accuracy', accuracy)};
  end

  printf ('Fisher''s iris data, 150 flowers, stratified 10-fold cross-validation (Seed 0)\n');
  printf ('%-38s %9s %8s %8s\n', 'method', 'accuracy', 'std', 'nodes');
  results = struct ('method', {}, 'accuracy', {}, 'std', {}, 'nodes', {});
  for i = 1:size (rows, 1)
    r = rows{i,2};
    nodes = NaN;
    if isfield (r, 'Nodes')
      nodes = mean (r.Nodes);
    end
    results(end+1) = struct ('method', rows{i,1}, 'accuracy', mean (r.Accuracy), ...
                             'std', std (r.Accuracy), 'nodes', nodes);
    printf ('%-38s %8.2f%% %7.2f%% %8s\n', rows{i,1}, 100 * mean (r.Accuracy), 100 * std (r.Accuracy), strrep (sprintf ('%.1f', nodes), 'NaN', '-'));
  end
end

function labels = knn (train_X, train_y, test_X, k)
  d = sum (test_X .^ 2, 2) + sum (train_X .^ 2, 2)' - 2 * test_X * train_X';
  [~, nearest] = sort (d, 2);
  votes = train_y(nearest(:,1:k));
  if k == 1
    labels = votes(:);
    return;
  end
  labels = zeros (size (test_X, 1), 1);
  for i = 1:numel (labels)
    counts = accumarray (votes(i,:)', 1);
    best = find (counts == max (counts));
    % Of tied classes, the one whose neighbour is nearest.
    labels(i) = votes(i, find (ismember (votes(i,:), best), 1));
  end
end

function file = fisheriris_file ()
  found = glob ('/usr/share/octave/packages/statistics-*/datasets/fisheriris.mat');
  if isempty (found)
    error ('iris_compare: fisheriris.mat not found (apt-get install octave-statistics)');
  end
  file = found{end};
end
