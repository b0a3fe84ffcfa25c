% VORLA_SCORE  Score every class of a box model for every pattern: the best choice value.
%
%   Scores = vorla_score (Templates, NLabels, D, vigilance, alpha,
%       ct_option, Patterns, class_count)
%   Scores = vorla_score (..., class_count, threads)
%   [Scores, Classes] = vorla_score (...)
%   [Scores, Classes] = vorla_score ({T1, T2, ...}, {L1, L2, ...}, D, vigilance,
%       alpha, ct_option, {X1, X2, ...} or X, class_count, threads)
%
%   For each pattern (row of Patterns) and each class c = 1..class_count,
%   the greatest choice value (CFV) among the nodes labelled c that accept
%   the pattern, or 0 when none of them does. The scores rank patterns by
%   class; vorla_predict turns them into choice margins ('Scores',
%   'choice').
%
%   With size(B) the sum over the features of (upper - lower) of a box B,
%   and B+x the smallest box holding B and the pattern x:
%     MFV   (D - size(B+x)) / D
%     CFV   (D - size(B+x)) / (alpha + D - size(B))
%   A node accepts x when its MFV is at least vigilance and, with ct_option
%   1, its CFV is at least D/(alpha + 2*D), exactly as in vorla_eval. An
%   accepting node has a CFV in [0, 1]: 1 - alpha/(alpha + D - size(B)) for a
%   pattern inside its box, falling as the pattern lies farther outside. A
%   CFV that is not a number (0/0: a box of size D with alpha 0) gives no
%   score. A class with no node scores 0 everywhere.
%   A missing feature of x (NaN) lies inside every box there: size(B+x)
%   counts the box's own extent in that feature, so the MFV and the CFV
%   judge a box by the features observed. A pattern with Inf matches no
%   node (scores 0, class 0), as in vorla_eval.
%
%   Classes (N x 1) holds the class that vorla_eval gives each pattern (the
%   label of the accepting node with the greatest CFV, of tied nodes the
%   first), 0 where no node accepts it: the same search gives both, so the
%   labels cost nothing more. With class_count 0 Scores is empty and the
%   classes come alone: each thread times classification's search of every
%   node against the classes' searches on its first 4096 patterns and keeps
%   the faster, so that on one thread they cost what vorla_eval costs or
%   less (the classes are the same either way).
%
%   Inputs
%     Templates, NLabels, D, vigilance, alpha, ct_option, Patterns
%                  as for vorla_eval; NLabels must truncate to class
%                  numbers 1 to class_count (with class_count 0, to whole
%                  numbers from 1).
%     class_count  the number of classes, a whole number >= 0: the columns
%                  of Scores; 0 asks for Classes alone.
%     threads      optional, a whole number >= 0: how many threads share the
%                  patterns, 0 for every core the process may use; 1 (the
%                  default) searches on the calling thread alone. A call too
%                  small for threads to pay runs on one. Scores and Classes
%                  are the same, bit for bit, for any number.
%
%   A batch: Templates and NLabels as cells with one network per entry, and
%   Patterns a cell with one matrix per network or one matrix for all. Then
%   Scores and Classes are cells shaped as Templates, entry k what the call
%   of network k on its patterns gives; the threads share out the networks
%   (each network on one), which pays where each network's call is too
%   small to share its patterns, as when many networks classify held-out
%   parts. Messages name the entry at fault: Templates{2}, Patterns{3}.
%
%   Nothing is printed. Ctrl-C stops a long call. Errors begin with
%   VORLA_SCORE and name the argument at fault.
%
%   Example:
%     T = [0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9];
%     vorla_score (T, [1; 2], 2, 0, 0.01, 0, [0.2 0.3; 0.6 0.6], 2)
%     % 0.9938  0.5785   (node 1 holds the first pattern)
%     % 0.6832  0.9917   (node 2 the second)
%
%   See also: vorla_eval, vorla_predict.

%!shared T, L
%! T = [0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9];
%! L = [1; 2];

%!test
%! ## a batch: each network gets what its own call gives; one matrix for all, or one each
%! X = [0.2 0.3; 0.6 0.6; 0.9 0.1];
%! [s, c] = vorla_score ({T; T(2,:)}, {L, 2}, 2, 0, 0.01, 0, {X, X(1,:)}, 2, 0);
%! [s1, c1] = vorla_score (T, L, 2, 0, 0.01, 0, X, 2);
%! [s2, c2] = vorla_score (T(2,:), 2, 2, 0, 0.01, 0, X(1,:), 2);
%! assert (size (s), [2 1]);
%! assert ({s{1}, s{2}, c{1}, c{2}}, {s1, s2, c1, c2});
%! [~, c] = vorla_score ({T, T(1,:)}, {L, 1}, 2, 0, 0.01, 0, X, 0);
%! assert (c, {c1, [1; 1; 1]});
%!error <Templates\{2\}\) must not contain NaN> vorla_score ({T, [T(1,1:3) NaN]}, {L, 1}, 2, 0, 0.01, 0, [0.2 0.3], 2)
%!error <Patterns\) must be one matrix for every network> vorla_score ({T, T}, {L, L}, 2, 0, 0.01, 0, {[0.2 0.3]}, 2)

