function cluster_sweep (build, here)
  % One server over the loopback interface runs the parts of a sweep (one
  % vigilance each); together they equal vorla_crossval over the whole grid.
  % With here true the parts run in this process (no cluster on this machine).
  local = nargin > 1 && here;
  if (! local)
    pkg load parallel
    connections = pconnect ({"localhost"}, struct ("use_tls", false));
    closing = onCleanup (@() sclose (connections));
  end
  rand ("state", 3);
  X = rand (300, 2);
  y = 1 + (sum (X, 2) > 1);
  vigilance = {0, 0.5, 0.8};
  % The server's processes start with their own path.
  part = @(v) {addpath(build), vorla_crossval(X, y, "Vigilance", v, "KFold", 5)}{2};
  if (local)
    parts = cellfun (part, vigilance, "UniformOutput", false);
  else
    parts = netcellfun (connections, part, vigilance, "UniformOutput", false);
  end
  remote = [parts{:}];
  whole = vorla_crossval (X, y, "Vigilance", [vigilance{:}], "KFold", 5);
  [remote.Time] = whole.Time;
  ok = isequal (remote, whole);
  printf ("%d passed, %d failed\n", ok, ! ok);
  if (! ok)
    error ("cluster_sweep: the parts differ from the whole grid");
  end
end
