function made_models_test ()
  % Models as vorla_train makes them, under every setting and label kind, each
  % sent through every function that takes a model and through every save
  % format. Slow learning on patterns a rounding step from each other leaves
  % point boxes a step reversed, which every function must take.
  r = [];
  warning ("off", "all");
  has_graphics = ! isempty (available_graphics_toolkits ());
  if has_graphics
    figure_handle = figure ("visible", "off");
    closing = onCleanup (@() close (figure_handle));
  end
  u64 = intmax ("uint64");
  i64 = intmax ("int64");
  % {labels of classes 1 and 2, UnknownLabel that no class uses}
  kinds = {{[1; 2], []}, {i64 - [1; 0], []}, {u64 - [1; 0], u64 - 2}, {[false; true], []}, ...
           {["ab"; "c "], []}, {{"one"; "two"}, []}, {single([0.5; 2]), []}, {int8([-3; 7]), int8(0)}};
  if exist ("categorical")
    kinds{end+1} = {categorical ({"a"; "b"}), []};
  end
  settings = {{"LearningRate", 0.3, "Vigilance", 0.9}, ...
              {"LearningRate", 0.1, "MaxPresentations", 2, "Scale", "none", "Vigilance", 0.9}, ...
              {"LearningRate", 0.5, "Voters", 3, "Seed", 7, "Vigilance", 0.95, "ChoiceTest", true}, ...
              {"LearningRate", 0.05, "Scale", [0 0; 1 1], "MatchTracking", "strict", "MaxPresentations", 5}, ...
              {"LearningRate", 0.7, "Voters", 2, "Trim", true, "Alpha", 0.1, "D", 3, "Scale", "none"}, ...
              {"LearningRate", 1, "Vigilance", 0.5}};
  formats = {"-text", "-binary", "-v6", "-v7", "-mat7-binary", ""};
  seed = 3;
  reversed = 0;
  made = 0;
  for s = 1:numel (settings)
    for k = 1:numel (kinds)
      labels = kinds{k}{1};
      if isa (labels, "categorical")
        % Not a label kind of the layer: it must be refused with a vorla error.
        r(end+1) = check_case ("categorical labels", ! isempty (vorla_error (@() vorla_train ([0 0; 1 1], labels))));
        continue;
      end
      for trial = 1:3
        [X, c] = problem (seed);
        seed = seed + 1;
        name = sprintf ("setting %d, %s labels, problem %d", s, class (labels), seed);
        y = labels(c,:);
        try
          model = vorla_train (X, y, settings{s}{:});
        catch err
          r(end+1) = check_case ([name ": training"], false, err.message);
          continue;
        end
        made = made + 1;
        reversed = reversed + any_reversed (model);
        r(end+1) = through_all (name, model, X, y, kinds{k}{2}, has_graphics);
        for f = 1:numel (formats) * (trial == 1)
          try
            loaded = saved_model (model, formats{f});
            ok = isequal (loaded, model) && isequaln (vorla_predict (loaded, X), vorla_predict (model, X));
            detail = "";
          catch err
            ok = false;
            detail = err.message;
          end
          r(end+1) = check_case (sprintf ("%s: save %s", name, formats{f}), ok, detail);
        end
      end
    end
  end
  % Models with categorical features: a numeric feature, one of three categories and one of two
  % (codes), or text in every feature; and with missing values, left open or imputed.
  [X, c] = problem (seed);
  three = 1 + mod ((1:rows (X))', 3);
  two = 1 + mod ((1:rows (X))', 2);
  X = [X(:,1), three, 7 * two];
  words = {"red"; "green"; "blue"};
  text = [words(three), words(two)];
  holes = X;
  holes(3:5:end,1) = NaN;
  holes(2:4:end,2) = NaN;
  for s = 1:numel (settings)
    for data = {{X, {"CategoricalPredictors", [2 3]}}, {text, {}}, {holes, {"CategoricalPredictors", 2}}, ...
                {holes, {"MissingValues", "impute"}}, {holes(:,[1 3]), {}}}
      Z = data{1}{1};
      name = sprintf ("setting %d, categorical %s", s, class (Z));
      try
        args = settings{s};
        given = find (strcmp (args, "Scale"));
        if ! isempty (given) && isnumeric (args{given+1})
          args{given+1} = [zeros(1, columns (Z)); ones(1, columns (Z))];
        end
        model = vorla_train (Z, c, data{1}{2}{:}, args{:});
        more = vorla_train (model, Z(end:-1:1,:), c(end:-1:1));
        [~, scores] = vorla_predict (more, Z, "Scores", "choice");
        vorla_rules (more, "X", Z, "Simplify", true, "Labels", c);
        ok = isequal (size (scores), [rows(Z), 2]);
        detail = "";
      catch err
        ok = false;
        detail = err.message;
      end
      r(end+1) = check_case ([name ": train, continue, predict, rules"], ok, detail);
      for f = 1:numel (formats) * ok
        loaded = saved_model (model, formats{f});
        r(end+1) = check_case (sprintf ("%s: save %s", name, formats{f}), isequal (loaded, model) ...
                               && isequal (vorla_train (loaded, Z, c), vorla_train (model, Z, c)) ...
                               && isequaln (vorla_predict (loaded, Z), vorla_predict (model, Z)));
      end
    end
  end
  r(end+1) = check_case (sprintf ("slow learning made reversed point boxes (%d of %d models)", reversed, made), ...
                         reversed > 0);
  % Cross-validation trains and predicts such models inside its folds.
  [X, c] = problem (1);
  X = repmat (X, 3, 1);
  c = repmat (c, 3, 1);
  for s = 1:numel (settings) - 1
    try
      result = vorla_crossval (X, c, settings{s}(1:2){:}, "KFold", 3, "Vigilance", 0.9);
      ok = true;
      detail = "";
    catch err
      ok = false;
      detail = err.message;
    end
    r(end+1) = check_case (sprintf ("cross-validation at learning rate %g", settings{s}{2}), ok, detail);
  end
  printf ("%d of %d cases passed; %d of %d models had reversed point boxes\n", sum (r), numel (r), reversed, made);
  if ! all (r)
    exit (1);
  end
end

function [X, c] = problem (seed)
  % Points of two classes, some of them pairs a rounding step apart, where
  % a blended corner can round past the other corner.
  u = seeded (seed, 12);
  base = u(1:6) * 0.8 + 0.1;
  step = eps (base) .* (1 + (u(7:12) > 0.5));
  X = [0 0; 1 1; base, 0.5 * ones(6, 1); base + step, 0.5 * ones(6, 1)];
  c = [1; 1; 2 - (u(7:12) > 0.3); 2 - (u(7:12) > 0.3)];
  c(end) = 3 - c(end);
  c = c(:);
end

function u = seeded (seed, n)
  % Reproducible numbers in (0, 1) that do not touch the host's generator.
  u = mod ((seed * 7919 + (1:n)') * 0.6180339887498949, 1);
end

function n = any_reversed (model)
  T = model.Templates;
  if ! iscell (T)
    T = {T};
  end
  M = model.Features;
  n = any (cellfun (@(t) any (any (t(:,1:M) > t(:,M+1:end))), T));
end

function ok = through_all (name, model, X, y, unknown, has_graphics)
  % Every function that takes a model: a result, or a vorla error where the
  % call itself is wrong; never an Octave error.
  calls = {"predict", @() vorla_predict (model, X), ...
           "predict with scores", @() nthargout (1:2, @vorla_predict, model, X, "Scores", "choice"), ...
           "predict at vigilance 1", @() vorla_predict (model, X + 0.01, "Vigilance", 1, "UnknownLabel", unknown), ...
           "rules", @() vorla_rules (model, "X", X), ...
           "continued training", @() vorla_train (model, X(end:-1:1,:), y(end:-1:1,:)), ...
           "continued twice", @() vorla_predict (vorla_train (vorla_train (model, X, y), X(1:3,:), y(1:3,:)), X)};
  if has_graphics
    calls(end+1:end+2) = {"plot_boxes", @() plot_network (model, X, y)};
  end
  ok = true;
  for i = 1:2:numel (calls)
    try
      value = calls{i+1} ();
    catch err
      ok = check_case (sprintf ("%s: %s", name, calls{i}), false, [err.identifier " " err.message]) && ok;
    end
  end
end

function h = plot_network (model, X, y)
  clf ();
  h = vorla_plot_boxes (model, X, y, "Network", model.Voters);
end

function id = vorla_error (call)
  id = "";
  try
    call ();
  catch err
    if strncmp (err.identifier, "vorla:", 6)
      id = err.identifier;
    else
      rethrow (err);
    end
  end
end
