function out = run_tasks (fun, tasks, parallel, who)
% out{i} = fun (tasks{i}) for every task, in worker processes when parallel
% is true and a parallel engine is there (Octave's parallel package,
% MATLAB's Parallel Computing Toolbox), otherwise in this process. Tasks take
% no state from the process that runs them, so the results do not depend on
% where they ran.
  out = cell (size (tasks));
  workers = 1;
  engine = '';
  if parallel && numel (tasks) > 1
    [engine, workers] = parallel_engine (who);
  end
  workers = min (workers, numel (tasks));
  if workers > 1 && strcmp (engine, 'octave')
    out = parcellfun (workers, fun, tasks, 'UniformOutput', false, 'VerboseLevel', 0);
    out = reshape (out, size (tasks));
  elseif workers > 1 && strcmp (engine, 'matlab')
    parfor i = 1:numel (tasks)
      out{i} = fun (tasks{i});
    end
  else
    for i = 1:numel (tasks)
      out{i} = fun (tasks{i});
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
