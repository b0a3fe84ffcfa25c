function out = search_task (task)
% Networks first..last of one setting, trained on the training part of an
% inner fold as vorla_train would train them (network 1 in the given order,
% network v > 1 in the (v-1)th order drawn from the seed, task.orders{v}), and the class each
% gives every pattern of the fold's held-out part (0: not classified).
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:unscaled')];
  restore = onCleanup (@() warning (saved));
  s = task.setting;
  cap = presentation_cap (s);
  args = {s.D, s.Vigilance, s.Alpha, s.LearningRate, cap, 0, double(s.ChoiceTest), 0};
  count = task.last - task.first + 1;
  out.Classes = zeros (size (task.Xv, 1), count);
  out.Nodes = zeros (1, count);
  tolerant = strcmp (s.MatchTracking, 'tolerant');
  if count > 1 && task.threads ~= 1
    % One call for the networks, each on a thread (see fit_network).
    orders = task.orders(task.first:task.last);
    orders(cellfun ('isempty', orders)) = {1:size(task.Xs, 1)};
    [T, L, ~] = vorla_learn (task.Xs, task.index, args{:}, double (tolerant), 0, zeros (0, 0), zeros (0, 1), ...
                          orders, task.threads);
    nets = cellfun (@(t, l) struct ('Templates', t, 'NLabels', l), T, L, 'UniformOutput', false);
  else
    nets = arrayfun (@(v) fit_network (struct ('Xs', task.Xs, 'index', task.index, 'order', task.orders{v}, ...
                                               'args', {args}, 'tolerant', tolerant, 'display', 'off', ...
                                               'name', '', 'heading', '')), ...
                     task.first:task.last, 'UniformOutput', false);
  end
  for j = 1:count
    net = nets{j};
    out.Classes(:,j) = net_classes (net.Templates, net.NLabels, {s.D, 0, s.Alpha, double(s.ChoiceTest)}, ...
                                    task.Xv, 0);
    out.Nodes(j) = numel (net.NLabels);
  end
end
