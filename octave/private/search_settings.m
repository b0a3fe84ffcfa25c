function [opts, results] = search_settings (who, X, index, opts, search)
% Chooses the options named in search.Names on stratified inner folds of the
% training data alone, and returns opts with the chosen values and the table
% of what was tried.
%
% The settings of every option but Voters form a grid; each is scored by the
% share of the held-out patterns of all inner folds that its networks label
% right. Voters cost no search of their own: the first v networks of a
% setting are exactly the networks of Voters v (the same orders from the
% same seed), so one group of networks scores every count up to the largest.
% Settings are pruned by successive halving on that count: every setting
% trains three networks (or each count of Voters below three), the better
% half go on to the next count, the better half of those to the next, up to
% the largest; a setting that trails at few voters seldom leads at many, and
% the few that go on pay for most of the networks. The choice is made among the counts that Voters may take (the
% given one, when Voters is not searched); ties go to the smaller model
% (fewer nodes in all), then to the earlier setting.
  started = tic ();
  names = search.Names;
  space = search.Space;
  grid_names = setdiff (names, {'Voters'}, 'stable');
  counts = opts.Voters;
  if any (strcmp (names, 'Voters'))
    counts = unique (space.Voters);
  end
  settings = setting_grid (opts, grid_names, space);
  if numel (settings) > search.MaxEvaluations
    keep = seeded_permutations (search.Seed, numel (settings));
    settings = settings(sort (keep{1}(1:search.MaxEvaluations)));
  end
  rungs = counts;
  if numel (settings) > 1
    rungs = unique ([3, counts]);
    rungs = rungs(rungs <= max (counts));
  end

  folds = search.Folds;
  if isempty (folds)
    folds = stratified_folds (index, search.KFold, search.Seed);
  end
  K = max (folds);
  held_out = folds > 0;
  % The voters' orders of each inner fold, drawn once for every setting.
  parts = arrayfun (@(k) inner_part (X, index, folds, k, opts, search.Seed, max (rungs)), 1:K, ...
                    'UniformOutput', false);

  S = numel (settings);
  classes = repmat ({zeros(numel (index), 0)}, 1, S);
  nodes = repmat ({zeros(K, 0)}, 1, S);
  alive = 1:S;
  trials = struct ('Setting', {}, 'Voters', {}, 'Accuracy', {}, 'Nodes', {});
  done = 0;
  % Whatever keeps worker processes from starting is said once, by the
  % training of the final model, which asks for them in the same way.
  quiet = [warning('off', ['vorla:' who ':workers']), warning('off', ['vorla:' who ':serial'])];
  restore = onCleanup (@() warning (quiet));
  for r = 1:numel (rungs)
    first = done + 1;
    done = rungs(r);
    [t, s] = ndgrid (1:K, alive);
    tasks = arrayfun (@(i) setfield (parts{t(i)}, 'setting', settings{s(i)}), 1:numel (s), 'UniformOutput', false);
    tasks = cellfun (@(task) setfield (setfield (task, 'first', first), 'last', done), tasks, 'UniformOutput', false);
    if opts.Parallel
      out = run_tasks ('search_task', tasks, opts.Parallel, who);
    else
      out = search_task (tasks);
    end
    for i = 1:numel (out)
      held = folds == t(i);
      j = s(i);
      if size (classes{j}, 2) < done
        classes{j}(:, end+1:done) = 0;
        nodes{j}(:, end+1:done) = 0;
      end
      classes{j}(held, first:done) = out{i}.Classes;
      nodes{j}(t(i), first:done) = out{i}.Nodes;
    end
    score = zeros (size (alive));
    for a = 1:numel (alive)
      j = alive(a);
      for v = unique ([counts(counts >= first & counts <= done), done])
        accuracy = mean (vote (classes{j}(held_out, 1:v), max (index)) == index(held_out));
        trials(end+1) = struct ('Setting', settings{j}, 'Voters', v, 'Accuracy', accuracy, ...
                                'Nodes', mean (sum (nodes{j}(:, 1:v), 2)));
        report (search.Display, trials(end), names);
      end
      score(a) = trials(end).Accuracy;
    end
    if r < numel (rungs)
      % The better half by the accuracy at this count; a stable sort keeps
      % the earlier of tied settings.
      [~, order] = sort (-score);
      alive = sort (alive(order(1:ceil (numel (alive) / 2))));
    end
  end

  clear restore;
  candidate = ismember ([trials.Voters], counts);
  accuracy = [trials.Accuracy];
  accuracy(~candidate) = -Inf;
  size_of = [trials.Nodes];
  best = find (accuracy == max (accuracy));
  [~, smallest] = min (size_of(best));
  chosen = trials(best(smallest));
  for i = 1:numel (grid_names)
    opts.(grid_names{i}) = chosen.Setting.(grid_names{i});
  end
  opts.Voters = chosen.Voters;

  rows = cell (size (trials));
  for i = 1:numel (trials)
    row = struct ();
    for n = 1:numel (names)
      if strcmp (names{n}, 'Voters')
        row.Voters = trials(i).Voters;
      else
        row.(names{n}) = trials(i).Setting.(names{n});
      end
    end
    % The count of every row, searched or not: the rows of a count that Voters
    % cannot take are those of the halving.
    row.Voters = trials(i).Voters;
    row.Accuracy = trials(i).Accuracy;
    row.Nodes = trials(i).Nodes;
    rows{i} = row;
  end
  table = [rows{:}];
  best_row = table(best(smallest));
  best_values = rmfield (best_row, setdiff ({'Voters', 'Accuracy', 'Nodes'}, names));
  results = struct ('Optimized', {names}, 'KFold', K, 'Seed', search.Seed, 'Best', best_values, ...
                    'BestAccuracy', best_row.Accuracy, 'Trials', table(:));
  if ~strcmp (search.Display, 'off')
    show ('vorla_%s: chose %s (inner %d-fold accuracy %.2f%%) of %d settings tried, %.2f s\n', who, ...
          setting_text (results.Best, names), K, 100 * best_row.Accuracy, numel (trials), toc (started));
  end
