% VORLA_FIT  Train a Fuzzy ARTMAP classifier whose category nodes are boxes.
%
%   [Templates, NLabels, list_presentations] = vorla_fit (Patterns, PLabels,
%       D, vigilance, alpha, learning_rate, max_list_presentations,
%       trim_option, ct_option, oflag)
%
%   Builds category nodes from labelled training patterns. Every node is an
%   axis-parallel box in feature space, kept as a lower and an upper corner,
%   and carries one class label. The whole list of patterns is presented
%   again and again (one pass is a "list presentation") until a pass creates
%   no node and changes no box (the run has converged), or until
%   max_list_presentations passes have been made (the run has stopped).
%
%   For a pattern x and the box B of a node, with size(B) the sum over the
%   features of (upper - lower) and B+x the smallest box holding B and x:
%     MFV, match value    (D - size(B+x)) / D
%     CFV, choice value   (D - size(B+x)) / (alpha + D - size(B))
%   A node takes part in the search when its MFV reaches the vigilance level
%   (vigilance test, VT) and, with ct_option 1, its CFV reaches Tu (the CT).
%   The candidate with the greatest CFV wins; the earlier node wins a tie.
%   A winner with the pattern's label learns the pattern (its box grows
%   toward it). A winner with another label starts match tracking (MT): the
%   vigilance level for this pattern rises to that node's MFV and the search
%   goes on among the nodes that match strictly better. When no node is
%   left, the pattern becomes a new node, the point box [x x].
%   Both tests of training allow a tolerance of 1e-7 in the node's favour.
%
%   Inputs
%     Patterns    N x M matrix, one training pattern per row, one feature per
%                 column; no NaN or Inf. Scale every feature into [0, 1]
%                 (see vorla_scale) and take D = M.
%     PLabels     N class labels, an N x 1 or 1 x N vector of whole numbers
%                 in the 32-bit integer range. Node labels are the labels
%                 truncated toward zero, so a label with a fractional part
%                 never matches one, and its pattern makes a new node in
%                 every pass.
%     D           size of the input space, a scalar >= 0: the sum of the
%                 feature ranges, M for features in [0, 1]. A box whose size
%                 would exceed D has a negative MFV and never takes a
%                 pattern.
%     vigilance   baseline vigilance in [0, 1]: the least MFV a node needs
%                 to take a pattern, that is the largest box allowed,
%                 (1 - vigilance) * D. 0 allows any box within the space;
%                 values near 1 allow small boxes only, and so many nodes.
%     alpha       choice parameter, >= 0, usually small (0.001). Among the
%                 boxes that hold a pattern it makes the smaller box win;
%                 with 0 all of them score a CFV of 1 and the earliest wins.
%     learning_rate  in (0, 1]. 1 is fast learning: the winning box grows
%                 just enough to hold the pattern. A smaller rate moves each
%                 corner only that fraction of the way toward the pattern
%                 (slow learning), so the same pattern moves it again in the
%                 next pass. The corner creeps toward the pattern until the
%                 step rounds back to the corner itself; a pass in which no
%                 corner value changes converges, so slow runs converge too,
%                 though after many passes.
%     max_list_presentations  the most passes to make, a whole number >= 1
%                 (truncated toward zero). Inf, or any value of 2^31 or
%                 more, caps the run at 2147483647 passes.
%     trim_option 0 or 1. With 1, a converged run leaves out the inactive
%                 nodes: those that no pattern selected, outside match
%                 tracking, in the last pass. A run that stopped at the cap
%                 is never trimmed (the summary says so).
%     ct_option   0 or 1. With 1 a node must also pass the CT: its CFV must
%                 reach Tu = D / (alpha + 2*D), the choice value of an
%                 uncommitted node (a node that has learned nothing yet).
%                 A node chosen less strongly than a new node would be is
%                 passed over, and the pattern makes a node of its own.
%     oflag       trace level, 0 to 4; each level prints all that the one
%                 below it prints:
%                 0  nothing.
%                 1  the summary at the end: "converged" or "stopped" after
%                    how many list presentations; for a converged run the
%                    inactive nodes (detected, or trimmed) and their share
%                    of all nodes (printed as "redundacy"); the nodes handed
%                    back and how much less (compression) or more
%                    (inflation) room they take than the patterns; the
%                    FLOPs, comparisons and seconds of the run.
%                 2  one line per list presentation: "List presentation #p:
%                    a new nodes created, b node updates".
%                 3  instead of that line, a header per list presentation,
%                    one line per pattern (created, updated or selected
%                    node #k, "during MT" when match tracking was engaged)
%                    and the pass's "Summary:" line.
%                 4  also, per pattern, "Pattern #j is being presented", one
%                    line per node ("fails VT" with its MFV and rho, "fails
%                    CT" with its CFV and Tu, or "is candidate" with its CFV)
%                    and one line per match tracking step ("misclassifies
%                    pattern #j - Engage MT (set rho=...)").
%
%   Outputs
%     Templates   K x 2M, one row per node in creation order: the lower
%                 corner followed by the upper corner.
%     NLabels     K x 1, the label of each node.
%     list_presentations  the number of passes made. A converged run does
%                 not count its last pass, the one that changed nothing; a
%                 stopped run counts max_list_presentations.
%   Exactly three outputs must be requested.
%
%   Any numeric class and logical are accepted and read as double (of a
%   complex array only the real part); char, cell, struct, sparse arrays and
%   function handles are refused. The first bad input ends the call with an
%   error that names it, such as
%     VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0].
%   Neither Octave nor current MATLAB keeps a FLOP counter, so the counts
%   show in the summary only.
%
%   Ctrl-C stops a running call within a fraction of a second (it is
%   checked between patterns). The call assigns no output and frees what
%   it held. In Octave it hands the interrupt back, and Octave stops the
%   whole statement or script as it does for its own functions: a
%   try/catch around the call does not catch it, so a loop that catches
%   the errors of each call does not swallow it and go on. MATLAB documents
%   no way for a MEX function to hand an interrupt back, so there the call
%   ends with the error 'VORLA_FIT: Interrupted by the user.' (identifier
%   vorla:interrupted), which a try/catch does catch: a loop that catches
%   errors should rethrow that one. The MATLAB behaviour is untested (the
%   project has no MATLAB), and its check for Ctrl-C, utIsInterruptPending,
%   is undocumented. The workspace is kept, and the next call runs
%   normally.
%
%   SIGTERM and SIGHUP (sent by timeout, kill, batch schedulers) end a
%   running call within a second, and Octave ends as it does for them. On
%   the way out Octave saves the whole workspace, data included, to
%   octave-workspace in the working folder, --norc or not; calling
%   crash_dumps_octave_core (false) first (in ~/.octaverc, or at the top
%   of a script) keeps it from doing so.
%
%   Example: two points of two classes; the second point meets the first
%   node, which has the wrong label, and becomes a node of its own.
%     [T, L, n] = vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%     % T = [0.2 0.2; 0.6 0.6], L = [1; 2], n = 1
%
%   See also: vorla_eval, vorla_train (options by name, any labels, voting),
%   vorla_crossval, vorla_scale, vorla_plot_boxes, vorla_demo.

%!shared X, y
%! X = [0.2; 0.6];
%! y = [1; 2];

%!test
%! [T, L, n] = vorla_fit (X, y, 1, 0, 0.001, 1, 10, 0, 0, 0);
%! assert (T, [0.2 0.2; 0.6 0.6]);
%! assert (L, [1; 2]);
%! assert (n, 1);
%! assert ({class(T), class(L), class(n)}, {"double", "double", "double"});

%!test
%! ## the trace of the run above, level by level
%! summary = ["\nFAM training converged after 1 list presentation\n", ...
%!            "0 inactive nodes detected (0.000000% redundacy)\n", ...
%!            "2 nodes created (100.000000% inflation)\n", ...
%!            "28 FLOPs and 21 comparisons in # seconds\n\n"];
%! level3 = ["\nList presentation #1:\n", ...
%!           "   Pattern #1 created  node #1 (label 1)\n", ...
%!           "   Pattern #2 created  node #2 (label 2) during MT\n", ...
%!           "   Summary: 2 new nodes created, 0 node updates\n", ...
%!           "\nList presentation #2:\n", ...
%!           "   Pattern #1 selected node #1 (label 1)\n", ...
%!           "   Pattern #2 selected node #2 (label 2)\n", ...
%!           "   Summary: 0 new nodes created, 0 node updates\n"];
%! level2 = ["List presentation #1: 2 new nodes created, 0 node updates\n", ...
%!           "List presentation #2: 0 new nodes created, 0 node updates\n"];
%! trace = cell (1, 5);
%! for level = 0:4
%!   text = evalc ("[T, L, n] = vorla_fit (X, y, 1, 0, 0.001, 1, 10, 0, 0, level);");
%!   trace{level+1} = regexprep (text, "in \\d+ seconds", "in # seconds");
%!   assert (T, [0.2 0.2; 0.6 0.6]);
%! endfor
%! assert (trace{1}, "");
%! assert (trace{2}, summary);
%! assert (trace{3}, [level2, summary]);
%! assert (trace{4}, [level3, summary]);
%! pattern2 = ["\nList presentation #1:\n", ...
%!             "   Pattern #1 is being presented (label 1)\n", ...
%!             "   Pattern #1 created  node #1 (label 1)\n", ...
%!             "   Pattern #2 is being presented (label 2)\n", ...
%!             "      Node #1 is candidate (CFV=0.599401)\n", ...
%!             "      Node #1 (label 1) misclassifies pattern #2 - Engage MT (set rho=0.600000)\n", ...
%!             "   Pattern #2 created  node #2 (label 2) during MT\n"];
%! assert (strncmp (trace{5}, pattern2, numel (pattern2)));
%! assert (numel (strfind (trace{5}, "is candidate")), 5);
%! assert (strcmp (trace{5}(end-numel(summary)+1:end), summary));

%!test
%! ## fast and slow learning of one box
%! [T, L, n] = vorla_fit ([0.25; 0.5; 1], [3; 3; 3], 1, 0, 0.001, 1, 100, 0, 0, 0);
%! assert ({T, L, n}, {[0.25 1], 3, 1});
%! [T, L, n] = vorla_fit ([0.25; 0.5; 1], [3; 3; 3], 1, 0, 0.001, 0.5, 3, 0, 0, 0);
%! assert (n, 3);
%! assert (rows (T), 1);
%! assert (T(1) >= 0.25 && T(2) < 1);

%!test
%! ## the CT passes over a node that is chosen less than a new node would be
%! [T, L, ~] = vorla_fit ([0; 0.9], [1; 1], 1, 0, 0.001, 1, 10, 0, 0, 0);
%! assert ({T, L}, {[0 0.9], 1});
%! [T, L, ~] = vorla_fit ([0; 0.9], [1; 1], 1, 0, 0.001, 1, 10, 0, 1, 0);
%! assert ({T, L}, {[0 0; 0.9 0.9], [1; 1]});

%!test
%! ## vigilance: 0.7 allows boxes up to 0.3 wide, with a tolerance of 1e-7
%! [T, ~, ~] = vorla_fit ([0; 0.3 + 0.5e-7], [1; 1], 1, 0.7, 0.001, 1, 10, 0, 0, 0);
%! assert (T, [0 0.3 + 0.5e-7]);
%! [T, ~, ~] = vorla_fit ([0; 0.3 + 2e-7], [1; 1], 1, 0.7, 0.001, 1, 10, 0, 0, 0);
%! assert (T, [0 0; 0.3 + 2e-7, 0.3 + 2e-7]);

%!test
%! ## node 1 loses all its patterns to later, smaller boxes and is trimmed
%! P = [1; 0; 0.8; 0.5];
%! c = [2; 2; 1; 2];
%! [T, L, n] = vorla_fit (P, c, 1, 0, 0.001, 1, 100, 0, 0, 0);
%! assert ({T, L, n}, {[0 1; 0.8 0.8; 0 0.5; 1 1], [2; 1; 2; 2], 2});
%! text = evalc ("[T, L, n] = vorla_fit (P, c, 1, 0, 0.001, 1, 100, 1, 0, 1);");
%! assert ({T, L, n}, {[0.8 0.8; 0 0.5; 1 1], [1; 2; 2], 2});
%! assert (! isempty (strfind (text, ["1 inactive node trimmed (25.000000% redundacy)\n", ...
%!                                    "3 nodes created (50.000000% inflation)\n"])));
%! ## a run cut short keeps every node
%! text = evalc ("[T, L, n] = vorla_fit (P, c, 1, 0, 0.001, 1, 1, 1, 0, 1);");
%! assert ({rows(T), n}, {3, 1});
%! assert (! isempty (strfind (text, ["FAM training stopped after 1 list presentation\n", ...
%!                                    "Trimming option ignored due to lack of convergence.\n"])));

%!test
%! ## converged fast learning leaves every training pattern inside a box of its label
%! rand ("state", 7);
%! P = rand (300, 3);
%! c = 1 + (sum (P, 2) > 1.5) + (P(:,1) > 0.7);
%! [T, L, n] = vorla_fit (P, c, 3, 0.2, 0.001, 1, 1000, 0, 0, 0);
%! assert (n < 1000);
%! assert (size (T), [numel(L), 6]);
%! for i = 1:rows (P)
%!   inside = all (T(:,1:3) <= P(i,:), 2) & all (P(i,:) <= T(:,4:6), 2);
%!   assert (any (inside & L == c(i)));
%! endfor

%!test
%! ## classes other than double give the same model
%! P = [0 0; 4 1; 1 3; 4 4; 2 2];
%! c = [1; 2; 1; 2; 1];
%! [T, L, n] = vorla_fit (P, c, 8, 0, 0.001, 1, 100, 0, 0, 0);
%! [T8, L8, n8] = vorla_fit (uint8 (P), int16 (c), single (8), 0, 0.001, true, 100, 0, 0, 0);
%! assert ({T8, L8, n8}, {T, L, n});
%! assert (class (T8), "double");

%!test
%! ## no patterns: a converged run without nodes
%! [T, L, n] = vorla_fit (zeros (0, 2), zeros (0, 1), 2, 0, 0.001, 1, 10, 0, 0, 0);
%! assert ({size(T), size(L), n}, {[0 4], [0 1], 0});

%!test
%! ## a label with a fractional part never matches its node
%! [T, L, n] = vorla_fit ([0.5], [1.5], 1, 0, 0.001, 1, 4, 0, 0, 0);
%! assert ({rows(T), L', n}, {4, [1 1 1 1], 4});

%!error <VORLA_FIT: 10 input arguments required\.> vorla_fit ([0.2; 0.6], [1; 2])
%!error <VORLA_FIT: 3 output arguments required\.> [T, L] = vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 1st input argument \(Patterns\) must be  a two dimensional array \(matrix\)\.> vorla_fit (ones (2, 1, 2), [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 1st input argument \(Patterns\) must be a full numeric or logical array, not char\.> vorla_fit ("ab", [1 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 1st input argument \(Patterns\) must not contain NaN or Inf values\.> vorla_fit ([0.2; NaN], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 2nd input argument \(PLabels\) must be of type  2x1 or 1x2\.> vorla_fit ([0.2; 0.6], [1 2 3], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 2nd input argument \(PLabels\) must hold finite labels in the 32-bit integer range\.> vorla_fit ([0.2; 0.6], [1; Inf], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 3rd input argument \(D\) must be non-negative\.> vorla_fit ([0.2; 0.6], [1; 2], -1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 4th input argument \(vigilance\) must be in \[0\.0, 1\.0\]\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 1.5, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 5th input argument \(alpha\) must be a scalar\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, ones (2), 1, 10, 0, 0, 0)
%!error <VORLA_FIT: 6th input argument \(learning_rate\) must be in \(0\.0, 1\.0\]\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 0, 10, 0, 0, 0)
%!error <VORLA_FIT: 7th input argument \(max_list_presentations\) must  be greater than 0\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 0.9, 0, 0, 0)
%!error <VORLA_FIT: 8th input argument \(trim_option\) must be either 0 or 1\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 2, 0, 0)
%!error <VORLA_FIT: 9th input argument \(ct_option\) must be either 0 or 1\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, NaN, 0)
%!error <VORLA_FIT: 10th input argument must be scalar\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, ones (2, 3))
%!error <VORLA_FIT: 10th input argument \(oflag\) must be 0,1,2,3 or 4\.> vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 5)

%!demo
%! ## two classes of points in the unit square, split by the line x + y = 1
%! rand ("state", 1);
%! P = rand (200, 2);
%! c = 1 + (sum (P, 2) > 1);
%! [T, L, n] = vorla_fit (P, c, 2, 0, 0.001, 1, 100, 0, 0, 1);
%! printf ("%d nodes after %d list presentations\n", numel (L), n);
%! vorla_plot_boxes (T, L, P, c);
%! title ("Boxes of a model trained on 200 points");
