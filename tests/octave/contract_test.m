function contract_test ()
  % Every argument and option of the model layer replaced by each of a set of odd
  % values, and models with each field removed or replaced: every call must end in
  % a result or in an error whose identifier begins with vorla:, raise no warning
  % without one, and leave the random and warning states as they were.
  rand ("state", 5);
  X = [rand(12, 2); rand(12, 2) + 0.6];
  y = [ones(12, 1); 2 * ones(12, 1)];
  one = vorla_train (X, y);
  five = vorla_train (X, {"a"; "b"}(y), "Voters", 3);
  odd = {[], zeros(0, 3), repmat("a", 0, 3), NaN, Inf, -Inf, 1+2i, -1, 0, 1e300, 0.5, 2, "text", "", ["ab"; "cd"], {1}, {}, ...
         {"auto"}, struct("a", 1), struct(), @sin, true, int8(-3), uint8(2), int16(3), uint16(1), int32(0), ...
         uint32(4), int64(5), intmax("uint64"), single(0.5), ones(2, 2, 2), sparse(1), sparse([0 1]), ...
         X, X', y, y', [1 2], {"a"; "b"}(y), ["a"; "b"](y)};

  % what{i} says which value call i replaces, for the report of a failure.
  calls = {};
  what = {};
  for v = 1:numel (odd)
    calls(end+1:end+16,1) = {
      @() vorla_train (odd{v}, y)
      @() vorla_train (X, odd{v})
      @() vorla_predict (one, odd{v})
      @() vorla_predict (odd{v}, X)
      @() vorla_crossval (odd{v}, y, "KFold", 3)
      @() vorla_crossval (X, odd{v}, "KFold", 3)
      @() vorla_scale (odd{v})
      @() vorla_scale (X, odd{v})
      @() vorla_train (X, y, odd{v}, 1)
      @() vorla_rules (odd{v})
      @() vorla_rules (five, "FeatureNames", odd{v})
      @() vorla_rules (one, "X", odd{v})
      @() vorla_rules (one, "Digits", odd{v})
      @() vorla_train (five, odd{v}, y)
      @() vorla_train (one, X, odd{v})
      @() vorla_train (one, X, y, "Vigilance", odd{v})};
    what(end+1:numel (calls),1) = {sprintf("argument: %s", shown (odd{v}))};
  end
  options = {"Vigilance", "Alpha", "LearningRate", "MaxPresentations", "Trim", "ChoiceTest", "Scale", "D", ...
             "Voters", "Seed", "Trace", "Parallel", "MatchTracking", "Display", ...
             "OptimizeHyperparameters", "HyperparameterOptimizationOptions"};
  searched = {"OptimizeHyperparameters", "HyperparameterOptimizationOptions"};
  for i = 1:numel (options)
    % The search runs where its own options are odd; elsewhere it would only
    % repeat the same checks many times over.
    rest = {"MaxPresentations", 20, "OptimizeHyperparameters", "none"};
    if any (strcmp (options{i}, searched))
      rest = {"MaxPresentations", 20, "HyperparameterOptimizationOptions", struct("KFold", 2)};
      rest = rest(1:2 + 2 * ! strcmp (options{i}, "HyperparameterOptimizationOptions"));
    end
    for v = 1:numel (odd)
      calls{end+1,1} = @() vorla_train (X, y, options{i}, odd{v}, rest{:});
      calls{end+1,1} = @() vorla_crossval (X, y, "KFold", 3, options{i}, odd{v}, rest{:});
      what(end+1:numel (calls),1) = {sprintf("%s: %s", options{i}, shown (odd{v}))};
    end
  end
  for name = {"CVPartition", "Holdout"}
    for v = 1:numel (odd)
      calls{end+1,1} = @() vorla_crossval (X, y, name{1}, odd{v}, "OptimizeHyperparameters", "none");
      what(end+1:numel (calls),1) = {sprintf("%s: %s", name{1}, shown (odd{v}))};
    end
  end
  for field = {"KFold", "CVPartition", "SearchSpace", "MaxObjectiveEvaluations", "Display", "Seed"}
    for v = 1:numel (odd)
      how = struct (field{1}, {odd{v}});
      calls{end+1,1} = @() vorla_train (X, y, "HyperparameterOptimizationOptions", how, "MaxPresentations", 20);
      what(end+1:numel (calls),1) = {sprintf("HyperparameterOptimizationOptions.%s: %s", field{1}, shown (odd{v}))};
    end
  end
  for i = 1:6
    name = {"Vigilance", "UnknownLabel", "Trace", "Parallel", "Scores", "Threads"}{i};
    for v = 1:numel (odd)
      calls{end+1,1} = @() vorla_predict (one, [X; NaN 1], name, odd{v});
      calls{end+1,1} = @() vorla_predict (five, [X; NaN 1], name, odd{v});
      what(end+1:numel (calls),1) = {sprintf("%s: %s", name, shown (odd{v}))};
    end
  end
  for v = 1:numel (odd)
    calls{end+1,1} = @() vorla_crossval (X, y, "KFold", odd{v});
    what(end+1:numel (calls),1) = {sprintf("KFold: %s", shown (odd{v}))};
  end
  % Models with a field removed, or replaced by an odd value, a value of the other
  % model, or an edited copy of its own.
  for m = {one, five}
    model = m{1};
    fields = fieldnames (model);
    for f = 1:numel (fields)
      calls{end+1,1} = @() vorla_predict (rmfield (model, fields{f}), X);
      calls{end+1,1} = @() vorla_train (rmfield (model, fields{f}), X, y);
      what(end+1:numel (calls),1) = {sprintf("model without %s", fields{f})};
      for v = [odd, {one.(fields{f}), five.(fields{f})}, edits(model.(fields{f}))]
        calls{end+1,1} = @() vorla_predict (setfield (model, fields{f}, v{1}), X);
        calls{end+1,1} = @() vorla_train (setfield (model, fields{f}, v{1}), X, y);
        what(end+1:numel (calls),1) = {sprintf("model.%s: %s", fields{f}, shown (v{1}))};
      end
    end
  end
  % vorla_plot_boxes draws into an invisible figure.
  warning ("off", "Octave:gnuplot-graphics");
  f = figure ("visible", "off");
  closing = onCleanup (@() close (f));
  two = vorla_train (X, y, "Voters", 2);
  for v = 1:numel (odd)
    calls(end+1:end+7,1) = {
      @() vorla_plot_boxes (odd{v})
      @() vorla_plot_boxes (one, odd{v})
      @() vorla_plot_boxes (one, X, odd{v})
      @() vorla_plot_boxes (two, "Network", odd{v})
      @() vorla_plot_boxes (odd{v}, [1 2])
      @() vorla_plot_boxes ([0 0 1 1; 0 0 2 2], [1 2], odd{v}, y)
      @() vorla_plot_boxes ([0 0 1 1; 0 0 2 2], [1 2], X, odd{v})};
    what(end+1:numel (calls),1) = {sprintf("plot argument: %s", shown (odd{v}))};
  end
  calls(end+1:end+7,1) = {@() vorla_rules(); @() vorla_train(); @() vorla_train(X); @() vorla_predict(); @() vorla_predict(one);
                          @() vorla_crossval(); @() vorla_crossval(X)};
  what(end+1:numel (calls),1) = {"too few arguments"};

  failures = {};
  for i = 1:numel (calls)
    randstate = {rand("state"), randn("state"), rand("twister")};
    warnstate = warning ();
    lastwarn ("", "");
    text = "";
    try
      text = evalc ("calls{i} ();");
      problem = "";
    catch err
      problem = "";
      if ! strncmp (err.identifier, "vorla:", 6) || ! strncmp (err.message, "vorla_", 6)
        problem = sprintf ("error [%s] %s", err.identifier, err.message);
      end
    end
    [msg, id] = lastwarn ();
    if ! isempty (msg) && ! strncmp (id, "vorla:", 6)
      problem = sprintf ("%s warning [%s] %s", problem, id, msg);
    end
    % Earlier warnings of the call show in its output.
    foreign = regexp (text, "^warning: (?!vorla_|called from).*$", "match", "lineanchors", "dotexceptnewline", "once");
    if ! isempty (foreign)
      problem = sprintf ("%s %s", problem, foreign);
    end
    if ! isequal (randstate, {rand("state"), randn("state"), rand("twister")})
      problem = [problem " random state changed"];
    end
    if ! isequal (warnstate, warning ())
      problem = [problem " warning state changed"];
    end
    if ! isempty (problem)
      failures{end+1} = sprintf ("%s [%s]: %s", func2str (calls{i}), what{i}, problem);
    end
  end
  printf ("%d calls, %d outside the contract\n", numel (calls), numel (failures));
  if ! isempty (failures)
    printf ("  %s\n", failures{1:min (end, 40)});
    error ("contract_test: %d calls outside the contract", numel (failures));
  end
end

function text = shown (value)
  if ischar (value) && rows (value) == 1
    text = ["'" value "'"];
  elseif (isnumeric (value) || islogical (value)) && numel (value) < 5 && ! isempty (value) ...
         && ndims (value) == 2 && ! issparse (value)
    text = sprintf ("%s %s", class (value), mat2str (value));
  else
    text = sprintf ("%s %s", class (value), mat2str (size (value)));
  end
end

function list = edits (value)
  % A field changed the ways a hand edit or a truncated file changes it.
  list = {};
  if iscell (value)
    rows = cellfun (@(t) t(1:end-1,:), value, "UniformOutput", false);
    columns = cellfun (@(t) t(:,1:end-1), value, "UniformOutput", false);
    negated = cellfun (@(t) -t, value, "UniformOutput", false);
    list = {value(1:end-1), value', [value, value], rows, columns, negated};
  elseif isnumeric (value) || islogical (value) || ischar (value)
    list = {value(1:end-1,:), value(:,1:end-1), value', [value; value], -double(value), single(value), num2cell(value)};
  end
end
