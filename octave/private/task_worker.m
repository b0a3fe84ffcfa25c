function task_worker (folder, worker)
% A worker process of run_tasks (Octave only): claims the tasks that folder
% holds one at a time and writes each result beside them, until none is left.
% It runs in this private folder, so that the tasks find their functions. A
% signal that ends it needs no saved workspace: the caller ends it at will.
  crash_dumps_octave_core (false);
  sighup_dumps_octave_core (false);
  sigterm_dumps_octave_core (false);
  while true
    [task, name, i] = claim_task (folder, sprintf ('worker%d', worker));
    if isempty (i)
      return;
    end
    result = guarded_call ({name, task});
    save_result (folder, i, result);
  end
end
