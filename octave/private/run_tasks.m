function out = run_tasks (name, tasks, parallel, who)
% out{i} = name (tasks{i}) for every task, with name a function of this
% private folder, in worker processes when parallel is true and a parallel
% engine is there (Octave's parallel package, MATLAB's Parallel Computing
% Toolbox), otherwise in this process. Tasks take no state from the process
% that runs them, so the results do not depend on where they ran. The
% function goes by name, and the workers start in guarded_call, a file of its
% own: the package's workers call no subfunction of a private file, nor one
% whose handle arrives as data or inside an anonymous function.
  out = cell (size (tasks));
  workers = 1;
  engine = '';
  if parallel && numel (tasks) > 1
    [engine, workers] = parallel_engine (who);
  end
  workers = min (workers, numel (tasks));
  % The engine is 'octave' only in Octave; the test says so where it is read.
  if workers > 1 && strcmp (engine, 'octave') && exist ('OCTAVE_VERSION', 'builtin')
    % A worker's error comes back as a value, so that it reaches the caller with
    % its own message instead of the package's "could not receive result"; task
    % results are never cells, so a cell marks an error.
    calls = cellfun (@(task) {name, task}, tasks, 'UniformOutput', false);
    out = parcellfun (workers, @guarded_call, calls, 'UniformOutput', false, 'VerboseLevel', 0);
    out = reshape (out, size (tasks));
    for i = 1:numel (out)
      if iscell (out{i})
        rethrow (out{i}{1});
      end
    end
  elseif workers > 1 && strcmp (engine, 'matlab')
    parfor i = 1:numel (tasks)
      out{i} = feval (name, tasks{i});
    end
  else
    for i = 1:numel (tasks)
      out{i} = feval (name, tasks{i});
    end
  end
end

function [engine, workers] = parallel_engine (who)
  engine = '';
  workers = 1;
  if exist ('OCTAVE_VERSION', 'builtin')
    if exist ('parcellfun', 'file') ~= 2 && ~isempty (pkg ('list', 'parallel'))
      pkg ('load', 'parallel');
    end
    if exist ('parcellfun', 'file') == 2
      engine = 'octave';
      workers = nproc ();
      return;
    end
    missing = 'Octave''s parallel package (pkg install -forge parallel, or apt-get install octave-parallel)';
  else
    if ~isempty (ver ('parallel')) && license ('test', 'Distrib_Computing_Toolbox')
      engine = 'matlab';
      pool = gcp ();
      workers = max (pool.NumWorkers, 1);
      return;
    end
    missing = 'the Parallel Computing Toolbox';
  end
  warning (['vorla:' who ':serial'], ...
           'vorla_%s: Parallel is true but %s is not there; running in this process', who, missing);
end
