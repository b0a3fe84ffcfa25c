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
  if workers > 1
    % Each worker process has a core of its own: its calls keep to one thread, so
    % that processes times threads never exceed the cores (threads change no result).
    tasks = cellfun (@one_thread, tasks, 'UniformOutput', false);
  end
  % The engine is 'octave' only in Octave; the test says so where it is read.
  if workers > 1 && strcmp (engine, 'octave') && exist ('OCTAVE_VERSION', 'builtin')
    out = worker_processes (name, tasks, out, workers, done, who);
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

function task = one_thread (task)
  if isstruct (task) && isfield (task, 'threads')
    task.threads = 1;
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

function out = worker_processes (name, tasks, out, workers, done, who)
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
  start_workers (folder, live, workers);
  pending = true (1, numel (tasks));
  pending(1) = false;
  failed = [];
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
      failed = [failed, ended_workers(folder, live)];
      if live.Count == 0 && isempty (folder_files (folder, '^task\d+\.mat$')) && ~any_result (folder, pending)
        lost (folder, pending);
      end
      pause (0.01);
    end
  end
  failed = [failed, ended_workers(folder, live)];
  if ~isempty (failed)
    not_started (folder, failed, workers - 1, who);
  end
end

function start_workers (folder, live, workers)
% The folders reach each worker through its environment, never through the
% text of a command: the shell command and the worker's code are fixed, so a
% folder's name may hold any character. VORLA_WORKER_OCTAVE names another
% program to run as the worker (the tests give one that cannot start).
  here = fileparts (mfilename ('fullpath'));
  binary = getenv ('VORLA_WORKER_OCTAVE');
  if isempty (binary)
    binary = fullfile (OCTAVE_HOME (), 'bin', 'octave-cli');
    if ~exist (binary, 'file')
      binary = 'octave-cli';
    end
  end
  names = {'VORLA_WORKER_PROGRAM', 'VORLA_WORKER_HOME', 'VORLA_TASK_FOLDER', 'VORLA_WORKER_CODE'};
  saved = cellfun (@getenv, names, 'UniformOutput', false);
  restore = onCleanup (@() restore_environment (names, saved));
  setenv ('VORLA_WORKER_PROGRAM', binary);
  setenv ('VORLA_WORKER_HOME', here);
  setenv ('VORLA_TASK_FOLDER', folder);
  for w = 1:workers - 1
    setenv ('VORLA_WORKER_CODE', sprintf (['addpath (fileparts (getenv (''VORLA_WORKER_HOME''))); ' ...
                                           'task_worker (getenv (''VORLA_TASK_FOLDER''), %d);'], w));
    % The worker starts in the private folder: an Octave started in the
    % folder above it takes these functions for that folder's private ones
    % and looks for them in private/private.
    live(w) = system (sprintf (['exec 2> "$VORLA_TASK_FOLDER/worker%d.log"; cd "$VORLA_WORKER_HOME" && ' ...
                                'exec "$VORLA_WORKER_PROGRAM" --no-gui --norc --no-history --quiet ' ...
                                '--no-window-system --eval "$VORLA_WORKER_CODE"'], w), false, 'async');
  end
end

function restore_environment (names, saved)
  for i = 1:numel (names)
    if isempty (saved{i})
      unsetenv (names{i});
    else
      setenv (names{i}, saved{i});
    end
  end
end

function failed = ended_workers (folder, live)
% Takes the workers that have ended out of live; failed lists those that
% ended in failure before they claimed a task: they never started.
  failed = [];
  for w = cell2mat (keys (live))
    [pid, status] = waitpid (live(w), WNOHANG);
    if pid == live(w)
      remove (live, w);
      ok = WIFEXITED (status) && WEXITSTATUS (status) == 0;
      if ~ok && isempty (folder_files (folder, sprintf ('^claimed\\d+\\.worker%d$', w)))
        failed(end+1) = w;
      end
    end
  end
end

function not_started (folder, failed, total, who)
% Once per call: this process took their tasks, so the results are the
% serial run's; the first worker's log says why it failed.
  file = fullfile (folder, sprintf ('worker%d.log', failed(1)));
  text = '';
  if exist (file, 'file')
    text = strtrim (fileread (file));
  end
  if isempty (text)
    text = 'no message';
  end
  notify (['vorla:' who ':workers'], ...
          ['vorla_%s: Parallel is true but %d of the %d worker processes did not start; their tasks ran ' ...
           'in this process. The first one said: %s'], who, numel (failed), total, text);
end

function found = any_result (folder, pending)
  found = any (arrayfun (@(i) exist (fullfile (folder, sprintf ('result%d.mat', i)), 'file') > 0, find (pending)));
end

function lost (folder, pending)
% Every worker ended, yet some results never came: the workers' logs say why
% (a crash, a killed process, memory).
  text = '';
  logs = folder_files (folder, '^worker\d+\.log$');
  for j = 1:numel (logs)
    text = [text, fileread(fullfile (folder, logs{j}))];
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
