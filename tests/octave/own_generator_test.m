function own_generator_test ()
  % The layer draws its random orders, folds and the demo's points from its own generator: with
  % the host's generator made to fail (rand, randn, randi, randperm and rng that raise
  % errors, first on the path) voters and cross-validation give the models and folds
  % they gave before; the caller's random state is left as it was; and the streams are
  % pinned, so that they cannot change between versions or hosts unnoticed.
  r = [];
  X = [mod((1:60)' * [0.618034 0.414214 0.732051], 1); 0.5 0.5 0.5];
  y = 1 + (X(:,1) + 0.3 * X(:,2) > 0.65);
  labels = {"low"; "high"}(y);
  warning ("off", "vorla:train:cap", "local");
  train = @() vorla_train (X, labels, "Voters", 4, "Seed", 7, "MaxPresentations", 50);
  crossval = @() vorla_crossval (X, y, "KFold", 5, "Seed", 3, "Voters", [1 3], "Vigilance", [0 0.5]);
  rand ("twister", 99);
  randn ("state", 99);
  before = {rand("twister"), randn("state")};
  model = train ();
  [result, folds] = crossval ();
  demo = demo_rows ();
  r(end+1) = check_case ("the caller's random state is kept", isequal (before, {rand("twister"), randn("state")}));

  blocked = tempname ();
  mkdir (blocked);
  names = {"rand", "randn", "randi", "randperm", "rng"};
  for i = 1:numel (names)
    fid = fopen (fullfile (blocked, [names{i} ".m"]), "w");
    fprintf (fid, "function varargout = %s (varargin)\n  error ('blocked:%s', '%s must not be called');\nend\n", ...
             names{i}, names{i}, names{i});
    fclose (fid);
  end
  warning ("off", "Octave:shadowed-function", "local");
  addpath (blocked);
  unwind_protect
    try
      rand (1);
      blocked_ok = false;
    catch err
      blocked_ok = strcmp (err.identifier, "blocked:rand");
    end
    r(end+1) = check_case ("the host's generator is blocked", blocked_ok);
    again = train ();
    [result2, folds2] = crossval ();
    [result2.Time] = result.Time;
    r(end+1) = check_case ("voters without the host's generator", isequal (again, model));
    r(end+1) = check_case ("cross-validation without the host's generator", ...
                           isequaln (result2, result) && isequal (folds2, folds));
    r(end+1) = check_case ("the demo's points without the host's generator", isequal (demo_rows (), demo));
  unwind_protect_cleanup
    rmpath (blocked);
    confirm_recursive_rmdir (false, "local");
    rmdir (blocked, "s");
  end_unwind_protect

  % Pinned (the orders of a seed are pinned in vorla_train's own tests).
  expected_folds = [3 1 2 1 3 3 3 4 1 5 3 4 2 1 5 5 3 3 5 5 2 5 2 4 1 5 3 1 2 5 ...
                    1 1 4 2 5 4 4 3 4 4 3 4 5 3 1 2 4 2 2 2 1 1 1 4 2 5 4 3 2 1 5]';
  r(end+1) = check_case ("the folds of a seed are pinned", isequal (folds, expected_folds));
  % The first numbers of two seeds, in the private folder beside vorla_train (a private
  % function runs from its own folder).
  here = pwd ();
  unwind_protect
    cd (fullfile (fileparts (which ("vorla_train")), "private"));
    first = [seeded_uniform(0, 1, 3); seeded_uniform(2^32 - 1, 1, 3)];
  unwind_protect_cleanup
    cd (here);
  end_unwind_protect
  pinned = [0.85329534464054946 0.75810443863220389 0.29541694983394851
            0.15154363488834768 0.51496121835508546 0.94243723205624363];
  r(end+1) = check_case ("the first numbers of a seed are pinned", isequal (first, pinned));
  if any (! r)
    error ("own_generator_test: %d of %d cases failed", sum (! r), numel (r));
  end
  printf ("own_generator_test: %d cases passed\n", numel (r));
end

function rows = demo_rows ()
  % The demo's table without its times (no folder: no pictures are written).
  results = [];
  evalc ("results = vorla_demo ();");
  rows = rmfield (results.circle, "seconds");
end
