function out = search_task (task)
% Networks first..last of one setting, trained on the training part of an
% inner fold as vorla_train would train them (network 1 in the given order,
% network v > 1 in the (v-1)th order drawn from the seed, task.orders{v}), and the class each
% gives every pattern of the fold's held-out part (0: not classified). Given a
% cell of tasks (a rung of the search), the cell of their results, the networks
% of all tasks trained at once by learn_batch (the tasks of one inner fold
% share its training part): a batch of many networks keeps every core busy
% where one task's few would not.
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:unscaled')];
  restore = onCleanup (@() warning (saved));
  tasks = task;
  if ~iscell (task)
    tasks = {task};
  end
  nets = learn_batch (cellfun (@task_job, tasks, 'UniformOutput', false), tasks{1}.threads);
  out = cell (size (tasks));
  for i = 1:numel (tasks)
    s = tasks{i}.setting;
    count = numel (nets{i});
    out{i}.Classes = zeros (size (tasks{i}.Xv, 1), count);
    out{i}.Nodes = zeros (1, count);
    for j = 1:count
      net = nets{i}{j};
      out{i}.Classes(:,j) = net_classes (net.Templates, net.NLabels, {s.D, 0, s.Alpha, double(s.ChoiceTest)}, ...
                                         tasks{i}.Xv, 0);
      out{i}.Nodes(j) = numel (net.NLabels);
    end
  end
  if ~iscell (task)
    out = out{1};
  end
end

function job = task_job (task)
  s = task.setting;
  orders = task.orders(task.first:task.last);
  orders(cellfun ('isempty', orders)) = {1:size(task.Xs, 1)};
  job = struct ('Xs', task.Xs, 'index', task.index, 'part', task.k, 'orders', {orders}, ...
                'vigilance', repmat (s.Vigilance, 1, numel (orders)), ...
                'args', {{s.D, s.Alpha, s.LearningRate, presentation_cap(s), 0, double(s.ChoiceTest), ...
                          strcmp(s.MatchTracking, 'tolerant')}});
end
