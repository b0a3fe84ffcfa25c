function net = fit_network (task)
% One network of vorla_train: vorla_fit on the patterns in the task's order
% ([] for the given order, learned without a copy). A task that carries the
% nodes of a model (templates0, nlabels0) continues them through vorla_learn,
% with its match-tracking rule and display in task.learn.
  if isempty (task.order)
    Xs = task.Xs;
    index = task.index;
  else
    Xs = task.Xs(task.order,:);
    index = task.index(task.order);
  end
  if isfield (task, 'templates0')
    [net.Templates, net.NLabels, net.Presentations] = vorla_learn (Xs, index, task.args{:}, task.learn{:}, ...
                                                                  task.templates0, task.nlabels0);
  else
    [net.Templates, net.NLabels, net.Presentations] = vorla_fit (Xs, index, task.args{:});
  end
end
