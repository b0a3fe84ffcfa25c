function out = fold_task (task)
% Trains on the other folds and labels fold k. Warnings are gathered by the
% caller, once for all folds.
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:oneclass'), ...
           warning('off', 'vorla:predict:clipped')];
  restore = onCleanup (@() warning (saved));
  started = tic ();
  training = (task.folds ~= task.k);
  args = [fieldnames(task.setting), struct2cell(task.setting)]';
  model = vorla_train (task.X(training,:), task.index(training), args{:}, 'Trace', task.trace);
  predicted = vorla_predict (model, task.X(~training,:), 'UnknownLabel', 0);
  out.Predicted = predicted;
  [~, nlabels] = network_list (model);
  out.Nodes = sum (cellfun ('numel', nlabels));
  out.Presentations = sum (model.Presentations);
  out.Stopped = sum (~model.Converged);
  out.Time = toc (started);
end
