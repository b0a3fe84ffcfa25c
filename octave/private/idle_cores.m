function cores = idle_cores ()
% The cores that other processes leave free (Linux's load average counts this
% process too): on a machine that is busy already, more workers or threads
% only queue. VORLA_WORKER_COST set (the tests) leaves the load out.
  cores = core_count ();
  fid = fopen ('/proc/loadavg');
  if fid >= 0
    load = fscanf (fid, '%f', 1);
    fclose (fid);
    if ~isempty (load) && ~(isfinite (str2double (getenv ('VORLA_WORKER_COST'))))
      cores = max (1, min (cores, round (cores - load + 1)));
    end
  end
end
