% VORLA_EVAL  Classify patterns with a box model trained by vorla_fit.
%
%   Predictions = vorla_eval (Templates, NLabels, D, vigilance, alpha,
%       ct_option, Patterns, unknown_label, oflag)
%
%   Presents every row of Patterns once to all the nodes of a trained model
%   and gives it the label of the node that it selects, or unknown_label
%   when no node accepts it. The model is not changed: there is no learning,
%   no match tracking and no new node.
%
%   For a pattern x and the box B of a node, with size(B) the sum over the
%   features of (upper - lower) and B+x the smallest box holding B and x:
%     MFV, match value    (D - size(B+x)) / D
%     CFV, choice value   (D - size(B+x)) / (alpha + D - size(B))
%   A node accepts the pattern when its MFV is at least vigilance (the
%   vigilance test, VT) and, with ct_option 1, its CFV is at least Tu (the
%   CT). Of the nodes that accept it the one with the greatest CFV wins; the
%   lower-numbered node wins a tie. Unlike training, the tests allow no
%   tolerance.
%
%   Inputs
%     Templates   K x 2M node boxes as vorla_fit returns them, each row the
%                 lower corner followed by the upper corner. No NaN or Inf.
%                 An odd last column is ignored.
%     NLabels     the K node labels (K x 1 or 1 x K), whole numbers in the
%                 32-bit integer range; labels are truncated toward zero.
%     D           size of the input space, a scalar >= 0; use the value the
%                 model was trained with (M for features in [0, 1]). With 0
%                 no node accepts anything.
%     vigilance   in [0, 1], the least MFV a node needs to accept a pattern.
%                 0 lets every box whose enlarged size stays within D take
%                 part; a higher value leaves patterns far from every box
%                 unclassified.
%     alpha       choice parameter, >= 0, as in training (e.g. 0.001): among
%                 the boxes that hold a pattern the smaller one wins.
%     ct_option   0 or 1. With 1 a node must also reach Tu = D/(alpha + 2*D),
%                 the choice value of an uncommitted node (one that has
%                 learned nothing yet).
%     Patterns    N x M matrix of patterns to classify, one per row, scaled
%                 as the training patterns were. NaN or Inf values are
%                 allowed: such a pattern gets unknown_label.
%     unknown_label  the label given to a pattern that no node accepts, a
%                 scalar truncated toward zero into the 32-bit integer range
%                 (e.g. 0 or -1, a value that no class uses).
%     oflag       trace level, 0 to 3; each level prints all that the one
%                 below it prints:
%                 0  nothing.
%                 1  the summary: the number and percentage of inactive
%                    nodes (nodes that classified no pattern of this call),
%                    the number and percentage of patterns that could not
%                    be classified (when there are any), and the FLOPs,
%                    comparisons and seconds of the call.
%                 2  an opening line "List presentation of N patterns:" and
%                    one line per pattern: "selected by node #k and
%                    classified as 'label'" or "could not be classified".
%                 3  also, per pattern, "Pattern #j is being presented" and
%                    one line per node: "fails VT" with its MFV and rho,
%                    "fails CT" with its CFV and Tu, or "is candidate" with
%                    its CFV.
%
%   Output
%     Predictions  N x 1, the label given to each pattern, whole numbers.
%   Exactly one output must be requested (a call without an output variable
%   is refused too).
%
%   Any numeric class and logical are accepted and read as double (of a
%   complex array only the real part); char, cell, struct, sparse arrays and
%   function handles are refused. The first bad input ends the call with an
%   error that names it, such as
%     VORLA_EVAL: 7th input argument (Patterns) must be of type  10x2.
%   Neither Octave nor current MATLAB keeps a FLOP counter, so the counts
%   show in the summary only.
%
%   Ctrl-C stops a running call within a fraction of a second (it is
%   checked between groups of 8 patterns, and within a group when the model
%   is large). The call assigns no output and frees what it held. In Octave
%   it hands the interrupt back, and Octave stops the whole statement or
%   script as it does for its own functions: a try/catch around the call
%   does not catch it, so a loop that catches the errors of each call does
%   not swallow it and go on. MATLAB documents no way for a MEX function to
%   hand an interrupt back, so there the call ends with the error
%   'VORLA_EVAL: Interrupted by the user.' (identifier vorla:interrupted),
%   which a try/catch does catch: a loop that catches errors should rethrow
%   that one. The MATLAB behaviour is untested (the project has no MATLAB),
%   and its check for Ctrl-C, utIsInterruptPending, is undocumented. The
%   workspace is kept, and the next call runs normally.
%
%   SIGTERM and SIGHUP (sent by timeout, kill, batch schedulers) end a
%   running call within a second, and Octave ends as it does for them. On
%   the way out Octave saves the whole workspace, data included, to
%   octave-workspace in the working folder, --norc or not; calling
%   crash_dumps_octave_core (false) first (in ~/.octaverc, or at the top
%   of a script) keeps it from doing so.
%
%   Example: the pattern [0.2 0.3] lies inside the first box.
%     T = [0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9];
%     p = vorla_eval (T, [1; 2], 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%     % p = 1
%
%   See also: vorla_fit, vorla_predict (for a model from vorla_train),
%   vorla_scale, vorla_plot_boxes, vorla_demo.

%!shared T, L
%! T = [0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9];
%! L = [1; 2];

%!test
%! p = vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0);
%! assert (p, 1);
%! assert (class (p), "double");

