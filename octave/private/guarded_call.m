function out = guarded_call (call)
% A task in a worker process: the result of call{1} (call{2}), or the error
% it raised, wrapped in a cell for run_tasks to raise again.
  try
    out = feval (call{1}, call{2});
  catch err
    out = {struct('message', err.message, 'identifier', err.identifier, 'stack', err.stack)};
  end
end