end

function part = inner_part (X, index, folds, k, opts, seed, V)
% The training part of inner fold k, scaled by its own range as vorla_train
% would scale it, its held-out part in the same units, and the orders in
% which networks 2 to V learn it.
  training = folds ~= k;
  part.k = k;
  part.orders = [{[]}, seeded_permutations(seed, repmat (sum (training), 1, V - 1))];
  part.threads = opts.Threads;
  [part.Xs, range] = apply_scale (X(training,:), opts.Scale, opts.Coding);
  part.index = index(training);
  part.Xv = code_patterns (X(~training,:), range, opts.Coding);
end

function settings = setting_grid (opts, names, space)
% Every combination of the values of the named options, the first changing
% fastest; the other options keep their values.
  base = struct ('D', opts.D, 'Vigilance', opts.Vigilance, 'Alpha', opts.Alpha, ...
                 'LearningRate', opts.LearningRate, 'MaxPresentations', opts.MaxPresentations, ...
                 'ChoiceTest', opts.ChoiceTest, 'MatchTracking', opts.MatchTracking);
  values = cellfun (@(name) space.(name), names, 'UniformOutput', false);
  values = cellfun (@as_cells, values, 'UniformOutput', false);
  sizes = [cellfun('numel', values), 1];
  settings = cell (1, prod (sizes));
  pick = cell (1, numel (sizes));
  for j = 1:numel (settings)
    [pick{:}] = ind2sub (sizes, j);
    s = base;
    for i = 1:numel (names)
      s.(names{i}) = values{i}{pick{i}};
    end
    settings{j} = s;
  end
end

function c = as_cells (v)
  if iscell (v)
    c = v(:)';
  else
    c = num2cell (v(:)');
  end
end

function index = vote (classes, C)
% vorla_predict's vote: the most votes, of tied classes the first; a pattern
% that no network classifies gets 0.
  N = size (classes, 1);
  votes = zeros (N, max (C, 1));
  for v = 1:size (classes, 2)
    voted = find (classes(:,v) > 0);
    votes = votes + full (sparse (voted, classes(voted,v), 1, N, max (C, 1)));
  end
  [most, index] = max (votes, [], 2);
  index(most == 0) = 0;
end

function report (display, trial, names)
  if strcmp (display, 'iter')
    row = trial.Setting;
    row.Voters = trial.Voters;
    show ('  %s: inner accuracy %.2f%%, %.1f nodes\n', setting_text (row, names), 100 * trial.Accuracy, trial.Nodes);
  end
end

function text = setting_text (row, names)
  cells = cell (size (names));
  for i = 1:numel (names)
    value = row.(names{i});
    if ischar (value)
      cells{i} = sprintf ('%s %s', names{i}, value);
    else
      cells{i} = sprintf ('%s %g', names{i}, value);
    end
  end
  text = strjoin (cells, ', ');
end
