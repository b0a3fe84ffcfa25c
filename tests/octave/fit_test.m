function fit_test ()
  % vorla_fit in the real host: the two-pattern worked run, label orientations and
  % classes, and error messages as Octave shows them.
  r = [];

  P = [0.2; 0.6]; L = [1; 2];
  [T, NL, LP] = vorla_fit (P, L, 1, 0, 0.001, 1, 10, 0, 0, 0);
  r(end+1) = check_case ("worked run templates", isequal (T, [0.2 0.2; 0.6 0.6]));
  r(end+1) = check_case ("worked run labels", isequal (NL, [1; 2]));
  r(end+1) = check_case ("worked run presentations", isequal (LP, 1) && isa (LP, "double"));

  expected = ["\nList presentation #1:\n" ...
              "   Pattern #1 is being presented (label 1)\n" ...
              "   Pattern #1 created  node #1 (label 1)\n" ...
              "   Pattern #2 is being presented (label 2)\n" ...
              "      Node #1 is candidate (CFV=0.599401)\n" ...
              "      Node #1 (label 1) misclassifies pattern #2 - Engage MT (set rho=0.600000)\n" ...
              "   Pattern #2 created  node #2 (label 2) during MT\n" ...
              "   Summary: 2 new nodes created, 0 node updates\n" ...
              "\nList presentation #2:\n" ...
              "   Pattern #1 is being presented (label 1)\n" ...
              "      Node #1 is candidate (CFV=0.999001)\n" ...
              "      Node #2 is candidate (CFV=0.599401)\n" ...
              "   Pattern #1 selected node #1 (label 1)\n" ...
              "   Pattern #2 is being presented (label 2)\n" ...
              "      Node #1 is candidate (CFV=0.599401)\n" ...
              "      Node #2 is candidate (CFV=0.999001)\n" ...
              "   Pattern #2 selected node #2 (label 2)\n" ...
              "   Summary: 0 new nodes created, 0 node updates\n" ...
              "\nFAM training converged after 1 list presentation\n" ...
              "0 inactive nodes detected (0.000000% redundacy)\n" ...
              "2 nodes created (100.000000% inflation)\n" ...
              "28 FLOPs and 21 comparisons in N seconds\n\n"];
  txt = evalc ("[T4, NL4, LP4] = vorla_fit (P, L, 1, 0, 0.001, 1, 10, 0, 0, 4);");
  txt = regexprep (txt, 'in \d+ seconds', 'in N seconds');
  r(end+1) = check_case ("worked run trace at level 4", strcmp (txt, expected), txt);
  r(end+1) = check_case ("trace level changes no result", isequal (T4, T) && isequal (NL4, NL) && isequal (LP4, LP));

  [T1, NL1, ~] = vorla_fit (P, L', 1, 0, 0.001, 1, 10, 0, 0, 0);
  r(end+1) = check_case ("1 x N labels", isequal (T1, T) && isequal (NL1, NL));
  [T2, NL2, ~] = vorla_fit (single (P), int32 (L), 1, 0, 0.001, 1, 10, 0, 0, 0);
  r(end+1) = check_case ("single patterns, int32 labels", isequal (T2, double (single (T))) && isequal (NL2, NL));
  [T3, NL3, LP3] = vorla_fit (P, L, [1 5], 0, 0.001, 1, 1.9, 1.5, -0.5, 4.99 * [1 1]);
  r(end+1) = check_case ("vector scalars and truncated options", isequal (NL3, NL) && LP3 == 1);
  [T5, NL5, ~] = vorla_fit (complex (P, [3; 4]), L, 1, 0, 0.001, 1, 10, 0, 0, 0);
  r(end+1) = check_case ("complex patterns: real part", isequal (T5, T));
  [T6, NL6, LP6] = vorla_fit (zeros (0, 2), zeros (0, 1), 1, 0, 0.001, 1, 10, 0, 0, 0);
  r(end+1) = check_case ("no patterns", isequal (size (T6), [0 4]) && isequal (size (NL6), [0 1]) && LP6 == 0);

  args = {P, L, 1, 0, 0.001, 1, 10, 0, 0, 0};
  errors = {
    {1}, "VORLA_FIT: 10 input arguments required."
    {args{:}, 1}, "VORLA_FIT: 10 input arguments required."
    {ones(2, 1, 2), L, args{3:end}}, "VORLA_FIT: 1st input argument (Patterns) must be  a two dimensional array (matrix)."
    {[0.2; NaN], L, args{3:end}}, "VORLA_FIT: 1st input argument (Patterns) must not contain NaN or Inf values."
    {"ab", L, args{3:end}}, "VORLA_FIT: 1st input argument (Patterns) must be a full numeric or logical array, not char."
    {sparse(P), L, args{3:end}}, "VORLA_FIT: 1st input argument (Patterns) must be a full numeric or logical array, not sparse."
    {zeros(0, 3e9), zeros(0, 1), args{3:end}}, "VORLA_FIT: 1st input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns."
    {P, ones(1, 1, 2), args{3:end}}, "VORLA_FIT: 2nd input argument (PLabels) must a vector."
    {P, [1 2; 3 4], args{3:end}}, "VORLA_FIT: 2nd input argument (PLabels) must be of type  2x1 or 1x2."
    {P, {1, 2}, args{3:end}}, "VORLA_FIT: 2nd input argument (PLabels) must be a full numeric or logical array, not cell."
    {P, [1; 3e9], args{3:end}}, "VORLA_FIT: 2nd input argument (PLabels) must hold finite labels in the 32-bit integer range."
    {P, L, ones(3, 2), args{4:end}}, "VORLA_FIT: 3rd input argument (D) must be a scalar."
    {P, L, zeros(1, 0), args{4:end}}, "VORLA_FIT: 3rd input argument (D) must be a scalar."
    {P, L, -1, args{4:end}}, "VORLA_FIT: 3rd input argument (D) must be non-negative."
    {P, L, 1, 1.01, args{5:end}}, "VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0]."
    {P, L, 1, struct(), args{5:end}}, "VORLA_FIT: 4th input argument (vigilance) must be a full numeric or logical array, not struct."
    {P, L, 1, 0, -0.1, args{6:end}}, "VORLA_FIT: 5th input argument (alpha) must be non-negative."
    {P, L, 1, 0, 0.001, 0, args{7:end}}, "VORLA_FIT: 6th input argument (learning_rate) must be in (0.0, 1.0]."
    {P, L, 1, 0, 0.001, @sin, args{7:end}}, "VORLA_FIT: 6th input argument (learning_rate) must be a full numeric or logical array, not function_handle."
    {P, L, 1, 0, 0.001, 1, 0.9, args{8:end}}, "VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0."
    {P, L, 1, 0, 0.001, 1, NaN, args{8:end}}, "VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0."
    {P, L, 1, 0, 0.001, 1, 10, 2, args{9:end}}, "VORLA_FIT: 8th input argument (trim_option) must be either 0 or 1."
    {P, L, 1, 0, 0.001, 1, 10, 0, Inf, 0}, "VORLA_FIT: 9th input argument (ct_option) must be either 0 or 1."
    {P, L, 1, 0, 0.001, 1, 10, 0, 0, ones(1, 1, 2)}, "VORLA_FIT: 10th input argument (oflag) must be scalar."
    {P, L, 1, 0, 0.001, 1, 10, 0, 0, []}, "VORLA_FIT: 10th input argument must be scalar."
    {P, L, 1, 0, 0.001, 1, 10, 0, 0, zeros(1, 0)}, "VORLA_FIT: 10th input argument (oflag) must be scalar."
    {P, L, 1, 0, 0.001, 1, 10, 0, 0, ones(2, 3)}, "VORLA_FIT: 10th input argument must be scalar."
    {P, L, 1, 0, 0.001, 1, 10, 0, 0, 5}, "VORLA_FIT: 10th input argument (oflag) must be 0,1,2,3 or 4."
    {P, L, 1, ones(2), args{5:end}}, "VORLA_FIT: 4th input argument (vigilance) must be a scalar."
    {P, L, 1, 0, ones(2), args{6:end}}, "VORLA_FIT: 5th input argument (alpha) must be a scalar."
    {P, L, 1, 0, 0.001, ones(2), args{7:end}}, "VORLA_FIT: 6th input argument (learning_rate) must be a scalar."
    {P, L, 1, 0, 0.001, 1, ones(2), args{8:end}}, "VORLA_FIT: 7th input argument (max_list_presentations) must be a scalar."
    {P, L, 1, 0, 0.001, 1, 10, ones(2), args{9:end}}, "VORLA_FIT: 8th input argument (trim_option) must be a scalar."
    {P, L, 1, 0, 0.001, 1, 10, 0, ones(2), 0}, "VORLA_FIT: 9th input argument (ct_option) must be a scalar."
  };
  for k = 1:rows (errors)
    a = errors{k, 1};
    try
      [x, y, z] = vorla_fit (a{:});
      got = "";
    catch err
      got = err.message;
    end
    r(end+1) = check_case (sprintf ("error %d", k), strcmp (got, ["vorla_fit: " errors{k, 2}]), got);
  end
  for nout = [1 2]
    try
      out = cell (1, nout);
      [out{:}] = vorla_fit (args{:});
      got = "";
    catch err
      got = err.message;
    end
    r(end+1) = check_case (sprintf ("%d outputs", nout), strcmp (got, "vorla_fit: VORLA_FIT: 3 output arguments required."), got);
  end

  printf ("%d passed, %d failed\n", sum (r), sum (! r));
  if (! all (r))
    error ("fit_test: %d failed", sum (! r));
  end
end
