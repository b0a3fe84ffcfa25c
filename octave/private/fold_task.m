function out = fold_task (task)
% Trains on the other folds and labels fold k. Warnings are gathered by the
% caller, once for all folds. Given a cell of tasks (none with Trace or
% Display 'iter'), it returns the cell of their results, with the networks
% of all folds trained at once by learn_batch: the same results, but for
% Time, where each fold has its share of the batch's time.
  saved = [warning('off', 'vorla:train:conflict'), warning('off', 'vorla:train:cap'), ...
           warning('off', 'vorla:train:oneclass'), warning('off', 'vorla:train:clipped'), ...
           warning('off', 'vorla:predict:clipped'), warning('off', 'vorla:train:unscaled'), ...
           warning('off', 'vorla:predict:unscaled'), warning('off', 'vorla:predict:category')];
  restore = onCleanup (@() warning (saved));
  if iscell (task)
    out = all_folds (task);
    return;
  end
  started = tic ();
  display = 'off';
  if strcmp (task.display, 'iter')
    show ('%s\n', task.heading);
    display = 'iter';
  end
  training = (task.folds ~= task.k);
  args = training_args (task, display);
  model = vorla_train (task.X(training,:), task.index(training), args{:});
  out = fold_result (task, model, toc (started));
end

function args = training_args (task, display)
% Only the options that the caller gave are passed, so that the training
% searches the rest as vorla_train would.
  passed = intersect (fieldnames (task.setting), [task.passed(:); {'Seed'}], 'stable');
  args = [passed, cellfun(@(name) task.setting.(name), passed, 'UniformOutput', false)]';
  args = [args(:)', {'Trace', task.trace, 'Threads', task.threads, 'CategoricalPredictors', task.categorical, ...
                     'Display', display, 'OptimizeHyperparameters', task.optimize, ...
                     'HyperparameterOptimizationOptions', task.how}];
end

function out = all_folds (tasks)
% Plans the tasks fold by fold (the settings of a fold share its training
% part) and trains the voters of the folds planned in one batch once they are
% enough to keep the threads busy, or once the next fold would take their
% parts past stack_limit () bytes; then plans the next folds. A batch then
% holds a few folds' networks, and the peak memory stays near the serial run's.
  out = cell (size (tasks));
  folds = cellfun (@(task) task.k, tasks);
  [~, order] = sort (folds);
  enough = batch_networks (tasks{1}.threads);
  plans = {};
  bytes = 0;
  networks = 0;
  % The voters' orders depend only on the seed, the size of the training part
  % and the voters: tasks that agree in them share one draw (not copied), kept
  % while the draws kept stay within stack_limit () bytes, the latest always.
  keys = {};
  draws = {};
  for n = 1:numel (order)
    i = order(n);
    started = tic ();
    training = (tasks{i}.folds ~= tasks{i}.k);
    plan = struct ('task', i);
    [plan.model, Xs, index, plan.opts] = train_plan (tasks{i}.X(training,:), tasks{i}.index(training), ...
                                                     training_args (tasks{i}, 'off'));
    [drawn, keys, draws] = voter_orders ([plan.opts.Seed, size(Xs, 1), plan.opts.Voters], keys, draws);
    % The settings of one fold scaled alike share its part (one copy, stacked
    % once); each still counts its part's bytes, which bound the networks that a
    % group holds at once.
    same = find (cellfun (@(p) tasks{p.task}.k == tasks{i}.k && isequal (p.job.Xs, Xs), plans), 1);
    if ~isempty (same)
      Xs = plans{same}.job.Xs;
      index = plans{same}.job.index;
    end
    plan.job = voter_job (Xs, index, plan.opts, plan.opts.Seed, drawn);
    plan.job.part = i;
    if ~isempty (same)
      plan.job.part = plans{same}.job.part;
    end
    plan.seconds = toc (started);
    plans{end+1} = plan;
    bytes = bytes + 8 * numel (Xs);
    networks = networks + numel (plan.job.orders);
    % Done with the group at the end of a fold that brought enough networks,
    % or when the next task, as large as this one, would take it past the limit.
    fold_ends = n == numel (order) || folds(order(n+1)) ~= tasks{i}.k;
    if n == numel (order) || (fold_ends && networks >= enough) || bytes + 8 * numel (Xs) > stack_limit ()
      out = finish_folds (tasks, plans, out);
      plans = {};
      bytes = 0;
      networks = 0;
    end
  end
end

function count = batch_networks (threads)
% The networks a batch needs so that threads seldom wait for the last one:
% four a thread (a batch trains the slowest first).
  if threads == 0
    threads = core_count ();
  end
  count = 4 * threads;
end

function [drawn, keys, draws] = voter_orders (key, keys, draws)
% The orders of voters 2 to key(3) on key(2) patterns from seed key(1).
  known = find (cellfun (@(k) isequal (k, key), keys), 1);
  if ~isempty (known)
    drawn = draws{known};
    return;
  end
  drawn = seeded_permutations (key(1), repmat (key(2), 1, key(3) - 1));
  if 8 * (sum (cellfun (@(k) k(2) * (k(3) - 1), keys)) + key(2) * (key(3) - 1)) > stack_limit ()
    keys = {};
    draws = {};
  end
  keys{end+1} = key;
  draws{end+1} = drawn;
end

function out = finish_folds (tasks, plans, out)
% The planned folds' voters in one batch, and each fold's result.
  started = tic ();
  nets = learn_batch (cellfun (@(plan) plan.job, plans, 'UniformOutput', false), tasks{1}.threads);
  share = toc (started) / numel (plans);
  for p = 1:numel (plans)
    started = tic ();
    plan = plans{p};
    model = record_call (plan.model, nets{p}, plan.opts, size (plan.job.Xs, 1), plan.opts.Seed);
    out{plan.task} = fold_result (tasks{plan.task}, model, plan.seconds + share + toc (started));
  end
end

function out = fold_result (task, model, seconds)
% The labels and scores of fold k under the model of the other folds, and what the fold cost.
  started = tic ();
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
  out.Time = seconds + toc (started);
end