%!test
%! ## the trace of the example, level by level
%! summary = ["\nFAM performance phase summary\n", ...
%!            "1 inactive node detected (50.000000%)\n", ...
%!            "22 FLOPs and 10 comparisons in # seconds\n\n"];
%! level3 = ["\nList presentation of 1 patterns:\n", ...
%!           "   Pattern #1 is being presented\n", ...
%!           "      Node #1 is candidate (CFV=0.993789)\n", ...
%!           "      Node #2 fails VT (MFV=0.350000 < rho=0.500000)\n", ...
%!           "   Pattern #1 selected by node #1 and classified as '1'\n"];
%! level2 = ["\nList presentation of 1 patterns:\n", ...
%!           "   Pattern #1 selected by node #1 and classified as '1'\n"];
%! trace = cell (1, 4);
%! for level = 0:3
%!   text = evalc ("p = vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, level);");
%!   trace{level+1} = regexprep (text, "in \\d+ seconds", "in # seconds");
%!   assert (p, 1);
%! endfor
%! assert (trace, {"", summary, [level2, summary], [level3, summary]});

%!test
%! ## patterns that no node accepts, and the CT
%! P = [0.2 0.3; 0.7 0.7; 1 0; NaN 0.5];
%! assert (vorla_eval (T, L, 2, 0.5, 0.01, 1, P, -1, 0), [1; 2; -1; -1]);
%! assert (vorla_eval (T, L, 2, 0.5, 0.01, 1, P, 2.7, 0), [1; 2; 2; 2]);
%! assert (vorla_eval (T, L, 2, 0, 0.01, 0, P, -1, 0), [1; 2; 2; -1]);
%! ## with the CT the corner [1 0] is refused: both nodes choose it less than Tu = 2/4.01
%! assert (vorla_eval (T, L, 2, 0, 0.01, 1, P, -1, 0), [1; 2; -1; -1]);
%! text = evalc ("p = vorla_eval (T, L, 2, 0.5, 0.01, 1, P, -1, 1);");
%! assert (! isempty (strfind (text, "unable to classify 2 patterns (50.000000%)\n")));
%! text = evalc ("p = vorla_eval (T, L, 0, 0.5, 0.01, 1, P, -1, 1);");
%! assert (p, [-1; -1; -1; -1]);
%! assert (! isempty (strfind (text, "2 inactive nodes detected (100.000000%)\n")));

%!test
%! ## no tolerance: a box a hair wider than (1 - vigilance) * D refuses even its own points
%! assert (vorla_eval ([0 0.3], 1, 1, 0.7, 0.001, 0, [0.1; 0.2], 0, 0), [1; 1]);
%! assert (vorla_eval ([0 0.3 + 0.5e-7], 1, 1, 0.7, 0.001, 0, [0.1; 0.2], 0, 0), [0; 0]);

%!test
%! ## the smaller box wins; equal boxes go to the lower-numbered node
%! B = [0 1; 0.4 0.6; 0.4 0.6];
%! assert (vorla_eval (B, [1 2 3], 2, 0, 0.001, 0, [0.5; 0.1; 0.9], 0, 0), [2; 1; 1]);
%! ## with alpha 0 every box that holds the pattern scores 1
%! assert (vorla_eval (B, [1 2 3], 2, 0, 0, 0, [0.5; 0.1], 0, 0), [1; 1]);
%! ## labels are truncated toward zero
%! assert (vorla_eval (B([3 2 1],:), [3.9 -2.5 1], 2, 0, 0.001, 0, [0.5; 0.1], 0, 0), [3; 1]);

%!test
%! ## train, then classify: the model reproduces well-separated classes
%! rand ("state", 11);
%! P = [0.4 * rand(60, 2); 0.6 + 0.4 * rand(60, 2)];
%! c = [ones(60, 1); 2 * ones(60, 1)];
%! [Tm, Lm, n] = vorla_fit (P, c, 2, 0, 0.001, 1, 100, 0, 0, 0);
%! assert (vorla_eval (Tm, Lm, 2, 0, 0.001, 0, P, 0, 0), c);
%! Q = [0.2 0.2; 0.9 0.8];
%! assert (vorla_eval (Tm, Lm, 2, 0, 0.001, 0, Q, 0, 0), [1; 2]);

