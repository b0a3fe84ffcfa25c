function eval_test ()
  % vorla_eval in the real host: the worked example at every trace level, error
  % messages as Octave shows them, and a round trip from training.
  r = [];
  T = [0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9]; NL = [1; 2];
  args = {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0};
  summary = ["\nFAM performance phase summary\n" ...
             "1 inactive node detected (50.000000%)\n" ...
             "22 FLOPs and 10 comparisons in N seconds\n\n"];
  levels = {"", summary, ...
            ["\nList presentation of 1 patterns:\n" ...
             "   Pattern #1 selected by node #1 and classified as '1'\n" summary], ...
            ["\nList presentation of 1 patterns:\n" ...
             "   Pattern #1 is being presented\n" ...
             "      Node #1 is candidate (CFV=0.993789)\n" ...
             "      Node #2 fails VT (MFV=0.350000 < rho=0.500000)\n" ...
             "   Pattern #1 selected by node #1 and classified as '1'\n" summary]};
  for level = 0:3
    a = args; a{9} = level;
    txt = evalc ("pred = vorla_eval (a{:});");
    txt = regexprep (txt, 'in \d+ seconds', 'in N seconds');
    r(end+1) = check_case (sprintf ("worked example at level %d", level), isequal (pred, 1) && strcmp (txt, levels{level + 1}), txt);
  end

  a = args; a{7} = [0.2 0.3; 5 5; NaN 0]; a{8} = 2.7;
  r(end+1) = check_case ("unknown label, truncated", isequal (vorla_eval (a{:}), [1; 2; 2]));
  a{2} = NL'; a{8} = -1;
  r(end+1) = check_case ("1 x K labels", isequal (vorla_eval (a{:}), [1; -1; -1]));
  a{1} = [T, [7; 7]];
  r(end+1) = check_case ("odd column count", isequal (vorla_eval (a{:}), [1; -1; -1]));
  a{1} = int8 (T * 10) / 10; a{7} = single ([0.2 0.3]);
  r(end+1) = check_case ("other classes are converted", isequal (vorla_eval (a{:}), 1));

  T0 = T; NL0 = NL;
  for k = 1:3
    p = vorla_eval (args{:});
  end
  r(end+1) = check_case ("inputs unchanged", isequal (T, T0) && isequal (NL, NL0));

  rand ("state", 3);
  X = rand (200, 2); Y = 1 + (sum ((X - 0.5) .^ 2, 2) < 0.1);
  [Tf, NLf, ~] = vorla_fit (X, Y, 2, 0, 0.001, 1, 100, 0, 0, 0);
  Xt = rand (300, 2);
  whole = vorla_eval (Tf, NLf, 2, 0, 0.001, 0, Xt, 0, 0);
  parts = [vorla_eval(Tf, NLf, 2, 0, 0.001, 0, Xt(1:123, :), 0, 0); vorla_eval(Tf, NLf, 2, 0, 0.001, 0, Xt(124:end, :), 0, 0)];
  r(end+1) = check_case ("chunks classify as the whole", isequal (whole, parts));
  r(end+1) = check_case ("training patterns classify as their labels", isequal (vorla_eval (Tf, NLf, 2, 0, 0.001, 0, X, 0, 0), Y));

  % Many nodes of about one size at vigilance 0: without a summary only the winner is
  % sought, through the bound on the choice value; with one, every node is counted. Both
  % give the same labels, also to the patterns far outside every box.
  rand ("state", 4);
  E = 0.5 + rand (3000, 4); E = E .* ((1.6 - 0.02 * rand (3000, 1)) ./ sum (E, 2));
  lower = (1 - E) .* rand (3000, 4); B = [lower, lower + E]; NB = mod ((1:3000)', 5);
  Xb = [rand(3000, 4); 3 + rand(300, 4)];
  for ct = 0:1
    quiet = vorla_eval (B, NB, 4, 0, 0.001, ct, Xb, -1, 0);
    evalc ("counted = vorla_eval (B, NB, 4, 0, 0.001, ct, Xb, -1, 1);");
    r(end+1) = check_case (sprintf ("winners alone as with counts, ct_option %d", ct), isequal (quiet, counted));
  end

  errors = {
    {1}, "VORLA_EVAL: 9 input arguments required."
    {ones(2,4,2), args{2:end}}, "VORLA_EVAL: 1st input argument (Templates) must be  a two dimensional array (matrix)."
    {[T(1:3), Inf; T(2, :)], args{2:end}}, "VORLA_EVAL: 1st input argument (Templates) must not contain NaN or Inf values."
    {T, [1;2;3], args{3:end}}, "VORLA_EVAL: 2nd input argument (NLabels) must be of type  2x1 or 1x2."
    {T, {1;2}, args{3:end}}, "VORLA_EVAL: 2nd input argument (NLabels) must be a full numeric or logical array, not cell."
    {T, NL, ones(3,2), args{4:end}}, "VORLA_EVAL: 3rd input argument (D) must be a scalar."
    {T, NL, 2, 1.01, args{5:end}}, "VORLA_EVAL: 4th input argument (vigilance) must be in [0.0, 1.0]."
    {T, NL, 2, 0.5, -0.1, args{6:end}}, "VORLA_EVAL: 5th input argument (alpha) must be non-negative."
    {T, NL, 2, 0.5, 0.01, 2, args{7:end}}, "VORLA_EVAL: 6th input argument (ct_option) must be either 0 or 1."
    {T, NL, 2, 0.5, 0.01, 1, zeros(10,3), 0, 0}, "VORLA_EVAL: 7th input argument (Patterns) must be of type  10x2."
    {T, NL, 2, 0.5, 0.01, 1, "ab", 0, 0}, "VORLA_EVAL: 7th input argument (Patterns) must be a full numeric or logical array, not char."
    {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], NaN, 0}, "VORLA_EVAL: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range."
    {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], 0, ones(1,1,2)}, "VORLA_EVAL: 9th input argument (oflag) must be scalar."
    {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], 0, ones(2,3)}, "VORLA_EVAL: 9th input argument must be scalar."
    {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 4}, "VORLA_EVAL: 9th input argument (oflag) must be 0,1,2 or 3."
    {T, ones(1,2,2), args{3:end}}, "VORLA_EVAL: 2nd input argument (NLabels) must a vector."
    {T, NL, 2, ones(2), args{5:end}}, "VORLA_EVAL: 4th input argument (vigilance) must be a scalar."
    {T, NL, 2, 0.5, ones(2), args{6:end}}, "VORLA_EVAL: 5th input argument (alpha) must be a scalar."
    {T, NL, 2, 0.5, 0.01, ones(2), args{7:end}}, "VORLA_EVAL: 6th input argument (ct_option) must be a scalar."
    {T, NL, 2, 0.5, 0.01, 1, ones(1,2,2), 0, 0}, "VORLA_EVAL: 7th input argument (Patterns) must be  a two dimensional array (matrix)."
    {T, NL, 2, 0.5, 0.01, 1, [0.2 0.3], ones(2), 0}, "VORLA_EVAL: 8th input argument (unknown_label) must be a scalar."
  };
  for k = 1:rows (errors)
    got = raised_message (@vorla_eval, errors{k, 1}{:});
    r(end+1) = check_case (sprintf ("error %d", k), strcmp (got, errors{k, 2}), got);
  end
  try
    [p, q] = vorla_eval (args{:});
    got = "";
  catch err
    got = err.message;
  end
  r(end+1) = check_case ("two outputs", strcmp (got, "vorla_eval: VORLA_EVAL: 1 output argument required."), got);

  printf ("%d passed, %d failed\n", sum (r), sum (! r));
  if (! all (r))
    error ("eval_test: %d failed", sum (! r));
  end
end
