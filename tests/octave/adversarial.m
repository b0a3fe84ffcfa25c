function adversarial (builddir)
  % Hand-picked bad inputs for vorla_fit and vorla_eval in the real host, each with the
  % message it must raise, and normal training and classification calls whose results are
  % worked out by hand.
  %
  % Run:
  %   octave-cli --no-gui --norc --eval "addpath('/work/main/tests/octave'); adversarial('BUILD')"
  % BUILD is the folder that holds vorla_fit.mex and vorla_eval.mex (omit it when they are on
  % the path). Prints "N passed, 0 failed" on success; otherwise lists each failing case and
  % raises an error with their count. With VORLA_QUICK set (as tests/valgrind/run.sh does)
  % the one slow boundary case (a 0 x 1073741823 training set) is left out.

  if (nargin >= 1 && ! isempty (builddir))
    addpath (builddir);
  end
  global results;
  results = struct ("passed", 0, "failed", 0);

  fit_cases ();
  eval_cases ();
  normal_calls ();

  printf ("%d passed, %d failed\n", results.passed, results.failed);
  if (results.failed > 0)
    error ("adversarial: %d of %d cases failed", results.failed, results.passed + results.failed);
  end
end

% ---------------------------------------------------------------------------------------
% Training

function args = fit_args ()
  % Three patterns, two features, a valid call in every other respect.
  args = {[0.2 0.3; 0.6 0.7; 0.25 0.35], [1; 2; 1], 2, 0.5, 0.001, 1, 10, 0, 0, 0};
end

