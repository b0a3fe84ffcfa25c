function strings_test ()
  % MATLAB's strings wherever the layer takes text (option names and values, grids, labels,
  % UnknownLabel, folder names), through a stand-in string class, as Octave has none; a
  % model with string labels, as MATLAB makes it, predicts in Octave; both hosts take
  % exactly the documented option names.
  r = [];
  here = fileparts (mfilename ("fullpath"));
  addpath (fullfile (here, "strings"));
  unwind_protect
    X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35; 7 15; 8 45];
    text = {"low"; "high"; "low"; "high"; "low"; "high"; "low"; "high"};
    Q = [1.5 12; 6.5 38; 100 100];

    reference = vorla_train (X, text, "Scale", "none", "Vigilance", 0.5);
    given = vorla_train (X, text, string ("Scale"), string ("none"), string ("vigilance"), 0.5);
    r(end+1) = check_case ("string option names and values", isequal (given, reference));

    grid = vorla_crossval (X, text, "KFold", 2, "Scale", {"auto", "none"});
    as_cell = vorla_crossval (X, text, "KFold", 2, "Scale", {string("auto"), string("none")});
    as_array = vorla_crossval (X, text, "KFold", 2, "Scale", string ({"auto", "none"}));
    [as_cell.Time] = grid.Time;
    [as_array.Time] = grid.Time;
    r(end+1) = check_case ("a grid of strings, in a cell or as a string array", ...
                           isequal (as_cell, grid) && isequal (as_array, grid));

    model = vorla_train (X, string (text), "Scale", "none", "Vigilance", 0.5);
    r(end+1) = check_case ("string labels are kept as a cellstr of kind string", ...
                           strcmp (model.LabelKind, "string") && iscellstr (model.ClassNames) ...
                           && isequal (model.ClassNames, reference.ClassNames) ...
                           && isequal (model.Templates, reference.Templates));
    warning ("off", "vorla:predict:clipped", "local");
    [expected, scores] = vorla_predict (reference, Q, "Vigilance", 0.9);
    [labels, scores2] = vorla_predict (model, Q, "Vigilance", 0.9);
    r(end+1) = check_case ("a string model predicts in Octave, as a cellstr with '' for unknown", ...
                           iscellstr (labels) && isequal (labels, expected) && isequal (scores, scores2) ...
                           && strcmp (labels{3}, ""));
    more = vorla_train (model, [2.5 31; 9 50], string ({"high"; "mid"}));
    r(end+1) = check_case ("a string model continued with string labels", ...
                           strcmp (more.LabelKind, "string") && isequal (more.ClassNames, {"high"; "low"; "mid"}));
    labels = vorla_predict (model, Q, "Vigilance", 0.9, "UnknownLabel", string ("none"));
    r(end+1) = check_case ("UnknownLabel as a string", strcmp (labels{3}, "none"));
    [result, folds] = vorla_crossval (X, string (text), "KFold", 2);
    [expected, folds2] = vorla_crossval (X, text, "KFold", 2);
    r(end+1) = check_case ("cross-validation of string labels", ...
                           isequal (result.Predictions, expected.Predictions) && isequal (folds, folds2));

    r(end+1) = raises (@() vorla_train (X, string ({"a"; "b"; "a"; "b"; NaN; "b"; "a"; "b"}), "Scale", "none"), ...
                       "vorla:train:labels", "a missing string label");
    r(end+1) = raises (@() vorla_demo (string (which ("vorla_demo"))), "vorla:demo:outdir", ...
                       "a folder name as a string");
    % Abbreviations are refused, whatever the host's parser would do; case does not matter.
    r(end+1) = raises (@() vorla_train (X, text, "Vig", 0.5), "vorla:train:options", "an abbreviated option name");
    r(end+1) = raises (@() vorla_predict (model, Q, "Unknown", "none"), "vorla:predict:options", ...
                       "an abbreviated option of vorla_predict");
    r(end+1) = check_case ("option names in any case", ...
                           isequal (vorla_train (X, text, "SCALE", "none", "vigilance", 0.5), reference));
  unwind_protect_cleanup
    rmpath (fullfile (here, "strings"));
  end_unwind_protect
  if any (! r)
    error ("strings_test: %d of %d cases failed", sum (! r), numel (r));
  end
  printf ("strings_test: %d cases passed\n", numel (r));
end

function ok = raises (f, id, name)
  try
    f ();
    ok = check_case (name, false, "(no error)");
  catch err
    ok = check_case (name, strcmp (err.identifier, id), err.identifier);
  end
end