%!test
%! ## the worked example: node 1 holds the pattern, node 2 is farther
%! s = vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 2);
%! assert (s, [1.6 / 1.61, (2 - 1.3) / (2 - 0.8 + 0.01)], eps);
%! ## vigilance 0.5 refuses node 2 (MFV 0.35); no node: 0; a missing first feature counts each box's
%! ## own extent there: node 1 size 0.2 + 0.4, node 2 0.4 + 0.9 (MFV 0.35, refused)
%! assert (vorla_score (T, L, 2, 0.5, 0.01, 0, [0.2 0.3; 10 10; NaN 0], 2), ...
%!         [1.6 / 1.61, 0; 0 0; 1.4 / 1.61, 0]);
%! ## the CT (Tu = 2/4.01) keeps node 2's CFV of 0.58 and refuses node 1's 0.1/1.61
%! assert (vorla_score (T, L, 2, 0, 0.01, 1, [0.2 0.3], 2), s);
%! assert (vorla_score (T, L, 2, 0, 0.01, 0, [0.2 1.9], 2), [0.1 / 1.61, 0], eps);
%! assert (vorla_score (T, L, 2, 0, 0.01, 1, [0.2 1.9], 2), [0 0]);
%! ## class 3 has no node; no class, no pattern
%! assert (vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 3)(3), 0);
%! assert (size (vorla_score (zeros (0, 4), zeros (0, 1), 2, 0, 0.01, 0, [1 1], 0)), [1 0]);
%! assert (size (vorla_score (T, L, 2, 0, 0.01, 0, zeros (0, 2), 2)), [0 2]);

%!test
%! ## the best node of each class; the greatest score is vorla_eval's class
%! rand ("state", 2);
%! lo = 0.8 * rand (60, 3);
%! B = [lo, lo + 0.2 * rand(60, 3)];
%! C = 1 + mod ((1:60)', 4);
%! P = rand (400, 3);
%! s = vorla_score (B, C, 3, 0, 0.001, 0, P, 4);
%! lower = reshape (B(:,1:3)', 1, 3, 60);
%! upper = reshape (B(:,4:6)', 1, 3, 60);
%! grown = squeeze (sum (max (P, upper) - min (P, lower), 2));
%! cfv = (3 - grown) ./ (3 - sum (B(:,4:6) - B(:,1:3), 2)' + 0.001);
%! expect = zeros (400, 4);
%! for c = 1:4
%!   expect(:,c) = max (0, max (cfv(:, C == c), [], 2));
%! endfor
%! assert (s, expect, 1e-14);
%! [s2, classes] = vorla_score (B, C, 3, 0.85, 0.001, 1, P, 4);
%! assert (classes, vorla_eval (B, C, 3, 0.85, 0.001, 1, P, 0, 0));
%! assert (any (classes == 0) && any (classes > 0));
%! assert (any (s2, 2), classes > 0);

%!test
%! ## threads share the patterns: the same bits for any number of them
%! rand ("state", 5);
%! lo = 0.8 * rand (700, 4);
%! B = [lo, lo + 0.2 * rand(700, 4)];
%! C = 1 + mod ((1:700)', 3);
%! P = rand (30000, 4);
%! P(7:50:end, 2) = NaN;
%! [s, classes] = vorla_score (B, C, 4, 0.4, 0.001, 0, P, 3);
%! for threads = [0 2 3]
%!   [s2, classes2] = vorla_score (B, C, 4, 0.4, 0.001, 0, P, 3, threads);
%!   assert (isequal (s2, s) && isequal (classes2, classes));
%! endfor
%! ## asked for alone (class_count 0), the same classes, of class numbers with gaps too
%! for threads = [1 2]
%!   [none, alone] = vorla_score (B, 5 * C, 4, 0.4, 0.001, 0, P, 0, threads);
%!   assert (size (none), [30000 0]);
%!   assert (alone, 5 * classes);
%! endfor

%!error <VORLA_SCORE: 8 or 9 input arguments required> vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3])
%!error <VORLA_SCORE: 9th input argument \(threads\) must be a whole number from 0 to 2147483647> vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 2, -1)
%!error <VORLA_SCORE: 2nd input argument \(NLabels\) must hold class numbers 1 to class_count \(1\); entry 2 is not one> vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 1)
%!error <VORLA_SCORE: 2nd input argument \(NLabels\) must hold class numbers from 1; entry 1 is not one> vorla_score (T, [0; 2], 2, 0, 0.01, 0, [0.2 0.3], 0)
%!error <VORLA_SCORE: 8th input argument \(class_count\) must be a whole number> vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 2.5)
%!error <VORLA_SCORE: 7th input argument \(Patterns\) must be of type  1x2> vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3 0], 2)
%!error <VORLA_SCORE: at most 2 output arguments allowed> [a, b, c] = vorla_score (T, L, 2, 0, 0.01, 0, [0.2 0.3], 2)

%!demo
%! ## the best choice value of class 2 over the square, for a model of a circle
%! rand ("state", 3);
%! P = rand (400, 2);
%! c = 1 + (sum ((P - 0.5) .^ 2, 2) < 0.1);
%! [T, L, ~] = vorla_fit (P, c, 2, 0, 0.001, 1, 100, 0, 0, 0);
%! [gx, gy] = meshgrid (linspace (0, 1, 120));
%! [s, classes] = vorla_score (T, L, 2, 0, 0.001, 0, [gx(:), gy(:)], 2);
%! imagesc ([0 1], [0 1], reshape (s(:,2), size (gx)));
%! axis xy equal tight;  colorbar;
%! title (sprintf ("Best choice value of class 2 (%d boxes)", rows (T)));
