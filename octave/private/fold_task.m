function out = fold_task (task)
% Trains on the other folds and labels fold k. Warnings are gathered by the
% caller, once for all folds.
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:oneclass'), warning('off', 'vorla:train:clipped'), ...
           warning('off', 'vorla:predict:clipped'), warning('off', 'vorla:train:unscaled'), ...
           warning('off', 'vorla:predict:unscaled')];
  restore = onCleanup (@() warning (saved));
  started = tic ();
  training = (task.folds ~= task.k);
  args = [fieldnames(task.setting), struct2cell(task.setting)]';
  display = 'off';
  if strcmp (task.display, 'iter')
    show ('%s\n', task.heading);
    display = 'iter';
  end
  model = vorla_train (task.X(training,:), task.index(training), args{:}, 'Trace', task.trace, ...
                       'Display', display);
  predicted = vorla_predict (model, task.X(~training,:), 'UnknownLabel', 0);
  out.Predicted = predicted;
  [~, nlabels] = network_list (model);
  out.Nodes = sum (cellfun ('numel', nlabels));
  out.Presentations = sum (model.Presentations);
  out.Stopped = sum (~model.Converged);
  out.Time = toc (started);
end
