function out = run_tasks (name, tasks, parallel, who, done)
% out{i} = name (tasks{i}) for every task, with name a function of this
% private folder; done (i, out), when given, is called as each result comes
% in. Tasks take no state from the process that runs them, so the results do
% not depend on where they ran.
%
% With parallel true the first task runs here and is timed; the rest go to
% worker processes (Octave: processes of its own, below; MATLAB: parfor of the
% Parallel Computing Toolbox) only when, at that pace, sharing them would save
% more than starting the workers costs, and only on idle cores.
  if nargin < 5
    done = [];
  end
  out = cell (size (tasks));
  n = numel (tasks);
  if n == 0
    return;
  end
  workers = 1;
  engine = '';
  if parallel && n > 1
    [engine, workers] = parallel_engine (who);
  end
  started = tic ();
  out{1} = feval (name, tasks{1});
  report (done, 1, out);
  first = toc (started);
  workers = min (workers, n - 1);
  if workers > 1 && first * (n - 1) * (1 - 1 / workers) <= worker_cost (workers)
    workers = 1;
  end
  % The engine is 'octave' only in Octave; the test says so where it is read.
  if workers > 1 && strcmp (engine, 'octave') && exist ('OCTAVE_VERSION', 'builtin')
    out = worker_processes (name, tasks, out, workers, done);
  elseif workers > 1 && strcmp (engine, 'matlab')
    rest = tasks(2:end);
    results = cell (size (rest));
    parfor i = 1:numel (rest)
      results{i} = guarded_call ({name, rest{i}});
    end
    for i = 1:numel (rest)
      raise_failed (results{i});
      out{i+1} = results{i};
      report (done, i + 1, out);
    end
  else
    for i = 2:n
      out{i} = feval (name, tasks{i});
      report (done, i, out);
    end
  end
end

function report (done, i, out)
  if ~isempty (done)
    done (i, out);
  end
end

function seconds = worker_cost (workers)
% Starting a worker process and handing it its first task: an octave-cli
% start takes about 0.1 s, loading the layer's functions and the task more;
% 0.3 s leaves a margin for larger tasks. The tests set VORLA_WORKER_COST to
% 0 to send small tasks to workers.
  each = str2double (getenv ('VORLA_WORKER_COST'));
  if isnan (each)
    each = 0.3;
  end
  seconds = each * (workers - 1);
end

function out = worker_processes (name, tasks, out, workers, done)
% The tasks after the first go into files of a fresh folder; this process
% and workers - 1 others claim them one at a time (task_worker). This
% process waits for the others in pause, where Ctrl-C, SIGTERM and SIGHUP
% reach it; whatever ends the call, the cleanup kills the workers, waits for
% each (no defunct process is left) and removes the folder.
  folder = tempname ();
  mkdir (folder);
  live = containers.Map ('KeyType', 'double', 'ValueType', 'double');
  % Octave stops a cleanup where a signal comes during it, and timeout sends
  % two (one to Octave, one to its group): the second guard ends what the
  % first could not.
  cleanup = onCleanup (@() end_workers (folder, live));
  again = onCleanup (@() end_workers (folder, live));
  for i = 2:numel (tasks)
    task = tasks{i};
    save ('-binary', fullfile (folder, sprintf ('task%d.mat', i)), 'task', 'name');
  end
  here = fileparts (mfilename ('fullpath'));
  binary = fullfile (OCTAVE_HOME (), 'bin', 'octave-cli');
  if ~exist (binary, 'file')
    binary = 'octave-cli';
  end
  for w = 1:workers - 1
    quoted = strrep ({here, fileparts(here), folder}, '''', '''''');
    command = sprintf ('cd (''%s''); addpath (''%s''); task_worker (''%s'', %d);', quoted{:}, w);
    live(w) = system (sprintf ('exec "%s" --no-gui --norc --no-history --quiet --no-window-system --eval "%s" 2> "%s"', ...
                               binary, command, fullfile (folder, sprintf ('worker%d.log', w))), false, 'async');
  end
  pending = true (1, numel (tasks));
  pending(1) = false;
  while any (pending)
    [task, task_name, mine] = claim_task (folder, 'caller');
    if ~isempty (mine)
      out{mine} = feval (task_name, task);
      pending(mine) = false;
      report (done, mine, out);
    end
    for i = find (pending)
      file = fullfile (folder, sprintf ('result%d.mat', i));
      if exist (file, 'file')
        held = load (file);
        raise_failed (held.result);
        out{i} = held.result;
        pending(i) = false;
        report (done, i, out);
      end
    end
    if any (pending) && isempty (mine)
      for w = cell2mat (keys (live))
        if waitpid (live(w), WNOHANG) == live(w)
          remove (live, w);
        end
      end
      if live.Count == 0 && isempty (dir (fullfile (folder, 'task*.mat'))) && ~any_result (folder, pending)
        lost (folder, pending);
      end
      pause (0.01);
    end
  end
end

function found = any_result (folder, pending)
  found = any (arrayfun (@(i) exist (fullfile (folder, sprintf ('result%d.mat', i)), 'file') > 0, find (pending)));
end

function lost (folder, pending)
% Every worker ended, yet some results never came: the workers' logs say why
% (a crash, a killed process, memory).
  text = '';
  logs = dir (fullfile (folder, 'worker*.log'));
  for j = 1:numel (logs)
    text = [text, fileread(fullfile (folder, logs(j).name))];
  end
  error ('vorla:worker', 'a worker process ended without the results of %d tasks: %s', ...
         sum (pending), strtrim (text));
end

function end_workers (folder, live)
% Runs again after an interrupted run: a worker already waited for is out of
% live, and a kill of one that has ended is harmless.
  for w = cell2mat (keys (live))
    pid = live(w);
    [~] = kill (pid, 9);
    waitpid (pid);
    remove (live, w);
  end
  if exist (folder, 'dir')
    confirm_recursive_rmdir (false, 'local');
    rmdir (folder, 's');
  end
end

function raise_failed (result)
% A task's error comes back as a cell holding it (results are never cells).
  if iscell (result)
    rethrow (result{1});
  end
end

function cores = idle_cores ()
% The cores that other processes leave free (Linux's load average counts this
% process too): on a machine that is busy already, workers only queue.
  cores = nproc ();
  fid = fopen ('/proc/loadavg');
  if fid >= 0
    load = fscanf (fid, '%f', 1);
    fclose (fid);
    if ~isempty (load) && ~(isfinite (str2double (getenv ('VORLA_WORKER_COST'))))
      cores = max (1, min (cores, round (cores - load + 1)));
    end
  end
end

function [engine, workers] = parallel_engine (who)
  engine = '';
  workers = 1;
  if exist ('OCTAVE_VERSION', 'builtin')
    engine = 'octave';
    workers = idle_cores ();
    return;
  end
  if ~isempty (ver ('parallel')) && license ('test', 'Distrib_Computing_Toolbox')
    engine = 'matlab';
    pool = gcp ();
    workers = max (pool.NumWorkers, 1);
    return;
  end
  notify (['vorla:' who ':serial'], ...
          'vorla_%s: Parallel is true but the Parallel Computing Toolbox is not there; running in this process', who);
end
