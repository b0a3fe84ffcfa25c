function [result, folds] = vorla_crossval (X, labels, varargin)
% VORLA_CROSSVAL  Stratified k-fold cross-validation of vorla_train, over a grid of settings.
%
%   result = vorla_crossval (X, labels)
%   [result, folds] = vorla_crossval (X, labels, Name, Value, ...)
%   vorla_crossval (...)              prints a table of the results: means
%                                     over the folds, and the total time
%
%   X and labels are as for vorla_train. The patterns are dealt into KFold
%   folds class by class, so that each fold holds about the same share of
%   every class. For each fold a model is trained by vorla_train on the other
%   folds (in the given order of the patterns, scaled by their own range) and
%   classifies the patterns of the fold with vorla_predict.
%
%   Options: every option of vorla_train, and
%     'KFold'    10     the number of folds, 2 to N.
%     'CVPartition'     the caller's folds instead: a cvpartition (k-fold,
%                       holdout or leave-out; the statistics package's in
%                       Octave) or a vector of N fold numbers 1..K, 0 for a
%                       pattern that every fold trains on, so that other
%                       methods can be scored on the same split.
%     'Holdout'         a share p in (0, 1) instead: one test of a
%                       stratified share p of each class (dealt from Seed),
%                       trained on the rest.
%     'Seed'     0      also deals the folds: the same seed gives the same
%                       folds, in MATLAB and Octave alike (the layer's own
%                       generator).
%     'Display'  'off'  'iter': a line "fold k of K" (with the setting when
%                       there are several) before each fold's training, and
%                       vorla_train's line per list presentation; 'final': a
%                       line per setting as its last fold ends, with its
%                       accuracy, nodes and presentations per fold and
%                       the seconds of all its folds.
%   Each fold's model is trained as vorla_train trains it, so with the
%   default OptimizeHyperparameters ('auto') each fold chooses its vigilance
%   on inner folds of its own training part: nested cross-validation, whose
%   accuracy is an honest estimate of the default call's on new data.
%   Options given by name (and each option of a grid) are not searched.
%   An option given several values makes a grid of all their combinations,
%   e.g. 'Vigilance', [0 0.5 0.9], 'Voters', [1 5] gives six settings:
%   numeric and logical options as a vector, Scale and MatchTracking as a
%   cell ({'auto', 'none'}). Seed, Trace, Display, Parallel and Threads take
%   one value (Threads: those of each fold's vorla_train and vorla_predict;
%   with more than one thread, and neither Trace nor Display 'iter', the
%   networks of every fold and setting train in one batch). Settings run
%   through the combinations with the first option of vorla_train's table
%   changing fastest.
%
%   result is a struct array with one element per setting:
%     Setting        struct of the vorla_train options of the setting
%     Accuracy       1 x KFold share of the fold's patterns labelled right
%                    (an unclassified pattern counts as wrong)
%     MeanAccuracy   mean of Accuracy
%     StdAccuracy    standard deviation of Accuracy
%     Nodes          1 x KFold nodes of each fold's model (the sum over
%                    its voters)
%     Presentations  1 x KFold list presentations (the sum over the voters)
%     Time           1 x KFold seconds of training and classifying each fold
%                    (folds trained in one batch share its time equally)
%     Confusion      C x C counts of the out-of-fold labels, true class by
%                    row, chosen class by column, summed over the folds
%                    (unclassified patterns are left out)
%     Predictions    N x 1 out-of-fold label of each pattern, in the labels'
%                    kind (the missing value when it was not classified, as
%                    vorla_predict gives it, or held out by no fold)
%     Scores         N x C out-of-fold choice scores of vorla_predict
%                    ('Scores', 'choice'), e.g. for a ROC curve; zeros for a
%                    pattern that no fold holds out
%     ClassNames     the classes, as in a model
%     Chosen         1 x K the values that each fold's search chose (the
%                    Best of its model's HyperparameterOptimizationResults),
%                    empty when nothing was searched
%   folds (N x 1) is the fold of each pattern.
%
%   With 'Parallel', true the folds of all settings are spread over worker
%   processes (see vorla_train); the results are the same, bit for bit,
%   except for Time.
%
%   The best row of a grid, chosen on these folds, overstates what it will
%   score on new data: choose on the folds of a training part and score on
%   a held-out part (see "Choosing the parameters" in doc/guide.md).
%
%   Warnings (once per call): vorla:crossval:oneclass (every pattern
%   carries the same class), vorla:crossval:conflict (identical patterns
%   carry different labels), vorla:crossval:cap (runs stopped at the safety
%   cap, which a given MaxPresentations replaces), vorla:crossval:unscaled
%   (Scale 'none' with values outside [0, 1]), vorla:crossval:clipped (a
%   feature of X far beyond a given Scale range), vorla:crossval:workers
%   (with Parallel, worker processes that could not start).
%   Errors carry identifiers vorla:crossval:arguments, vorla:crossval:X, vorla:crossval:labels,
%   vorla:crossval:shape, vorla:crossval:options, vorla:crossval:<Option>.
%
%   Example:
%     % MATLAB (Statistics Toolbox): load fisheriris
%     % Octave (statistics package):
%     stats = pkg ('list', 'statistics');
%     load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'))
%     vorla_crossval (meas, species, 'Vigilance', [0 0.5 0.8])
%
%   See also: vorla_train, vorla_predict.

  if nargin < 2
    error ('vorla:crossval:arguments', 'vorla_crossval: expected (X, labels, Name, Value, ...); %d arguments given', nargin);
  end
  p = train_parser ('crossval');
  [opts, given] = parse_options (p, 'crossval', varargin);
  % Text categories become their positions once, which every fold's model then codes as categories.
  [X, coding] = learn_coding ('crossval', X, opts.CategoricalPredictors, ...
                              ~strcmp (missing_option ('crossval', opts.MissingValues), 'error'));
  numeric = setdiff (1:size (X, 2), coding.CategoricalPredictors);
  [names, index, kind] = label_classes ('crossval', labels);
  N = numel (index);
  check_shape ('crossval', X, N);
  M = size (X, 2);
  one_value = {'Seed', 'Trace', 'Parallel', 'Threads', 'Display'};
  for i = 1:numel (one_value)
    opts.(one_value{i}) = check_option ('crossval', one_value{i}, opts.(one_value{i}), M);
  end
  folds = outer_folds (opts, given, index, M);
  K = max (folds);
  [settings, varied] = setting_grid (opts, M);
  % Each fold's training searches what the caller left open, as vorla_train
  % does: the folds then give nested cross-validation.
  passed = intersect (given, setting_names (), 'stable');
  check_search ('crossval', opts.OptimizeHyperparameters, opts.HyperparameterOptimizationOptions, given, ...
                settings{1}, N);
  if isfield (opts.HyperparameterOptimizationOptions, 'CVPartition')
    error ('vorla:crossval:HyperparameterOptimizationOptions', ['vorla_crossval: HyperparameterOptimizationOptions ' ...
           'cannot hold a CVPartition: each fold deals the inner folds of its own training part (give KFold)']);
  end
  one_class ('crossval', names);

  rules = cellfun (@(setting) setting.MatchTracking, settings, 'UniformOutput', false);
  rule = 'tolerant';
  if any (strcmp (rules, 'strict'))
    rule = 'strict';
  end
  conflict_warning ('crossval', X, index, rule);
  unscaled = find (cellfun (@(setting) strcmp (setting.Scale, 'none'), settings));
  if ~isempty (unscaled)
    check_unscaled ('crossval', X(:,numeric), min (cellfun (@(setting) setting.D, settings(unscaled))), 'X');
  end
  % The folds clip to a given range in silence; the call warns once, for the first range that clips X.
  ranges = settings(cellfun (@(setting) ~ischar (setting.Scale), settings));
  for i = 1:numel (ranges)
    if clip_warning ('crossval', X, ranges{i}.Scale, true, coding.CategoricalPredictors)
      break;
    end
  end

  % Each setting's folds in a row, so that its line can be printed as soon as they are done.
  [k, s] = ndgrid (1:K, 1:numel (settings));
  tasks = arrayfun (@(i) struct ('X', X, 'categorical', coding.CategoricalPredictors, 'index', index, 'folds', folds, 'setting', settings{s(i)}, 'passed', {passed}, ...
                                 'optimize', {opts.OptimizeHyperparameters}, ...
                                 'how', opts.HyperparameterOptimizationOptions, ...
                                 'k', k(i), 'trace', opts.Trace, 'threads', opts.Threads, 'display', opts.Display, ...
                                 'heading', fold_heading (settings{s(i)}, s(i), numel (settings), varied, k(i), K)), ...
                    1:numel (s), 'UniformOutput', false);
  done = [];
  if strcmp (opts.Display, 'final')
    done = @(i, outcome) setting_line (i, outcome, s, index, folds, settings, varied);
  end
  if ~opts.Parallel && opts.Threads ~= 1 && opts.Trace == 0 && ~strcmp (opts.Display, 'iter')
    % Every fold's networks in one batch on threads; each setting's line once its folds are in.
    outcome = fold_task (tasks);
    if ~isempty (done)
      shown = cell (size (outcome));
      for i = 1:numel (outcome)
        shown{i} = outcome{i};
        done (i, shown);
      end
    end
  else
    outcome = run_tasks ('fold_task', tasks, opts.Parallel, 'crossval', done);
  end

  C = size (names, 1);
  [missing, missing_kind] = missing_label (kind);
  result = struct ('Setting', {}, 'Accuracy', {}, 'MeanAccuracy', {}, 'StdAccuracy', {}, 'Nodes', {}, ...
                   'Presentations', {}, 'Time', {}, 'Confusion', {}, 'Predictions', {}, 'Scores', {}, ...
                   'ClassNames', {}, 'Chosen', {});
  stopped = 0;
  runs = 0;
  for i = 1:numel (settings)
    mine = [outcome{s(:) == i}];
    [predicted, accuracy] = out_of_fold (mine, folds, index);
    known = predicted > 0;
    r.Setting = settings{i};
    r.Accuracy = accuracy;
    r.MeanAccuracy = mean (accuracy);
    r.StdAccuracy = std (accuracy);
    r.Nodes = [mine.Nodes];
    r.Presentations = [mine.Presentations];
    r.Time = [mine.Time];
    r.Confusion = accumarray ([index(known), predicted(known)], 1, [C C]);
    if all (known) || strcmp (missing_kind, kind)
      r.Predictions = label_values (names, kind, predicted, missing);
    else
      r.Predictions = label_values (double (names), 'double', predicted, NaN);
    end
    r.Scores = zeros (N, C);
    for j = 1:K
      r.Scores(folds == j,:) = mine(j).Scores;
    end
    r.ClassNames = names;
    r.Chosen = [mine.Chosen];
    result(end+1) = r;
    if isinf (settings{i}.MaxPresentations)
      stopped = stopped + sum ([mine.Stopped]);
    end
    runs = runs + sum ([mine.Voters]);
  end
  if stopped > 0
    notify ('vorla:crossval:cap', ...
             ['vorla_crossval: %d of %d networks stopped at the safety cap of %d list presentations without ' ...
              'converging; give MaxPresentations to choose the cap (then no warning)'], stopped, runs, safety_cap ());
  end

  if nargout == 0
    print_table (result, varied, K);
    clear result;
  end
