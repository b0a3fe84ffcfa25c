function out = fold_task (task)
% Trains on the other folds and labels fold k. Warnings are gathered by the
% caller, once for all folds.
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:oneclass'), warning('off', 'vorla:train:clipped'), ...
           warning('off', 'vorla:predict:clipped'), warning('off', 'vorla:train:unscaled'), ...
           warning('off', 'vorla:predict:unscaled'), warning('off', 'vorla:predict:category')];
  restore = onCleanup (@() warning (saved));
  started = tic ();
  training = (task.folds ~= task.k);
  % Only the options that the caller gave are passed, so that the training
  % searches the rest as vorla_train would.
  passed = intersect (fieldnames (task.setting), [task.passed(:); {'Seed'}], 'stable');
  args = [passed, cellfun(@(name) task.setting.(name), passed, 'UniformOutput', false)]';
  display = 'off';
  if strcmp (task.display, 'iter')
    show ('%s\n', task.heading);
    display = 'iter';
  end
  model = vorla_train (task.X(training,:), task.index(training), args{:}, 'Trace', task.trace, 'Threads', task.threads, ...
                       'CategoricalPredictors', task.categorical, ...
                       'Display', display, 'OptimizeHyperparameters', task.optimize, ...
                       'HyperparameterOptimizationOptions', task.how);
  [out.Predicted, scores] = vorla_predict (model, task.X(task.folds == task.k,:), 'UnknownLabel', 0, ...
                                          'Scores', 'choice', 'Threads', task.threads);
  % A training part may lack a class: its model scores only the classes it
  % knows, which are class numbers of the whole data.
  out.Scores = zeros (size (scores, 1), max (task.index));
  out.Scores(:, model.ClassNames) = scores;
  out.Voters = model.Voters;
  out.Chosen = struct ([]);
  if isfield (model, 'HyperparameterOptimizationResults')
    out.Chosen = model.HyperparameterOptimizationResults.Best;
  end
  [~, nlabels] = network_list (model);
  out.Nodes = sum (cellfun ('numel', nlabels));
  out.Presentations = sum (model.Presentations);
  out.Stopped = sum (~model.Converged);
  out.Time = toc (started);
end