function fit_cases ()
  names = {"Patterns", "PLabels", "D", "vigilance", "alpha", "learning_rate", ...
           "max_list_presentations", "trim_option", "ct_option", "oflag"};
  ords = {"1st", "2nd", "3rd", "4th", "5th", "6th", "7th", "8th", "9th", "10th"};

  % Input and output counts, and that a bad input is reported before a bad output count.
  good = fit_args ();
  for n = [0 1 9 11 12]
    args = [good, good](1:n);
    expect_fit (args, 3, "10 input arguments required.", sprintf ("%d inputs", n));
  end
  for nout = [0 1 2 4]
    expect_fit (good, nout, "3 output arguments required.", sprintf ("%d outputs", nout));
  end
  expect_fit (with (good, 4, 2), 1, "4th input argument (vigilance) must be in [0.0, 1.0].", ...
              "bad input and bad output count");

  % Every refused class, at every position.
  for k = 1:10
    for c = refused_classes ()
      expect_fit (with (good, k, c{1}{2}), 3, ...
                  sprintf ("%s input argument (%s) must be a full numeric or logical array, not %s.", ...
                           ords{k}, names{k}, c{1}{1}), sprintf ("%s as %s", names{k}, c{1}{3}));
    end
  end

  % Three- and four-dimensional arrays, and empty arrays where a scalar is expected.
  expect_fit (with (good, 1, ones (3, 2, 2)), 3, ...
              "1st input argument (Patterns) must be  a two dimensional array (matrix).", "3-D Patterns");
  expect_fit (with (good, 1, ones (3, 2, 1, 2)), 3, ...
              "1st input argument (Patterns) must be  a two dimensional array (matrix).", "4-D Patterns");
  expect_fit (with (good, 1, zeros (3, 2, 0)), 3, ...
              "1st input argument (Patterns) must be  a two dimensional array (matrix).", "3x2x0 Patterns");
  expect_fit (with (good, 2, ones (3, 1, 2)), 3, "2nd input argument (PLabels) must a vector.", "3-D PLabels");
  expect_fit (with (good, 2, ones (1, 3, 1, 2)), 3, "2nd input argument (PLabels) must a vector.", "4-D PLabels");
  expect_fit (with (good, 2, zeros (3, 1, 0)), 3, "2nd input argument (PLabels) must a vector.", "3x1x0 PLabels");
  for shape = {[0 0], [1 0], [0 1], [3 0], [0 3], [3 2], [1 4]}
    expect_fit (with (good, 2, zeros (shape{1})), 3, ...
                "2nd input argument (PLabels) must be of type  3x1 or 1x3.", ...
                sprintf ("PLabels %dx%d", shape{1}));
  end
  for k = 3:9
    scalar = sprintf ("%s input argument (%s) must be a scalar.", ords{k}, names{k});
    for shape = {[0 0], [1 0], [0 1], [0 3], [2 2], [1 1 0], [1 1 2], [1 1 1 2]}
      expect_fit (with (good, k, zeros (shape{1})), 3, scalar, sprintf ("%s %s", names{k}, mat2str (shape{1})));
    end
  end
  oflag_dims = "10th input argument (oflag) must be scalar.";
  oflag_vector = "10th input argument must be scalar.";
  for c = {{[0 0], oflag_vector}, {[1 0], oflag_dims}, {[0 1], oflag_dims}, {[0 3], oflag_vector}, ...
           {[2 3], oflag_vector}, {[1 1 0], oflag_dims}, {[1 1 2], oflag_dims}, {[1 1 1 2], oflag_dims}}
    expect_fit (with (good, 10, zeros (c{1}{1})), 3, c{1}{2}, sprintf ("oflag %s", mat2str (c{1}{1})));
  end

  % Arrays that claim enormous dimensions while holding no data.
  too_big = "1st input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns.";
  expect_fit (with (with (good, 1, zeros (0, 3e9)), 2, zeros (0, 1)), 3, too_big, "Patterns 0 x 3e9");
  expect_fit (with (good, 1, zeros (3e9, 0)), 3, too_big, "Patterns 3e9 x 0");
  expect_fit (with (good, 1, zeros (2147483648, 0)), 3, too_big, "Patterns 2^31 x 0");
  expect_fit (with (with (good, 1, zeros (0, 1073741824)), 2, zeros (0, 1)), 3, too_big, "Patterns 0 x 2^30");

  % NaN and infinite values in every argument.
  for v = {NaN, Inf, -Inf}
    x = v{1};
    what = num2str (x);
    expect_fit (with (good, 1, [0.2 x; 0.6 0.7; 0.25 0.35]), 3, ...
                "1st input argument (Patterns) must not contain NaN or Inf values.", ["Patterns " what]);
    expect_fit (with (good, 1, single ([0.2 x; 0.6 0.7; 0.25 0.35])), 3, ...
                "1st input argument (Patterns) must not contain NaN or Inf values.", ["single Patterns " what]);
    expect_fit (with (good, 2, [1; x; 1]), 3, ...
                "2nd input argument (PLabels) must hold finite labels in the 32-bit integer range.", ["PLabels " what]);
    if (! (x > 0))
      expect_fit (with (good, 3, x), 3, "3rd input argument (D) must be non-negative.", ["D " what]);
      expect_fit (with (good, 5, x), 3, "5th input argument (alpha) must be non-negative.", ["alpha " what]);
      expect_fit (with (good, 7, x), 3, ...
                  "7th input argument (max_list_presentations) must  be greater than 0.", ["cap " what]);
    end
    expect_fit (with (good, 4, x), 3, "4th input argument (vigilance) must be in [0.0, 1.0].", ["vigilance " what]);
    expect_fit (with (good, 6, x), 3, "6th input argument (learning_rate) must be in (0.0, 1.0].", ["lr " what]);
    expect_fit (with (good, 8, x), 3, "8th input argument (trim_option) must be either 0 or 1.", ["trim " what]);
    expect_fit (with (good, 9, x), 3, "9th input argument (ct_option) must be either 0 or 1.", ["ct " what]);
    expect_fit (with (good, 10, x), 3, "10th input argument (oflag) must be 0,1,2,3 or 4.", ["oflag " what]);
  end
  % Infinite D, alpha and cap are values like others.
  expect_fit_ok (with (good, 3, Inf), "D Inf");
  expect_fit_ok (with (good, 5, Inf), "alpha Inf");
  expect_fit_ok (with (good, 7, Inf), "cap Inf");

  % Labels and options on the edges of the 32-bit range.
  labels_msg = "2nd input argument (PLabels) must hold finite labels in the 32-bit integer range.";
  for v = {2147483648, -2147483649, 1e10, int64(2)^40, uint32(4294967295), -2^63}
    expect_fit (with (good, 2, [1; v{1}; 1]), 3, labels_msg, ["PLabels " num2str(v{1})]);
  end
  [T, NL] = expect_fit_ok (with (good, 2, [2147483647.5; -2147483648.9; 1]), "PLabels at the int32 edges");
  check (ismember (NL', [2147483647, -2147483648, 1]), "PLabels at the int32 edges: node labels truncated");
  expect_fit_ok (with (good, 7, 2147483648), "cap 2^31");
  expect_fit (with (good, 7, -2147483649), 3, ...
              "7th input argument (max_list_presentations) must  be greater than 0.", "cap -2^31-1");
  expect_fit (with (good, 7, 0.9), 3, "7th input argument (max_list_presentations) must  be greater than 0.", "cap 0.9");
  expect_fit (with (good, 8, 2147483648), 3, "8th input argument (trim_option) must be either 0 or 1.", "trim 2^31");
  expect_fit (with (good, 8, 4294967297), 3, "8th input argument (trim_option) must be either 0 or 1.", "trim 2^32+1");
  expect_fit (with (good, 9, -2147483649), 3, "9th input argument (ct_option) must be either 0 or 1.", "ct -2^31-1");
  expect_fit (with (good, 10, 5), 3, "10th input argument (oflag) must be 0,1,2,3 or 4.", "oflag 5");
  expect_fit (with (good, 10, int8 (-1)), 3, "10th input argument (oflag) must be 0,1,2,3 or 4.", "oflag int8 -1");
  expect_fit (with (good, 4, 1.01), 3, "4th input argument (vigilance) must be in [0.0, 1.0].", "vigilance 1.01");
  expect_fit (with (good, 6, 0), 3, "6th input argument (learning_rate) must be in (0.0, 1.0].", "lr 0");
  expect_fit (with (good, 3, -1e-300), 3, "3rd input argument (D) must be non-negative.", "D -1e-300");

  % Accepted: complex (its real part), other numeric classes, logical, vectors where scalars go.
  [T0, NL0, LP0] = vorla_fit (good{:});
  variants = {{1, complex(good{1}, ones(3, 2))}, {2, complex([1; 2; 1], [5; 5; 5])}, {3, complex(2, -1)}, ...
              {2, int8([1; 2; 1])}, {2, uint64([1 2 1])}, {2, single([1 2 1])}, {3, int32(2)}, ...
              {7, uint8(10)}, {8, false}, {9, int64(0)}, {10, single(0)}, {3, [2 5]}, {10, [0 3 4]}};
  for v = variants
    [T, NL, LP] = expect_fit_ok (with (good, v{1}{1}, v{1}{2}), sprintf ("%s as %s", names{v{1}{1}}, class (v{1}{2})));
    check (isequal (T, T0) && isequal (NL, NL0) && isequal (LP, LP0), ...
           sprintf ("%s as %s: same results as with doubles", names{v{1}{1}}, class (v{1}{2})));
  end

  % Empty training sets.
  [T, NL, LP] = expect_fit_ok (with (with (good, 1, zeros (0, 2)), 2, zeros (0, 1)), "no patterns");
  check (isequal (size (T), [0 4]) && isequal (size (NL), [0 1]) && LP == 0, "no patterns: 0 x 4, 0 x 1, 0");
  [T, NL, LP] = expect_fit_ok (with (with (good, 1, zeros (0, 0)), 2, zeros (1, 0)), "0 x 0 patterns");
  check (isequal (size (T), [0 0]) && LP == 0, "0 x 0 patterns: 0 x 0 templates");
  % Without features every node matches every pattern fully (mfv 1) and the earliest node wins
  % every tie, so pattern 2 (label 2) meets node 1, tracks past it and every later node with mfv
  % 1 too, and creates a node in each of the 10 presentations: 11 nodes, stopped at the cap.
  [T, NL, LP] = expect_fit_ok (with (good, 1, zeros (3, 0)), "patterns without features");
  check (isequal (size (T), [11 0]) && isequal (NL, [1; 2 * ones(10, 1)]) && LP == 10, ...
         "patterns without features: a node for pattern 2 in every presentation");
  if (isempty (getenv ("VORLA_QUICK")))
    [T, NL, LP] = expect_fit_ok (with (with (good, 1, zeros (0, 1073741823)), 2, zeros (0, 1)), "0 x 1073741823");
    check (isequal (size (T), [0 2147483646]), "0 x 1073741823 patterns: 0 x 2147483646 templates");
  end
end

% ---------------------------------------------------------------------------------------
% Classification

function args = eval_args ()
  % Two boxes in two features (the first holds the pattern), a valid call in every other respect.
  args = {[0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9], [1; 2], 2, 0.5, 0.01, 1, [0.2 0.3; 0.7 0.6; 0 1], 0, 0};
end

function eval_cases ()
  names = {"Templates", "NLabels", "D", "vigilance", "alpha", "ct_option", "Patterns", "unknown_label", "oflag"};
  ords = {"1st", "2nd", "3rd", "4th", "5th", "6th", "7th", "8th", "9th"};
  good = eval_args ();

  for n = [0 1 8 10 12]
    args = [good, good](1:n);
    expect_eval (args, 1, "9 input arguments required.", sprintf ("%d inputs", n));
  end
  for nout = [0 2 3]
    expect_eval (good, nout, "1 output argument required.", sprintf ("%d outputs", nout));
  end
  expect_eval (with (good, 6, 2), 2, "6th input argument (ct_option) must be either 0 or 1.", ...
               "bad input and bad output count");

  for k = 1:9
    for c = refused_classes ()
      expect_eval (with (good, k, c{1}{2}), 1, ...
                   sprintf ("%s input argument (%s) must be a full numeric or logical array, not %s.", ...
                            ords{k}, names{k}, c{1}{1}), sprintf ("%s as %s", names{k}, c{1}{3}));
    end
  end

  two_d = "must be  a two dimensional array (matrix).";
  expect_eval (with (good, 1, ones (2, 4, 2)), 1, ["1st input argument (Templates) " two_d], "3-D Templates");
  expect_eval (with (good, 1, ones (2, 4, 1, 2)), 1, ["1st input argument (Templates) " two_d], "4-D Templates");
  expect_eval (with (good, 2, ones (2, 1, 2)), 1, "2nd input argument (NLabels) must a vector.", "3-D NLabels");
  expect_eval (with (good, 7, ones (3, 2, 2)), 1, ["7th input argument (Patterns) " two_d], "3-D Patterns");
  expect_eval (with (good, 7, zeros (3, 2, 0)), 1, ["7th input argument (Patterns) " two_d], "3x2x0 Patterns");
  expect_eval (with (good, 7, ones (1, 2, 1, 2)), 1, ["7th input argument (Patterns) " two_d], "4-D Patterns");
  for shape = {[0 0], [1 0], [0 1], [2 2], [3 1]}
    expect_eval (with (good, 2, zeros (shape{1})), 1, "2nd input argument (NLabels) must be of type  2x1 or 1x2.", ...
                 sprintf ("NLabels %dx%d", shape{1}));
  end
  expect_eval (with (good, 7, zeros (10, 3)), 1, "7th input argument (Patterns) must be of type  10x2.", ...
               "Patterns with 3 columns");
  expect_eval (with (good, 7, zeros (0, 0)), 1, "7th input argument (Patterns) must be of type  0x2.", ...
               "0 x 0 Patterns");
  for k = [3 4 5 6 8]
    scalar = sprintf ("%s input argument (%s) must be a scalar.", ords{k}, names{k});
    for shape = {[0 0], [1 0], [0 1], [2 2], [1 1 0], [1 1 2], [1 1 1 2]}
      expect_eval (with (good, k, zeros (shape{1})), 1, scalar, sprintf ("%s %s", names{k}, mat2str (shape{1})));
    end
  end
  oflag_dims = "9th input argument (oflag) must be scalar.";
  oflag_vector = "9th input argument must be scalar.";
  for c = {{[0 0], oflag_vector}, {[1 0], oflag_dims}, {[0 1], oflag_dims}, {[2 3], oflag_vector}, ...
           {[1 1 0], oflag_dims}, {[1 1 2], oflag_dims}, {[1 1 1 2], oflag_dims}}
    expect_eval (with (good, 9, zeros (c{1}{1})), 1, c{1}{2}, sprintf ("oflag %s", mat2str (c{1}{1})));
  end

  templates_big = "1st input argument (Templates) must have at most 2147483647 rows and 2147483647 columns.";
  patterns_big = "7th input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns.";
  expect_eval (with (good, 1, zeros (0, 3e9)), 1, templates_big, "Templates 0 x 3e9");
  expect_eval (with (good, 1, zeros (3e9, 0)), 1, templates_big, "Templates 3e9 x 0");
  expect_eval (with (good, 7, zeros (3e9, 0)), 1, patterns_big, "Patterns 3e9 x 0");
  expect_eval (with (good, 7, zeros (0, 3e9)), 1, patterns_big, "Patterns 0 x 3e9");

  for v = {NaN, Inf, -Inf}
    x = v{1};
    what = num2str (x);
    expect_eval (with (good, 1, [0.1 0.2 0.3 x; 0.5 0.5 0.9 0.9]), 1, ...
                 "1st input argument (Templates) must not contain NaN or Inf values.", ["Templates " what]);
    expect_eval (with (good, 2, [1; x]), 1, ...
                 "2nd input argument (NLabels) must hold finite labels in the 32-bit integer range.", ["NLabels " what]);
    if (! (x > 0))
      expect_eval (with (good, 3, x), 1, "3rd input argument (D) must be non-negative.", ["D " what]);
      expect_eval (with (good, 5, x), 1, "5th input argument (alpha) must be non-negative.", ["alpha " what]);
    end
    expect_eval (with (good, 4, x), 1, "4th input argument (vigilance) must be in [0.0, 1.0].", ["vigilance " what]);
    expect_eval (with (good, 6, x), 1, "6th input argument (ct_option) must be either 0 or 1.", ["ct " what]);
    expect_eval (with (good, 8, x), 1, ...
                 "8th input argument (unknown_label) must be a finite value in the 32-bit integer range.", ...
                 ["unknown_label " what]);
    expect_eval (with (good, 9, x), 1, "9th input argument (oflag) must be 0,1,2 or 3.", ["oflag " what]);
    % A pattern that is not a finite point is not refused: no node accepts it.
    p = expect_eval_ok (with (with (good, 7, [x 0.3; 0.2 0.3]), 8, -7), ["Patterns " what]);
    check (isequal (p, [-7; 1]), ["Patterns " what ": the unknown label for that pattern"]);
  end
  % Pattern 1 lies in box 1 (the worked example); pattern 2 lies in box 2 (mfv 0.6, cfv 1.2/1.21)
  % and touches box 1's vigilance edge (mfv 0.5, cfv 1/1.61); pattern 3 is too far from both
  % (mfv 0.45 and 0.3). The odd last column of Templates is never read, so it may hold anything.
  p = expect_eval_ok (good, "the three patterns");
  check (isequal (p, [1; 2; 0]), "the three patterns: classified by hand");
  p = expect_eval_ok (with (good, 1, [0.1 0.2 0.3 0.4 NaN; 0.5 0.5 0.9 0.9 Inf]), "odd column NaN");
  check (isequal (p, [1; 2; 0]), "odd column NaN: classified as without it");

  labels_msg = "2nd input argument (NLabels) must hold finite labels in the 32-bit integer range.";
  for v = {2147483648, -2147483649, int64(2)^40, uint32(4294967295)}
    expect_eval (with (good, 2, [1; v{1}]), 1, labels_msg, ["NLabels " num2str(v{1})]);
  end
  unknown_msg = "8th input argument (unknown_label) must be a finite value in the 32-bit integer range.";
  expect_eval (with (good, 8, 2147483648), 1, unknown_msg, "unknown_label 2^31");
  expect_eval (with (good, 8, -2147483649), 1, unknown_msg, "unknown_label -2^31-1");
  expect_eval (with (good, 8, uint64 (2)^40), 1, unknown_msg, "unknown_label uint64 2^40");
  p = expect_eval_ok (with (good, 8, -2147483648.9), "unknown_label -2147483648.9");
  check (isequal (p, [1; 2; -2147483648]), "unknown_label -2147483648.9 truncates");
  p = expect_eval_ok (with (good, 2, [2147483647.5; 2]), "NLabels 2147483647.5");
  check (p(1) == 2147483647, "NLabels 2147483647.5 truncates");
  expect_eval (with (good, 9, 4), 1, "9th input argument (oflag) must be 0,1,2 or 3.", "oflag 4");
  expect_eval (with (good, 6, 2147483648), 1, "6th input argument (ct_option) must be either 0 or 1.", "ct 2^31");

  % Accepted: complex, other classes, empty sets of templates or patterns.
  p0 = vorla_eval (good{:});
  for v = {{1, complex(good{1}, ones(2, 4))}, {7, single(good{7})}, {7, complex(good{7}, 1)}, {2, int16([1 2])}, ...
           {3, uint8(2)}, {6, true}, {8, int32(0)}, {9, [0 1]}}
    p = expect_eval_ok (with (good, v{1}{1}, v{1}{2}), sprintf ("%s as %s", names{v{1}{1}}, class (v{1}{2})));
    check (isequal (p, p0), sprintf ("%s as %s: same predictions", names{v{1}{1}}, class (v{1}{2})));
  end
  p = expect_eval_ok (with (with (good, 1, zeros (0, 4)), 2, zeros (0, 1)), "no templates");
  check (isequal (p, [0; 0; 0]), "no templates: every pattern gets the unknown label");
  p = expect_eval_ok (with (good, 7, zeros (0, 2)), "no patterns");
  check (isequal (size (p), [0 1]), "no patterns: 0 x 1 predictions");
  p = expect_eval_ok (with (with (with (good, 1, zeros (2, 0)), 7, zeros (4, 0)), 8, 5), "no features");
  check (isequal (p, [1; 1; 1; 1]), "no features: every pattern matches node 1");
  p = expect_eval_ok (with (with (with (good, 1, zeros (0, 0)), 2, zeros (0, 1)), 7, zeros (1e5, 0)), "1e5 x 0 patterns");
  expect_eval (with (with (good, 1, zeros (0, 0)), 2, []), 1, "2nd input argument (NLabels) must be of type  0x1 or 1x0.", ...
               "0 x 0 NLabels for no templates");
  check (isequal (size (p), [1e5 1]) && all (p == 0), "1e5 x 0 patterns: all unknown");
end

% ---------------------------------------------------------------------------------------
% Normal calls, with their results worked out by hand.

function normal_calls ()
  % One feature, 0.2 with label 1 and 0.6 with label 2, D 1, alpha 0.001, vigilance 0, fast
  % learning, no CT: presentation 1 builds node 1 and (through match tracking) node 2,
  % presentation 2 selects both unchanged and confirms: 1 presentation, 28 FLOPs, 21 comparisons.
  args = {[0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 100, 0, 0, 1};
  [text, T, NL, LP] = call_with_text (@vorla_fit, args, 3);
  check (isequal (T, [0.2 0.2; 0.6 0.6]) && isequal (NL, [1; 2]) && LP == 1, "worked training: results");
  check (! isempty (regexp (text, "^\nFAM training converged after 1 list presentation\n0 inactive nodes detected \\(0\\.000000% redundacy\\)\n2 nodes created \\(100\\.000000% inflation\\)\n28 FLOPs and 21 comparisons in [01] seconds\n\n$", "once")), ...
         "worked training: report");

  % Classifying the two training points again: node 1 wins for 0.2 (cfv 1/1.001 against
  % 0.6/1.001), node 2 for 0.6. Per pattern 2 x (2M+2) + 2 FLOPs and 2 x 2M + 2 + 1 comparisons;
  % the total starts at 2M + 5: 27 FLOPs, 14 comparisons.
  [text, P] = call_with_text (@vorla_eval, {T, NL, 1, 0, 0.001, 0, [0.2; 0.6], -1, 1}, 1);
  check (isequal (P, [1; 2]), "worked classification: predictions");
  check (! isempty (regexp (text, "^\nFAM performance phase summary\n0 inactive nodes detected \\(0\\.000000%\\)\n27 FLOPs and 14 comparisons in [01] seconds\n\n$", "once")), ...
         "worked classification: summary");

  % A larger run: two well separated clusters; training converges, and classification of
  % the training set gives back the labels.
  rand ("state", 3);
  X = [0.1 + 0.2 * rand(50, 2); 0.7 + 0.2 * rand(50, 2)];
  y = [ones(50, 1); 2 * ones(50, 1)];
  [T, NL, LP] = expect_fit_ok ({X, y, 2, 0.3, 0.001, 1, 50, 1, 1, 0}, "two clusters");
  check (size (T, 2) == 4 && numel (NL) == rows (T) && LP < 50, "two clusters: shapes and convergence");
  p = expect_eval_ok ({T, NL, 2, 0, 0.001, 0, X, 0, 0}, "two clusters classified");
  check (isequal (p, y), "two clusters: training set classified as labelled");

  % The same training as a batch on two threads, one network per order, the last from given
  % nodes: each network as its own call; a bad order refused with its message.
  orders = {1:100, 100:-1:1, [1:2:100, 1:2:100]};
  out = expect_ok (@vorla_learn, {X, y, 2, [0.3 0.5 0.3], 0.001, 1, 50, 1, 1, 0, 1, 0, {[], [], T}, {[], [], NL}, ...
                                  orders, 2}, 4, "batch on two threads");
  rho = [0.3 0.5 0.3];
  given = {zeros(0, 0), zeros(0, 0), T};
  labels = {zeros(0, 1), zeros(0, 1), NL};
  for k = 1:3
    own = cell (1, 3);
    [own{:}] = vorla_learn (X(orders{k},:), y(orders{k}), 2, rho(k), 0.001, 1, 50, 1, 1, 0, 1, 0, given{k}, labels{k});
    check (iscell (out{1}) && isequal ({out{1}{k}, out{2}{k}, out{3}(k)}, own), sprintf ("batch network %d as its own call", k));
  end
  expect_error (@vorla_learn, "vorla_learn: VORLA_LEARN: ", {X, y, 2, 0.3, 0.001, 1, 50, 1, 1, 0, 1, 0, [], [], {1:101}, 2}, 3, ...
                "15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 100 (Orders{1} does not).", ...
                "batch with a row beyond the patterns");
end

% ---------------------------------------------------------------------------------------
% Helpers

function c = refused_classes ()
  % {message word, value, description}
  c = {{"char", "abc", "char"}, {"cell", {1}, "cell"}, {"struct", struct("a", 1), "struct"}, ...
       {"sparse", sparse([1 0; 0 1]), "sparse"}, {"sparse", sparse(true), "sparse logical"}, ...
       {"function_handle", @sin, "function handle"}, {"unknown", containers.Map(), "classdef object"}, ...
       {"char", "", "empty char"}, {"cell", {}, "empty cell"}};
end

function args = with (args, k, value)
  args{k} = value;
end

function varargout = call (f, args, nout)
  varargout = cell (1, max (nout, 1));
  if (nout == 0)
    f (args{:});
  else
    [varargout{1:nout}] = f (args{:});
  end
end

function varargout = call_with_text (f, args, nout)
  % The printed text, then the outputs.
  out = cell (1, nout);
  text = evalc ("[out{:}] = f (args{:});");
  varargout = [{text}, out];
end

function expect_fit (args, nout, message, what)
  expect_error (@vorla_fit, "vorla_fit: VORLA_FIT: ", args, nout, message, ["fit, " what]);
end

function expect_eval (args, nout, message, what)
  expect_error (@vorla_eval, "vorla_eval: VORLA_EVAL: ", args, nout, message, ["eval, " what]);
end

function expect_error (f, prefix, args, nout, message, what)
  lastwarn ("");
  try
    call (f, args, nout);
    record (false, what, sprintf ("no error; expected \"%s\"", message));
    return;
  catch err
    if (! strcmp (err.message, [prefix message]))
      record (false, what, sprintf ("message \"%s\"; expected \"%s\"", err.message, [prefix message]));
      return;
    end
  end
  record (isempty (lastwarn ()), what, sprintf ("warning \"%s\"", lastwarn ()));
end

function varargout = expect_fit_ok (args, what)
  varargout = expect_ok (@vorla_fit, args, 3, ["fit, " what]);
  if (! isempty (varargout{1}) || ! isempty (varargout{2}))
    [T, NL, LP] = varargout{:};
    check (isa (T, "double") && columns (T) == 2 * columns (args{1}) && isequal (size (NL), [rows(T) 1]) ...
           && isscalar (LP), ["fit, " what ": output shapes"]);
  end
end

function p = expect_eval_ok (args, what)
  out = expect_ok (@vorla_eval, args, 1, ["eval, " what]);
  p = out{1};
  check (isa (p, "double") && isequal (size (p), [rows(args{7}) 1]), ["eval, " what ": output shape"]);
end

function out = expect_ok (f, args, nout, what)
  out = cell (1, nout);
  lastwarn ("");
  try
    [out{:}] = call (f, args, nout);
    record (isempty (lastwarn ()), what, sprintf ("warning \"%s\"", lastwarn ()));
  catch err
    record (false, what, sprintf ("error \"%s\"", err.message));
  end
end

function check (ok, what)
  record (ok, what, "check failed");
end

function record (ok, what, why)
  global results;
  if (ok)
    results.passed += 1;
  else
    results.failed += 1;
    printf ("FAILED %s: %s\n", what, why);
  end
end