end

function [settings, varied] = setting_grid (opts, M)
% One struct of vorla_train options per combination of the values given.
  names = {'Vigilance', 'Alpha', 'LearningRate', 'MaxPresentations', 'Trim', 'ChoiceTest', ...
           'Scale', 'D', 'Voters', 'MatchTracking'};
  values = cell (size (names));
  for i = 1:numel (names)
    given = opts.(names{i});
    if iscell (given)
      list = given(:)';
    elseif strcmp (names{i}, 'Scale') && ~ischar (given) && isequal (size (given), [2 M])
      list = {given};
    elseif isempty (given) && strcmp (names{i}, 'D')
      list = {[]};
    elseif (isnumeric (given) || islogical (given)) && isvector (given)
      list = num2cell (given(:)');
    else
      list = {given};
    end
    if isempty (list)
      error (['vorla:crossval:' names{i}], 'vorla_crossval: %s must be given at least one value; %s given', ...
             names{i}, describe (given));
    end
    values{i} = cellfun (@(v) check_option ('crossval', names{i}, v, M), list, 'UniformOutput', false);
  end
  counts = cellfun ('numel', values);
  varied = names(counts > 1);
  settings = cell (1, prod (counts));
  pick = cell (size (counts));
  for j = 1:numel (settings)
    [pick{:}] = ind2sub ([counts, 1], j);
    setting = struct ();
    for i = 1:numel (names)
      setting.(names{i}) = values{i}{pick{i}};
    end
    setting.Seed = opts.Seed;
    settings{j} = setting;
  end
end

function text = setting_text_list (setting, varied)
  cells = cellfun (@(name) sprintf ('%s %s', name, setting_text (setting.(name))), varied, 'UniformOutput', false);
  text = strjoin (cells, ', ');
end

function heading = fold_heading (setting, s, S, varied, k, K)
  heading = sprintf ('vorla_crossval: fold %d of %d', k, K);
  if S > 1
    heading = sprintf ('vorla_crossval: setting %d of %d (%s), fold %d of %d', s, S, ...
                       setting_text_list (setting, varied), k, K);
  end
end

function setting_line (i, outcome, s, index, folds, settings, varied)
% Display 'final': one line per setting, once its last fold is in.
  mine = find (s(:) == s(i));
  if any (cellfun ('isempty', outcome(mine)))
    return;
  end
  results = [outcome{mine}];
  [~, accuracy] = out_of_fold (results, folds, index);
  text = '';
  if numel (settings) > 1
    text = sprintf (' %d of %d (%s)', s(i), numel (settings), setting_text_list (settings{s(i)}, varied));
  end
  show ('vorla_crossval: setting%s: accuracy %.2f%%, %.1f nodes and %.1f presentations per fold, %.2f s for the %d folds\n', ...
        text, 100 * mean (accuracy), mean ([results.Nodes]), mean ([results.Presentations]), sum ([results.Time]), ...
        numel (results));
end

function [predicted, accuracy] = out_of_fold (results, folds, index)
% The class number given to each pattern by the model of its fold (0 for a
% pattern that no fold holds out), and the share right in each fold.
  predicted = zeros (size (index));
  for j = 1:numel (results)
    predicted(folds == j) = results(j).Predicted;
  end
  held = folds > 0;
  accuracy = accumarray (folds(held), predicted(held) == index(held), [numel(results) 1], @mean)';
end

function names = setting_names ()
  names = {'Vigilance', 'Alpha', 'LearningRate', 'MaxPresentations', 'Trim', 'ChoiceTest', ...
           'Scale', 'D', 'Voters', 'MatchTracking'};
end

function folds = outer_folds (opts, given, index, M)
% The fold of each pattern: the caller's partition, a stratified holdout, or
% KFold stratified folds dealt from the seed.
  N = numel (index);
  ways = intersect (given, {'KFold', 'CVPartition', 'Holdout'});
  if numel (ways) > 1
    error ('vorla:crossval:options', 'vorla_crossval: give one of KFold, CVPartition and Holdout; %s given', ...
           strjoin (ways, ' and '));
  end
  if any (strcmp (given, 'CVPartition'))
    folds = fold_numbers ('crossval', opts.CVPartition, N, 'CVPartition');
  elseif any (strcmp (given, 'Holdout'))
    share = opts.Holdout;
    if ~(isnumeric (share) && isscalar (share) && isreal (share) && share > 0 && share < 1)
      error ('vorla:crossval:Holdout', 'vorla_crossval: Holdout must be a share in (0, 1); %s given', describe (share));
    end
    % The same stratified deal as the folds: a share of each class, at least
    % one pattern of a class of two or more, held out as test 1.
    folds = zeros (N, 1);
    C = max (index);
    members = arrayfun (@(c) find (index == c), 1:C, 'UniformOutput', false);
    orders = seeded_permutations (opts.Seed, cellfun ('numel', members));
    for c = 1:C
      count = numel (members{c});
      out = min (count - 1, max (1, round (share * count)));
      folds(members{c}(orders{c}(1:out))) = 1;
    end
    if ~any (folds)
      error ('vorla:crossval:Holdout', 'vorla_crossval: Holdout %g holds out no pattern of %d', share, N);
    end
  else
    K = check_option ('crossval', 'KFold', opts.KFold, M);
    if K > N
      error ('vorla:crossval:KFold', 'vorla_crossval: KFold must be at most the number of patterns, %d; %d given', N, K);
    end
    folds = stratified_folds (index, K, opts.Seed);
  end
end

function print_table (result, varied, K)
  if isempty (varied)
    varied = {'Vigilance'};
  end
  fprintf ('%d-fold cross-validation, %d setting(s)\n', K, numel (result));
  widths = max (14, cellfun ('length', varied) + 2);
  columns = @(cells) cell2mat (arrayfun (@(j) sprintf ('%*s', widths(j), cells{j}), 1:numel (cells), ...
                                         'UniformOutput', false));
  % Means over the folds, but the time: the sum, what the whole run took.
  fprintf ('%s  %9s  %8s  %8s  %13s  %14s\n', columns (varied), 'accuracy', 'std', 'nodes', 'presentations', ...
           'total time (s)');
  for i = 1:numel (result)
    r = result(i);
    searched = {};
    if ~isempty (r.Chosen)
      searched = fieldnames (r.Chosen);
    end
    cells = cellfun (@(name) setting_text (r.Setting.(name)), varied, 'UniformOutput', false);
    cells(ismember (varied, searched)) = {'chosen'};
    fprintf ('%s  %8.2f%%  %7.2f%%  %8.1f  %13.1f  %14.2f\n', columns (cells), ...
             100 * r.MeanAccuracy, 100 * r.StdAccuracy, mean (r.Nodes), mean (r.Presentations), sum (r.Time));
  end
  % What the folds' searches chose, setting by setting.
  for i = 1:numel (result)
    if isempty (result(i).Chosen)
      continue;
    end
    where = '';
    if numel (result) > 1
      where = sprintf (' (setting %d)', i);
    end
    for name = fieldnames (result(i).Chosen)'
      values = cellfun (@setting_text, {result(i).Chosen.(name{1})}, 'UniformOutput', false);
      fprintf ('%s chosen in folds 1 to %d%s: %s\n', name{1}, K, where, strjoin (values, ' '));
    end
  end
end

function text = setting_text (value)
  if ischar (value)
    text = value;
  elseif isscalar (value)
    text = num2str (value);
  else
    text = 'range';
  end
end

%!shared X, y, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
%! rand ("state", 8);
%! X = [randn(40, 2); randn(40, 2) + 2.5; randn(20, 2) + [3 -2]];
%! y = [ones(40, 1); 2 * ones(40, 1); 3 * ones(20, 1)];

%!test
%! ## every fold's networks in one batch on threads: the serial results and lines, for
%! ## settings of other rules and scales, a missing value, and a search in every fold
%! P = X;
%! P(5,1) = NaN;
%! untimed = @(r) rmfield (r, "Time");
%! grid = {"KFold", 3, "Vigilance", [0 0.6], "MatchTracking", {"strict", "tolerant"}, "Scale", {"auto", "robust"}, ...
%!         "Voters", 3, no_search{:}, "Display", "final"};
%! one = evalc ("a = vorla_crossval (P, y, grid{:}, 'Threads', 1);");
%! two = evalc ("b = vorla_crossval (P, y, grid{:}, 'Threads', 2);");
%! assert (untimed (b), untimed (a));
%! lines = @(text) regexprep (text, "[\\d.]+ s for", "");
%! assert (lines (two), lines (one));
%! assert (numel (strfind (one, "\n")), 8);
%! assert (untimed (vorla_crossval (P, y, "KFold", 3, "Threads", 2)), untimed (vorla_crossval (P, y, "KFold", 3, "Threads", 1)));
%! ## one network a fold: a batch holds several folds (eight, then two)
%! assert (untimed (vorla_crossval (P, y, "KFold", 10, one_net{:}, "Threads", 2)), ...
%!         untimed (vorla_crossval (P, y, "KFold", 10, one_net{:}, "Threads", 1)));

%!test
%! ## categorical features, as codes or as text: each fold's model as vorla_train makes it
%! warning ("off", "vorla:crossval:conflict", "local");
%! warning ("off", "vorla:train:conflict", "local");
%! words = {"red"; "green"; "blue"; "grey"};
%! codes = 1 + mod ((1:numel (y))', 4);
%! Z = [X(:,1), codes];
%! T = [words(codes), words(1 + (X(:,2) > 0.5))];
%! for data = {{Z, {"CategoricalPredictors", 2}}, {T, {}}}
%!   [r, folds] = vorla_crossval (data{1}{1}, y, data{1}{2}{:}, "KFold", 3, one_net{:});
%!   for k = 1:3
%!     test = (folds == k);
%!     model = vorla_train (data{1}{1}(! test,:), y(! test), data{1}{2}{:}, one_net{:});
%!     assert (r.Predictions(test), vorla_predict (model, data{1}{1}(test,:)));
%!   endfor
%! endfor

%!test
%! ## stratified, reproducible folds; each fold's model as vorla_train makes it
%! [r, folds] = vorla_crossval (X, y, "KFold", 5, "Seed", 2, one_net{:});
%! assert (accumarray ([folds, y], 1), repmat ([8 8 4], 5, 1));
%! [r2, folds2] = vorla_crossval (X, y, "KFold", 5, "Seed", 2, one_net{:});
%! assert (folds2, folds);
%! r2.Time = r.Time;
%! assert (r2, r);
%! [~, folds3] = vorla_crossval (X, y, "KFold", 5, "Seed", 3, one_net{:});
%! assert (! isequal (folds3, folds));
%! warning ("off", "vorla:predict:clipped", "local");
%! for k = [1 4]
%!   test = (folds == k);
%!   model = vorla_train (X(! test,:), y(! test), one_net{:});
%!   p = vorla_predict (model, X(test,:));
%!   assert (r.Predictions(test), p);
%!   assert (r.Accuracy(k), mean (p == y(test)));
%!   assert (r.Nodes(k), numel (model.NLabels));
%!   assert (r.Presentations(k), model.Presentations);
%! endfor
%! assert (r.MeanAccuracy, mean (r.Accuracy));
%! assert (r.StdAccuracy, std (r.Accuracy));
%! assert (sum (r.Confusion(:)), 100);
%! assert (trace (r.Confusion), sum (r.Predictions == y));
%! assert (r.Confusion(2,3), sum (y == 2 & r.Predictions == 3));
%! assert (r.ClassNames, [1; 2; 3]);
%! assert (r.Setting, struct ("Vigilance", 0, "Alpha", 0.001, "LearningRate", 1, ...
%!                            "MaxPresentations", Inf, "Trim", false, "ChoiceTest", false, ...
%!                            "Scale", "robust", "D", 2, "Voters", 1, "MatchTracking", "tolerant", "Seed", 2));

%!test
%! ## a grid over every combination, the first option changing fastest
%! warning ("off", "vorla:crossval:unscaled", "local");
%! r = vorla_crossval (X, y, "KFold", 4, "Vigilance", [0 0.6], "Voters", [1 3], "Scale", {"auto", "none"}, no_search{:});
%! assert (size (r), [1 8]);
%! s = [r.Setting];
%! assert ([s.Vigilance], [0 0.6 0 0.6 0 0.6 0 0.6]);
%! assert ({s.Scale}, {"auto", "auto", "none", "none", "auto", "auto", "none", "none"});
%! assert ([s.Voters], [1 1 1 1 3 3 3 3]);
%! one = vorla_crossval (X, y, "KFold", 4, "Vigilance", 0.6, "Voters", 3, "Scale", "auto", no_search{:});
%! one.Time = r(6).Time;
%! assert (one, r(6));

%!test
%! ## text labels come back as text; the table
%! names = {"ant"; "bee"; "cat"};
%! r = vorla_crossval (X, names(y), "KFold", 3, one_net{:});
%! assert (r.ClassNames, names);
%! p = vorla_crossval (X, y, "KFold", 3, one_net{:}).Predictions;
%! assert (r.Predictions, names(p));
%! ## logical and one-character char labels keep their kind
%! r = vorla_crossval (X, y == 2, "KFold", 3, one_net{:});
%! assert ({class(r.Predictions), r.ClassNames}, {"logical", [false; true]});
%! r = vorla_crossval (X, ["a"; "b"; "c"](y), "KFold", 3, one_net{:});
%! assert ({r.ClassNames, r.Predictions}, {{"a"; "b"; "c"}, ["a"; "b"; "c"](p)});
%! text = evalc ("vorla_crossval (X, y, 'KFold', 3, 'Alpha', [0.001 0.1], one_net{:})");
%! assert (! isempty (strfind (text, "3-fold cross-validation, 2 setting(s)")));
%! assert (numel (strsplit (strtrim (text), "\n")), 4);
%! assert (! isempty (regexp (text, "presentations  total time \\(s\\)\n")));

%!test
%! ## progress: a line per fold and presentation, or one per setting as it ends
%! text = evalc ("r = vorla_crossval (X, y, 'KFold', 3, 'Vigilance', [0 0.5], 'Display', 'final', one_net{:});");
%! lines = strsplit (strtrim (text), "\n");
%! assert (numel (lines), 2);
%! assert (regexp (lines{2}, ["^vorla_crossval: setting 2 of 2 \\(Vigilance 0.5\\): accuracy ", ...
%!                           "[\\d.]+%, [\\d.]+ nodes and [\\d.]+ presentations per fold, [\\d.]+ s for the 3 folds$"]));
%! assert (strfind (lines{2}, sprintf ("accuracy %.2f%%", 100 * r(2).MeanAccuracy)) > 0);
%! text = evalc ("vorla_crossval (X, y, 'KFold', 3, 'Display', 'iter', one_net{:});");
%! folds = regexp (text, "vorla_crossval: fold (\\d) of 3\n", "tokens");
%! assert ([folds{:}], {"1", "2", "3"});
%! assert (numel (strfind (text, "vorla_learn: presentation")) >= 6);

%!test
%! ## the rule of match tracking as a grid; conflicts and the cap warn once
%! ## (eight twins: every fold's training part holds some)
%! twins = [X; X(1:8,:)];
%! labels = [y; 4 - y(1:8)];
%! lastwarn ("");
%! evalc ("r = vorla_crossval (twins, labels, 'KFold', 3, 'MatchTracking', {'strict', 'tolerant'}, 'MaxPresentations', 20, one_net{:});");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:crossval:conflict");
%! assert (strfind (msg, "(rows 1, 2, 3, 4, 5, 6, ...); strict match tracking") > 0);
%! s = [r.Setting];
%! assert ({s.MatchTracking}, {"strict", "tolerant"});
%! assert (all (r(1).Presentations == 20) && all (r(2).Presentations < 20));
%! warning ("off", "vorla:crossval:conflict", "local");
%! lastwarn ("");
%! evalc ("vorla_crossval (twins, labels, 'KFold', 3, 'MatchTracking', 'strict', one_net{:});");
%! assert (strfind (lastwarn (), "vorla_crossval: 3 of 3 networks stopped at the safety cap of 1000"), 1);

%!test
%! ## the caller's folds, 0 for patterns that every fold trains on; out-of-fold scores
%! warning ("off", "vorla:predict:clipped", "local");
%! folds = repmat ([1; 2; 0; 3], 25, 1);
%! r = vorla_crossval (X, y, "CVPartition", folds, "Vigilance", 0.5, "Voters", 3, no_search{:});
%! assert (numel (r.Accuracy), 3);
%! for k = 1:3
%!   model = vorla_train (X(folds != k,:), y(folds != k), "Vigilance", 0.5, "Voters", 3, no_search{:});
%!   [p, scores] = vorla_predict (model, X(folds == k,:), "Scores", "choice");
%!   assert ({r.Predictions(folds == k), r.Scores(folds == k,:)}, {p, scores});
%!   assert (r.Accuracy(k), mean (p == y(folds == k)));
%! endfor
%! assert (isnan (r.Predictions(folds == 0)) && ! any (any (r.Scores(folds == 0,:))));
%! assert (sum (r.Confusion(:)), 75);
%! ## a fold whose training part lacks a class scores that class 0
%! r = vorla_crossval (X, y, "CVPartition", 1 + (y == 3), one_net{:});
%! assert (all (r.Scores(y == 3, 3) == 0) && all (r.Scores(y != 3, 3) > 0));
%! ## a stratified holdout: one test of a share of each class
%! [r, folds] = vorla_crossval (X, y, "Holdout", 0.25, one_net{:});
%! assert (accumarray (y, folds), [10; 10; 5]);
%! assert (numel (r.Accuracy), 1);

%!test
%! ## by default each fold chooses its vigilance on its own training part: nested
%! [r, folds] = vorla_crossval (X, y, "KFold", 3);
%! assert (numel (r.Chosen), 3);
%! model = vorla_train (X(folds != 2,:), y(folds != 2));
%! assert (r.Chosen(2), model.HyperparameterOptimizationResults.Best);
%! assert (r.Predictions(folds == 2), vorla_predict (model, X(folds == 2,:)));
%! assert (r.Setting.Voters, 10);

%!error <give one of KFold, CVPartition and Holdout; CVPartition and KFold given> vorla_crossval (X, y, "KFold", 3, "CVPartition", ones (100, 1))
%!error <CVPartition must be a cvpartition or a vector of 100 whole fold numbers .= 0; a 1 x 3 double given> vorla_crossval (X, y, "CVPartition", [1 2 3])
%!error <CVPartition holds every pattern out in one test> vorla_crossval (X, y, "CVPartition", ones (100, 1))
%!error <CVPartition must hold out patterns in tests 1 to K, each test at least one pattern; tests \[1 3\] given> vorla_crossval (X, y, "CVPartition", 1 + 2 * (y > 1))
%!error <Holdout must be a share in \(0, 1\); 1 given> vorla_crossval (X, y, "Holdout", 1)
%!error <cannot hold a CVPartition: each fold deals the inner folds> vorla_crossval (X, y, "HyperparameterOptimizationOptions", struct ("CVPartition", y))
%!error <KFold must be at most the number of patterns, 100; 101 given> vorla_crossval (X, y, "KFold", 101)
%!error <KFold must be a whole number .* 1 given> vorla_crossval (X, y, "KFold", 1)
%!error <Vigilance must be a number in \[0, 1\]; 1.5 given> vorla_crossval (X, y, "Vigilance", [0 1.5])
%!error <Seed must be a whole number> vorla_crossval (X, y, "Seed", [1 2])
%!error <X must have one row per pattern: 2 x 100 given for 100 labels; transpose X\?> vorla_crossval (X', y)

%!demo
%! ## vigilance and voters on two interleaved moons
%! rand ("state", 9);  randn ("state", 9);
%! t = pi * rand (300, 1);
%! X = [cos(t), sin(t); 1 - cos(t), 0.5 - sin(t)] + 0.1 * randn (600, 2);
%! y = [ones(300, 1); 2 * ones(300, 1)];
%! vorla_crossval (X, y, "Vigilance", [0 0.5 0.8], "Voters", [1 5], no_search{:})
