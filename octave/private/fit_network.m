function net = fit_network (task)
% One network of vorla_train on the patterns in the task's order ([] for the
% given order, learned without a copy). The strict rule without progress and
% without nodes to start from is exactly vorla_fit; the rest needs
% vorla_learn. A task that continues a model carries its nodes in
% templates0 and nlabels0.
  if isempty (task.order)
    Xs = task.Xs;
    index = task.index;
  else
    Xs = task.Xs(task.order,:);
    index = task.index(task.order);
  end
  templates0 = zeros (0, 0);
  nlabels0 = zeros (0, 1);
  if isfield (task, 'templates0')
    templates0 = task.templates0;
    nlabels0 = task.nlabels0;
  end
  if ~isempty (task.heading)
    show ('%s\n', task.heading);
  end
  started = tic ();
  % Missing features (NaN) take vorla_learn's rule; vorla_fit refuses them.
  if ~task.tolerant && ~strcmp (task.display, 'iter') && isempty (templates0) && ~any (isnan (Xs(:)))
    [net.Templates, net.NLabels, net.Presentations] = vorla_fit (Xs, index, task.args{:});
  else
    [net.Templates, net.NLabels, net.Presentations] = ...
        vorla_learn (Xs, index, task.args{:}, double (task.tolerant), double (strcmp (task.display, 'iter')), ...
                     templates0, nlabels0);
  end
  if strcmp (task.display, 'final')
    final_line (task.name, net.Presentations, task.args{5}, numel (net.NLabels), toc (started));
  end
end
