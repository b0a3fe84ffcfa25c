function out = search_task (task)
% Networks first..last of one setting, trained on the training part of an
% inner fold as vorla_train would train them (network 1 in the given order,
% network v > 1 in the (v-1)th order drawn from the seed, task.orders{v}), and the class each
% gives every pattern of the fold's held-out part (0: not classified).
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:unscaled')];
  restore = onCleanup (@() warning (saved));
  s = task.setting;
  cap = s.MaxPresentations;
  if isinf (cap)
    cap = safety_cap ();
  end
  args = {s.D, s.Vigilance, s.Alpha, s.LearningRate, cap, 0, double(s.ChoiceTest), 0};
  count = task.last - task.first + 1;
  out.Classes = zeros (size (task.Xv, 1), count);
  out.Nodes = zeros (1, count);
  for v = task.first:task.last
    net = fit_network (struct ('Xs', task.Xs, 'index', task.index, 'order', task.orders{v}, 'args', {args}, ...
                               'tolerant', strcmp (s.MatchTracking, 'tolerant'), 'display', 'off', ...
                               'name', '', 'heading', ''));
    j = v - task.first + 1;
    out.Classes(:,j) = net_classes (net.Templates, net.NLabels, {s.D, 0, s.Alpha, double(s.ChoiceTest)}, ...
                                    task.Xv, 0);
    out.Nodes(j) = numel (net.NLabels);
  end
end