%!test
%! ## classifying in pieces gives the same labels as all at once
%! rand ("state", 5);
%! P = rand (200, 2);
%! c = 1 + (P(:,1) > P(:,2));
%! [Tm, Lm, n] = vorla_fit (P, c, 2, 0, 0.001, 1, 1, 0, 0, 0);
%! Q = rand (500, 2);
%! whole = vorla_eval (Tm, Lm, 2, 0.3, 0.001, 1, Q, 0, 0);
%! parts = [vorla_eval(Tm, Lm, 2, 0.3, 0.001, 1, Q(1:123,:), 0, 0);
%!          vorla_eval(Tm, Lm, 2, 0.3, 0.001, 1, Q(124:end,:), 0, 0)];
%! assert (parts, whole);
%! ## other classes are read as the doubles they hold
%! assert (vorla_eval (single (Tm), int8 (Lm'), 2, 0.3, 0.001, 1, single (Q), 0, 0), ...
%!         vorla_eval (double (single (Tm)), Lm, 2, 0.3, 0.001, 1, double (single (Q)), 0, 0));

%!test
%! ## empty model and empty pattern set
%! assert (vorla_eval (zeros (0, 4), zeros (0, 1), 2, 0, 0.001, 0, [0.5 0.5], 7, 0), 7);
%! assert (size (vorla_eval (T, L, 2, 0, 0.001, 0, zeros (0, 2), 7, 0)), [0 1]);
%! ## an odd last column is ignored
%! assert (vorla_eval ([T, [99; 99]], L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0), 1);

%!error <VORLA_EVAL: 9 input arguments required\.> vorla_eval (T, L, 2)
%!error <VORLA_EVAL: 1 output argument required\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 1 output argument required\.> [p, q] = vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 1st input argument \(Templates\) must not contain NaN or Inf values\.> vorla_eval ([0 NaN], 1, 1, 0, 0.001, 0, 0.5, 0, 0)
%!error <VORLA_EVAL: 1st input argument \(Templates\) must be a full numeric or logical array, not cell\.> vorla_eval ({T}, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 2nd input argument \(NLabels\) must be of type  2x1 or 1x2\.> vorla_eval (T, [1; 2; 3], 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 2nd input argument \(NLabels\) must a vector\.> vorla_eval (T, ones (2, 1, 2), 2, 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 3rd input argument \(D\) must be a scalar\.> vorla_eval (T, L, ones (3, 2), 0.5, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 4th input argument \(vigilance\) must be in \[0\.0, 1\.0\]\.> vorla_eval (T, L, 2, 1.01, 0.01, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 5th input argument \(alpha\) must be non-negative\.> vorla_eval (T, L, 2, 0.5, -0.1, 1, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 6th input argument \(ct_option\) must be either 0 or 1\.> vorla_eval (T, L, 2, 0.5, 0.01, 2, [0.2 0.3], 0, 0)
%!error <VORLA_EVAL: 7th input argument \(Patterns\) must be of type  10x2\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, ones (10, 3), 0, 0)
%!error <VORLA_EVAL: 7th input argument \(Patterns\) must be a full numeric or logical array, not sparse\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, sparse ([0.2 0.3]), 0, 0)
%!error <VORLA_EVAL: 8th input argument \(unknown_label\) must be a finite value in the 32-bit integer range\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], NaN, 0)
%!error <VORLA_EVAL: 9th input argument \(oflag\) must be scalar\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, ones (1, 1, 2))
%!error <VORLA_EVAL: 9th input argument \(oflag\) must be 0,1,2 or 3\.> vorla_eval (T, L, 2, 0.5, 0.01, 1, [0.2 0.3], 0, 4)

%!demo
%! ## decision regions of a model of two classes split by the line x + y = 1
%! rand ("state", 1);
%! P = rand (500, 2);
%! c = 1 + (sum (P, 2) > 1);
%! [T, L, n] = vorla_fit (P, c, 2, 0, 0.001, 1, 100, 0, 0, 0);
%! [gx, gy] = meshgrid (linspace (0, 1, 200));
%! p = vorla_eval (T, L, 2, 0, 0.001, 0, [gx(:), gy(:)], 0, 1);
%! imagesc ([0 1], [0 1], reshape (p, size (gx)));
%! axis xy equal tight;
%! title (sprintf ("Predicted label of a model of %d nodes", numel (L)));
