function worker_folder_check ()
  % Run by worker_folder_test.sh in a fresh Octave whose path holds only a copy of the
  % build, in the folder that VORLA_TEST_COPY names, with TMPDIR and that folder named
  % with characters a shell or Octave would read. Workers must start there, run tasks
  % with the copy's MEX files, give the serial results and leave no task folder; a
  % worker program that cannot start is said once and its tasks run here.
  r = [];
  copy = getenv ("VORLA_TEST_COPY");
  addpath (copy);
  setenv ("VORLA_WORKER_COST", "0");
  r(end+1) = check_case ("the functions come from the copy", strcmp (fileparts (which ("vorla_eval")), copy));

  % Each task says which process ran it and where its MEX file came from; a second
  % of sleep each leaves a worker time to start and take some.
  task = ["sprintf ('%d %s', getpid () + 0 * system ('sleep 0.5') + ", ...
          "0 * numel (vorla_eval (zeros (1, 2), 1, 1, 0, 0.001, 0, 0.5, 0, 0)), which ('vorla_eval'))"];
  lastwarn ("");
  ran = vorla_test_run_tasks ("eval", repmat ({task}, 1, 6), true, "train");
  [msg, id] = lastwarn ();
  [pids, where] = strtok (ran);
  r(end+1) = check_case ("a worker took tasks", any (str2double (pids) != getpid ()), strjoin (ran, "; "));
  r(end+1) = check_case ("the workers' MEX files come from the copy", ...
                         all (strcmp (strtrim (where), which ("vorla_eval"))), strjoin (ran, "; "));
  r(end+1) = check_case ("no warning", isempty (id), msg);

  rand ("seed", 1);
  X = rand (300, 2);
  y = 1 + (sum (X, 2) > 1);
  serial = vorla_train (X, y, "Voters", 4);
  r(end+1) = check_case ("voters in workers give the serial model", ...
                         isequal (serial, vorla_train (X, y, "Voters", 4, "Parallel", true)));
  r(end+1) = check_case ("no task folder left", numel (readdir (tempdir ())) == 2, ...
                         strjoin (readdir (tempdir ()), " "));

  % A worker program that is not there: one warning for the call, the shell's message
  % in it, and every task run here.
  setenv ("VORLA_WORKER_OCTAVE", fullfile (copy, "no octave-cli"));
  lastwarn ("");
  text = evalc ("ran = vorla_test_run_tasks ('eval', repmat ({task}, 1, 4), true, 'train');");
  unsetenv ("VORLA_WORKER_OCTAVE");
  [msg, id] = lastwarn ();
  r(end+1) = check_case ("a worker that cannot start is said once", ...
                         strcmp (id, "vorla:train:workers") && numel (strfind (text, "warning: vorla_")) == 1 ...
                         && ! isempty (strfind (msg, "1 of the 1 worker processes did not start")) ...
                         && ! isempty (strfind (msg, "not found")), msg);
  r(end+1) = check_case ("its tasks ran in this process", all (str2double (strtok (ran)) == getpid ()), ...
                         strjoin (ran, "; "));

  printf ("%d passed, %d failed\n", sum (r), sum (! r));
  if (! all (r))
    error ("worker_folder_check: %d failed", sum (! r));
  end
end
