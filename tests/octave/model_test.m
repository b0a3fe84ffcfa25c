function model_test ()
  % vorla_train, vorla_predict and vorla_crossval: worker processes give the serial
  % results, models survive save and load in every format, the serial fallback,
  % and every error and warning identifier of the layer.
  r = [];
  rand ("state", 21);
  randn ("state", 21);
  X = [randn(300, 3); randn(300, 3) + 1.5];
  y = [ones(300, 1); 2 * ones(300, 1)];
  Q = [randn(400, 3) + 0.75; NaN 0 0];
  warning ("off", "vorla:predict:clipped");
  warning ("off", "vorla:predict:missing");
  % Small tasks go to worker processes too, so that the workers' path is tested.
  setenv ("VORLA_WORKER_COST", "0");
  restore = onCleanup (@() unsetenv ("VORLA_WORKER_COST"));

  warning ("off", "vorla:train:cap", "local");
  serial = vorla_train (X, y, "Voters", 5, "Seed", 4, "LearningRate", 0.7, "MaxPresentations", 30);
  parallel = vorla_train (X, y, "Voters", 5, "Seed", 4, "LearningRate", 0.7, "MaxPresentations", 30, "Parallel", true);
  warning ("off", "vorla:train:clipped", "local");
  r(end+1) = check_case ("continued voters in worker processes", ...
                         isequal (vorla_train (serial, Q(1:400,:), y(1:400)), ...
                                  vorla_train (parallel, Q(1:400,:), y(1:400), "Parallel", true)));
  warning ("on", "vorla:train:cap", "local");
  r(end+1) = check_case ("voters in worker processes", isequal (serial, parallel));
  [a, sa] = vorla_predict (serial, Q, "Vigilance", 0.3);
  [b, sb] = vorla_predict (serial, Q, "Vigilance", 0.3, "Parallel", true);
  r(end+1) = check_case ("prediction in pieces in worker processes", isequaln ({a, sa}, {b, sb}));
  grid = {"KFold", 4, "Vigilance", [0 0.6], "Voters", [1 3], "ChoiceTest", [false true]};
  [one, f1] = vorla_crossval (X, y, grid{:});
  [two, f2] = vorla_crossval (X, y, grid{:}, "Parallel", true);
  [two.Time] = one.Time;
  r(end+1) = check_case ("cross-validation grid in worker processes", isequaln (one, two) && isequal (f1, f2));

  % A broken model is refused before any worker starts, the same way in both runs.
  broken = serial;
  broken.Templates{2}(1) = NaN;
  messages = cell (1, 2);
  for parallel = [false true]
    try
      vorla_predict (broken, Q, "Parallel", parallel);
    catch err
      messages{parallel + 1} = [err.identifier " " err.message];
    end
  end
  r(end+1) = check_case ("a broken model is named before the workers start", ...
                         strcmp (messages{1}, messages{2}) && ! isempty (strfind (messages{1}, ...
                         "vorla:predict:model vorla_predict: model.Templates{2} must be finite; 1 NaN or Inf values given")), ...
                         sprintf ("%s | %s", messages{:}));

  % Worker processes end with the call: none is left running or defunct.
  [~, children] = system (sprintf ("ps -o stat=,args= --ppid %d", getpid ()));
  left = regexp (children, "[^\n]*(task_worker|defunct)[^\n]*", "match");
  r(end+1) = check_case ("no worker process left after the calls", isempty (left), strjoin (left, "; "));

  % Every label kind survives save and load, in MATLAB's and Octave's own formats and
  % the default one (char labels of one character and of several rows included), in a
  % continued model (with its history of calls) that goes on the same after loading.
  kinds = {y, single(y) / 4, int8(y), y == 2, {"ant"; "bee"}(y), ["ant "; "bees"](y,:), ["a"; "b"](y), ...
           {"a"; "b"}(y), uint64(y)+uint64(intmax("uint32"))};
  formats = {"-v7", "-text", "-binary", "-v6", ""};
  for i = 1:numel (kinds)
    model = vorla_train (X(1:500,:), kinds{i}(1:500,:), "Voters", 1 + mod (i, 2) * 2);
    model = vorla_train (model, X(501:end,:), kinds{i}(501:end,:));
    further = vorla_train (model, X(1:50,:), kinds{i}(1:50,:));
    expected = vorla_predict (model, Q, "UnknownLabel", unknown_for (kinds{i}));
    % Logical labels have no missing value: the unclassified row makes them double.
    same_kind = strcmp (class (expected), class (kinds{i})) || islogical (kinds{i});
    for j = 1:numel (formats)
      try
        loaded = saved_model (model, formats{j});
        got = vorla_predict (loaded, Q, "UnknownLabel", unknown_for (kinds{i}));
        ok = isequal (loaded, model) && isequaln (got, expected) && same_kind ...
             && isequal (vorla_train (loaded, X(1:50,:), kinds{i}(1:50,:)), further);
        detail = "";
      catch err
        ok = false;
        detail = err.message;
      end
      r(end+1) = check_case (sprintf ("%s labels (%s) through save %s", class (kinds{i}), ...
                                      mat2str (size (kinds{i})), formats{j}), ok, detail);
    end
  end
  % A model written when char labels kept their classes as char rows.
  model = vorla_train (X, ["ant "; "bees"](y,:));
  old = model;
  old.ClassNames = char (model.ClassNames);
  r(end+1) = check_case ("an older model with char rows of classes predicts as before", ...
                         isequaln (vorla_predict (old, Q), vorla_predict (model, Q)) ...
                         && isequal (vorla_predict (old, Q, "UnknownLabel", "none"), ...
                                     vorla_predict (model, Q, "UnknownLabel", "none")));

  % Every error identifier, with the message the user sees.
  model = vorla_train (X, y, "OptimizeHyperparameters", "none", "Voters", 1);
  cases = {
    "vorla:train:shape",        @() vorla_train (X', y),                "X must have one row per pattern: 3 x 600 given for 600 labels; transpose X?"
    "vorla:train:shape",        @() vorla_train (X(1:5,:), y),          "X must have one row per pattern: 5 x 3 given for 600 labels"
    "vorla:train:X",            @() vorla_train ("abc", 1:3),           "X must be a real numeric or logical matrix"
    "vorla:train:X",            @() vorla_train ([1; NaN], [1; 2], "MissingValues", "error"), "X holds 1 NaN values"
    "vorla:train:X",            @() vorla_train ([1; Inf], [1; 2]),     "X holds 1 Inf values; training needs a finite value for every feature of every pattern"
    "vorla:crossval:X",         @() vorla_crossval ([X; 1 -Inf 0], [y; 1]), "X holds 1 Inf values; training needs a finite value for every"
    "vorla:predict:X",          @() vorla_predict (model, [1 Inf 0]),   "X holds 1 Inf values; features must be finite (NaN marks a missing value)"
    "vorla:train:labels",       @() vorla_train (X, num2cell (y)),      "labels must be a numeric or logical vector, a cellstr or char rows; a 600 x 1 cell given"
    "vorla:train:labels",       @() vorla_train ([1; 2], {"a"; ""}),    "labels hold 1 empty texts"
    "vorla:train:options",      @() vorla_train (X, y, "Vigilance"),    "options must come in Name, Value pairs"
    "vorla:train:options",      @() vorla_train (X, y, "Speed", 2),     "is not a valid parameter"
    "vorla:train:options",      @() vorla_train (X, y, "Alpha", 0.1, 3, 2), "option names must be text; option 2 is named by 3"
    "vorla:train:Vigilance",    @() vorla_train (X, y, "Vigilance", -1), "Vigilance must be a number in [0, 1]; -1 given"
    "vorla:train:Alpha",        @() vorla_train (X, y, "Alpha", Inf),    "Alpha must be a finite number >= 0; Inf given"
    "vorla:train:LearningRate", @() vorla_train (X, y, "LearningRate", 0), "LearningRate must be a number in (0, 1]; 0 given"
    "vorla:train:MaxPresentations", @() vorla_train (X, y, "MaxPresentations", 2.5), "MaxPresentations must be a whole number in [1, 2^31 - 1]"
    "vorla:train:Trim",         @() vorla_train (X, y, "Trim", 2),      "Trim must be true or false (or 1 or 0); 2 given"
    "vorla:train:ChoiceTest",   @() vorla_train (X, y, "ChoiceTest", "yes"), "ChoiceTest must be true or false (or 1 or 0); 'yes' given"
    "vorla:train:Scale",        @() vorla_train (X, y, "Scale", [0 0 0; 1 1 -1]), "Scale must be 'auto', 'none', 'robust' or a 2 x 3 range"
    "vorla:train:D",            @() vorla_train (X, y, "D", 0),         "D must be a finite number > 0"
    "vorla:train:Voters",       @() vorla_train (X, y, "Voters", 0),    "Voters must be a whole number in [1, 10000]; 0 given"
    "vorla:train:Seed",         @() vorla_train (X, y, "Seed", -1),     "Seed must be a whole number in [0, 2^32)"
    "vorla:train:Trace",        @() vorla_train (X, y, "Trace", 5),     "Trace must be one of 0, 1, 2, 3, 4; 5 given"
    "vorla:train:Parallel",     @() vorla_train (X, y, "Parallel", [1 1]), "Parallel must be true or false (or 1 or 0); a 1 x 2 double given"
    "vorla:train:Threads",      @() vorla_train (X, y, "Threads", 1.5),  "Threads must be a whole number in [0, 1024] (0: every usable core); 1.5 given"
    "vorla:train:Threads",      @() vorla_train (X, y, "Threads", -1),   "Threads must be a whole number in [0, 1024]"
    "vorla:train:MatchTracking", @() vorla_train (X, y, "MatchTracking", 1), "MatchTracking must be 'strict' or 'tolerant'; 1 given"
    "vorla:train:Display",      @() vorla_train (X, y, "Display", "on"), "Display must be 'off', 'iter' or 'final'; 'on' given"
    "vorla:predict:model",      @() vorla_predict (struct (), X),       "model lacks the fields"
    "vorla:predict:model",      @() vorla_predict (setfield (model, "Format", "x"), X), "model.Format must be 'vorla model 1'"
    "vorla:predict:features",   @() vorla_predict (model, X(:,1:2)),    "model has 3 features but X has 2 columns"
    "vorla:predict:X",          @() vorla_predict (model, {1, 2, 3}),   "X must be a real numeric or logical matrix"
    "vorla:predict:options",    @() vorla_predict (model, X, "Voters", 3), "is not a valid parameter"
    "vorla:predict:Vigilance",  @() vorla_predict (model, X, "Vigilance", 2), "Vigilance must be a number in [0, 1]; 2 given"
    "vorla:predict:UnknownLabel", @() vorla_predict (model, X, "UnknownLabel", 1), "UnknownLabel 1 is a class of the model"
    "vorla:predict:UnknownLabel", @() vorla_predict (model, X, "UnknownLabel", "?"), "UnknownLabel must be a scalar that double holds exactly"
    "vorla:predict:Trace",      @() vorla_predict (model, X, "Trace", 4), "Trace must be one of 0, 1, 2, 3"
    "vorla:predict:Parallel",   @() vorla_predict (model, X, "Parallel", 3), "Parallel must be true or false"
    "vorla:predict:Threads",    @() vorla_predict (model, X, "Threads", 1.5), "Threads must be a whole number in [0, 1024] (0: every usable core); 1.5 given"
    "vorla:crossval:KFold",     @() vorla_crossval (X, y, "KFold", 601), "KFold must be at most the number of patterns, 600; 601 given"
    "vorla:crossval:KFold",     @() vorla_crossval (X, y, "KFold", 1.5), "KFold must be a whole number >= 2"
    "vorla:crossval:Voters",    @() vorla_crossval (X, y, "Voters", [1 0]), "Voters must be a whole number in [1, 10000]; 0 given"
    "vorla:crossval:Seed",      @() vorla_crossval (X, y, "Seed", [1 2]), "Seed must be a whole number"
    "vorla:crossval:Threads",   @() vorla_crossval (X, y, "Threads", 2000), "Threads must be a whole number in [0, 1024] (0: every usable core); 2000 given"
    "vorla:crossval:shape",     @() vorla_crossval (X, y(1:10)),        "X must have one row per pattern"
    "vorla:crossval:labels",    @() vorla_crossval (X, NaN (600, 1)),   "labels hold 600 NaN values"
    "vorla:crossval:options",   @() vorla_crossval (X, y, "Folds", 3),  "is not a valid parameter"
    "vorla:crossval:MatchTracking", @() vorla_crossval (X, y, "MatchTracking", {"strict", "MT-"}), "MatchTracking must be 'strict' or 'tolerant'; 'MT-' given"
    "vorla:crossval:Display",   @() vorla_crossval (X, y, "Display", {"off", "iter"}), "Display must be 'off', 'iter' or 'final'; a 1 x 2 cell given"
    "vorla:plot_boxes:features", @() vorla_plot_boxes (model),          "the model must have 2 features; it has 3"
    "vorla:train:arguments",    @() vorla_train (X),                    "expected (X, labels, Name, Value, ...) or (model, X, labels, Name, Value, ...); 1 arguments given"
    "vorla:train:X",            @() vorla_train (zeros (0, 3), []),     "X is 0 x 3; training needs at least one pattern"
    "vorla:train:X",            @() vorla_train (zeros (5, 0), 1:5),    "X is 5 x 0; training needs at least one pattern (row) and one feature"
    "vorla:train:labels",       @() vorla_train ([1; 2], {"a"; ["b"; "c"]}), "cellstr labels must hold one row of text each; label 2 is a 2 x 1 char"
    "vorla:train:Alpha",        @() vorla_train (X, y, "Alpha", sparse (1)), "Alpha must be a finite number >= 0; a sparse 1 x 1 double given"
    "vorla:train:Voters",       @() vorla_train (X, y, "Voters", intmax ("uint64")), "Voters must be a whole number in [1, 10000]"
    "vorla:predict:arguments",  @() vorla_predict (model),              "expected (model, X, Name, Value, ...); 1 arguments given"
    "vorla:predict:model",      @() vorla_predict (setfield (model, "NLabels", model.NLabels + 2), X), "model.NLabels must be a"
    "vorla:predict:model",      @() vorla_predict (setfield (model, "Range", [0; 1]), X), "model.Range must be a 2 x 3 matrix"
    "vorla:predict:model",      @() vorla_predict (setfield (model, "Templates", model.Templates(:,2:end)), X), "model.Templates must be a K x 6 double matrix"
    "vorla:predict:model",      @() vorla_predict (setfield (model, "ClassNames", {"a"; "b"}), X), "model.ClassNames must be a C x 1 double column"
    "vorla:predict:UnknownLabel", @() vorla_predict (vorla_train (X, y == 1), X, "UnknownLabel", NaN), "UnknownLabel must be a scalar that logical holds exactly"
    "vorla:crossval:arguments", @() vorla_crossval (),                  "expected (X, labels, Name, Value, ...); 0 arguments given"
    "vorla:crossval:Alpha",     @() vorla_crossval (X, y, "Alpha", {}), "Alpha must be given at least one value"
    "vorla:scale:arguments",    @() vorla_scale (X, [], 1),             "expected (X) or (Y, range); 3 arguments given"
    "vorla:scale:range",        @() vorla_scale (X, [0; 1]),            "RANGE must be a 2 x 3 matrix"
  };
  for i = 1:rows (cases)
    try
      cases{i,2} ();
      id = "";
      msg = "no error";
    catch err
      id = err.identifier;
      msg = err.message;
    end
    r(end+1) = check_case (sprintf ("error %s", cases{i,1}), ...
                           strcmp (id, cases{i,1}) && ! isempty (strfind (msg, cases{i,3})), ...
                           sprintf ("[%s] %s", id, msg));
  end

  % Every warning identifier, once per call.
  warning ("on", "vorla:predict:clipped");
  warning ("on", "vorla:predict:missing");
  twins = [X; X(1:3,:)];
  twin_labels = [y; 3 - y(1:3)];
  calls = {
    "vorla:train:oneclass",    "vorla_train (X, ones (600, 1));"
    "vorla:crossval:oneclass", "vorla_crossval (X, ones (600, 1), 'KFold', 3);"
    "vorla:train:conflict",    "vorla_train (twins, twin_labels);"
    "vorla:train:cap",         "vorla_train ([0; 0; 1], [1; 2; 1], 'MatchTracking', 'strict', 'Voters', 3);"
    "vorla:train:unscaled",    "vorla_train (X, y, 'Scale', 'none', 'Voters', 2);"
    "vorla:predict:clipped",   "vorla_predict (model, X + 100);"
    "vorla:predict:missing",   "warning ('off', 'vorla:predict:gone'); vorla_predict (vorla_train (X, int8 (y)), [NaN NaN NaN]); warning ('on', 'vorla:predict:gone');"
    "vorla:predict:unscaled",  "vorla_predict (vorla_train (vorla_scale (X), y, 'Scale', 'none', 'Voters', 2), 2 * X);"
    "vorla:crossval:conflict", "vorla_crossval (twins, twin_labels, 'KFold', 3);"
    "vorla:crossval:cap",      "vorla_crossval (zeros (6, 1), [1; 2; 1; 2; 1; 2], 'KFold', 2, 'Scale', 'none', 'MatchTracking', 'strict', 'Voters', [1 2]);"
    "vorla:crossval:unscaled", "vorla_crossval (X, y, 'KFold', 3, 'Scale', {'none', 'auto'});"
    "vorla:train:clipped",     "vorla_train (X, y, 'Scale', [-3 -3 -0.3; 4 4 0.4], 'Voters', 2);"
    "vorla:crossval:clipped",  "vorla_crossval (X, y, 'KFold', 3, 'Scale', {[-3 -3 -0.3; 4 4 0.4], [-3 -3 -0.3; 4 4 0.3]});"
    "vorla:train:workers",     "setenv ('VORLA_WORKER_OCTAVE', '/nonexistent'); vorla_train (X, y, 'Voters', 8, 'Parallel', true); unsetenv ('VORLA_WORKER_OCTAVE');"
  };
  % One warning enabled at a time; each must come once per call.
  for i = 1:rows (calls)
    for j = 1:rows (calls)
      warning (ifelse_text (i == j, "on", "off"), calls{j,1});
    end
    lastwarn ("");
    text = evalc (calls{i,2});
    [msg, id] = lastwarn ();
    count = numel (strfind (text, "warning: vorla_"));
    r(end+1) = check_case (sprintf ("warning %s", calls{i,1}), strcmp (id, calls{i,1}) && count == 1, ...
                           sprintf ("[%s] %s (%d warnings)", id, msg, count));
  end
  for j = 1:rows (calls)
    warning ("on", calls{j,1});
  end

  printf ("%d passed, %d failed\n", sum (r), sum (! r));
  if (! all (r))
    error ("model_test: %d failed", sum (! r));
  end
end

function text = ifelse_text (condition, yes, no)
  text = no;
  if (condition)
    text = yes;
  end
end

function value = unknown_for (labels)
  % A label of the kind that no class uses, so that every kind keeps its class.
  if iscell (labels) || ischar (labels)
    value = "none";
  elseif islogical (labels)
    value = [];
  else
    value = cast (-1, class (labels));
  end
end
