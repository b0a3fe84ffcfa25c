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
    out{i}.Classes = zeros (size (tasks{i}.Xv, 1), numel (nets{i}));
    out{i}.Nodes = cellfun (@(net) numel (net.NLabels), nets{i});
  end
  % The held-out patterns of every network of the rung in one call per kind of
  % classification (D, Alpha, ChoiceTest), on threads.
  keys = cellfun (@(task) sprintf ('%.17g ', task.setting.D, task.setting.Alpha, double (task.setting.ChoiceTest)), ...
                  tasks, 'UniformOutput', false);
  [~, ~, kind] = unique (keys);
  for g = 1:max (kind)
    members = find (kind(:)' == g);
    counts = cellfun ('numel', nets(members));
    owner = repelem (members, counts);
    column = cell2mat (arrayfun (@(c) 1:c, counts, 'UniformOutput', false));
    all_nets = [nets{members}];
    s = tasks{members(1)}.setting;
    classes = net_classes (cellfun (@(net) net.Templates, all_nets, 'UniformOutput', false), ...
                           cellfun (@(net) net.NLabels, all_nets, 'UniformOutput', false), ...
                           {s.D, 0, s.Alpha, double(s.ChoiceTest)}, ...
                           cellfun (@(i) tasks{i}.Xv, num2cell (owner), 'UniformOutput', false), 0, tasks{1}.threads);
    for n = 1:numel (classes)
      out{owner(n)}.Classes(:,column(n)) = classes{n};
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
