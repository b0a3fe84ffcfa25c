function net = fit_network (task)
% One network of vorla_train: vorla_fit on the patterns in the task's order
% ([] for the given order, learned without a copy).
  if isempty (task.order)
    [net.Templates, net.NLabels, net.Presentations] = vorla_fit (task.Xs, task.index, task.args{:});
  else
    [net.Templates, net.NLabels, net.Presentations] = vorla_fit (task.Xs(task.order,:), task.index(task.order), ...
                                                                task.args{:});
  end
end
