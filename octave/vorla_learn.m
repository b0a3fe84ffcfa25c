% VORLA_LEARN  Train box nodes as vorla_fit does, with tolerant match tracking, progress and given nodes.
%
%   [Templates, NLabels, list_presentations, history] = vorla_learn (Patterns,
%       PLabels, D, vigilance, alpha, learning_rate, max_list_presentations,
%       trim_option, ct_option, oflag, match_tracking, display, Templates0,
%       NLabels0)
%   [Templates, NLabels, list_presentations] = vorla_learn (the same 10 or 14
%       inputs)
%   [Templates, NLabels, list_presentations, history] = vorla_learn (the 14
%       inputs, Orders, threads)
%
%   The training call of the model layer (vorla_train and its kin). The first
%   ten inputs and the three first outputs are those of vorla_fit, with the
%   same checks, meaning, trace and summary; see "help vorla_fit". The last
%   four inputs may be left out together: then match_tracking and display are
%   0 and training starts from no node, and the call gives vorla_fit's
%   results bit for bit.
%
%   Inputs 11 to 14
%     match_tracking  0 or 1, the rule when the winner of a search carries
%                 another label than the pattern. Both rules raise the
%                 vigilance level for the pattern (rho) to the winner's MFV.
%                 0  strict, as vorla_fit: the search goes on among the nodes
%                    whose MFV is strictly above rho, so every node that
%                    matches as well as the winner drops out with it.
%                 1  tolerant (MT-): the winner alone leaves the search; the
%                    search goes on among the other nodes still in it whose
%                    MFV is at least rho. Equal patterns with different labels
%                    can then be learned: with the strict rule such a pattern
%                    makes a new node in every pass and the run never settles.
%                 Each engagement removes at least the winner, so the search
%                 ends. At oflag 4 the tolerant rule's step reads "... - Engage
%                 MT- (set rho=...)" instead of "... - Engage MT (set ...)".
%                 In the counted comparisons, the strict rule compares every
%                 node still in the search with rho, the winner included; the
%                 tolerant rule does not compare the winner that it removes.
%     display     0 or 1. With 1 one line is printed as each list presentation
%                 ends, whatever oflag is (after its oflag 2 or 3 lines):
%                   vorla_learn: presentation P: K nodes, C created, U changed, S s
%                 P the presentation's number, K the nodes at its end, C the
%                 nodes it created, U the boxes it changed (updates), S the
%                 seconds since the run began, with two decimals. The line
%                 of the presentation that changed nothing adds "; converged
%                 after P-1 list presentations (presentation P changed
%                 nothing)": the count of list_presentations and the summary.
%     Templates0  K0 x 2M, the nodes training starts from, each row a box
%                 [lower upper] as Templates of vorla_fit or vorla_learn; any
%                 numeric class. 0 x 0 (or 0 x 2M) for none. Values must be
%                 finite; a box is otherwise taken as it is, like a template of
%                 vorla_eval (slow learning may leave a lower corner a rounding
%                 step above its upper corner, and such a box comes back in).
%     NLabels0    K0 whole-number labels of those nodes, K0 x 1 or 1 x K0, in
%                 the 32-bit integer range; empty when K0 is 0.
%   The given nodes come first, in their order, and the nodes made by the call
%   follow: node numbers in the trace go on from K0. They take part in every
%   search and learn as any node. They are never trimmed: with trim_option 1 a
%   converged run leaves out only nodes that this call made and that no
%   pattern selected outside match tracking in the last pass. The summary
%   counts those nodes alone as inactive (detected or trimmed), and their
%   share of all nodes as the redundancy. With no patterns (N = 0) the given
%   nodes come back unchanged.
%
%   Missing features. A NaN in Patterns (which vorla_fit refuses) is a
%   feature the pattern says nothing about: it lies inside every box there.
%   The box's own extent counts in its size with the pattern, so the MFV and
%   the CFV judge the box by the features observed; learning moves no corner
%   in that feature; a node made from the pattern is a point in the observed
%   features and open in the missing ones, lower 1 and upper 0, until a
%   pattern with a value there closes it. At oflag 4 the pattern's line adds
%   "k of M features missing". Inf is refused.
%
%   A batch: inputs 15 and 16, given together, train several networks at once,
%   each on its own thread.
%     Orders      a cell array with one vector of row numbers of Patterns per
%                 network: the patterns it learns, in that order (a row may
%                 come more than once, [] is no pattern). The voters of a
%                 model (one order of the same patterns each) and the folds
%                 of a cross-validation (the rows outside the fold) are both
%                 Orders.
%     threads     the threads to run them on: 0 for every core this process
%                 may use (its affinity and CPU quota), 1 for one network
%                 after another on the calling thread as separate calls would
%                 run them; at most one thread per network, at most 1024.
%   vigilance may then hold one value per network (a grid of settings), and
%   Templates0 and NLabels0 may be cells with one entry per network (the
%   networks of a model to go on from); as matrices every network starts from
%   them. Each output then has one entry per network, in the shape of Orders:
%   Templates, NLabels and history are cells, list_presentations a numeric
%   array. Network k gives exactly what vorla_learn gives on Patterns(Orders{k},:)
%   and PLabels(Orders{k}) with its own vigilance and given nodes, whatever
%   threads is; its trace, summary and progress lines are those of that call,
%   and the networks' texts are printed in network order (on more than one
%   thread, once every network has ended). The seconds of the summaries and of
%   the histories are each network's own.
%
%   Outputs
%     Templates, NLabels, list_presentations  as vorla_fit, given nodes first.
%     history     P x 4, one row per list presentation made, the confirming
%                 pass of a converged run included: [nodes at its end, nodes
%                 created, boxes changed, seconds since the run began].
%   Three or four outputs must be requested.
%
%   Errors begin with "VORLA_LEARN:" and name the input, such as
%     VORLA_LEARN: 11th input argument (match_tracking) must be either 0 or 1.
%   Ctrl-C, and a signal that ends Octave (SIGTERM, SIGHUP), stop a running
%   call as for vorla_fit, a batch on every thread.
%
%   Example: fast learning of two parts in turn gives the nodes of one pass
%   over both parts.
%     P = [0.2; 0.6; 0.25; 0.9];  c = [1; 2; 1; 2];
%     [T1, L1, ~] = vorla_learn (P(1:2), c(1:2), 1, 0, 0.001, 1, 1, 0, 0, 0, 0, 0, [], []);
%     [T, L, ~] = vorla_learn (P(3:4), c(3:4), 1, 0, 0.001, 1, 1, 0, 0, 0, 0, 0, T1, L1)
%     % T = [0.2 0.25; 0.6 0.9], L = [1; 2]
%
%   See also: vorla_fit, vorla_train, vorla_eval.

%!test
%! ## without the last four inputs, or with their defaults, the call is vorla_fit's
%! P = [0.2 0.3; 0.6 0.1; 0.25 0.35; 0.9 0.8; 0.5 0.5];
%! c = [1; 2; 1; 2; 1];
%! for lr = [1 0.5]
%!   [T, L, n] = vorla_fit (P, c, 2, 0.3, 0.001, lr, 50, 1, 1, 0);
%!   [T1, L1, n1] = vorla_learn (P, c, 2, 0.3, 0.001, lr, 50, 1, 1, 0);
%!   [T2, L2, n2, h] = vorla_learn (P, c, 2, 0.3, 0.001, lr, 50, 1, 1, 0, 0, 0, [], []);
%!   assert ({T1, L1, n1}, {T, L, n});
%!   assert ({T2, L2, n2}, {T, L, n});
%!   assert (columns (h), 4);
%! endfor

%!test
%! ## the same point with two labels: the tolerant rule settles with a node for each
%! [T, L, n, h] = vorla_learn ([0.5; 0.5], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 1, 0, [], []);
%! assert ({T, L, n}, {[0.5 0.5; 0.5 0.5], [1; 2], 1});
%! assert (h(:,1:3), [2 2 0; 2 0 0]);
%! [T, L, n] = vorla_learn ([0.5; 0.5], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [], []);
%! assert ({rows(T), n}, {11, 10});
%! text = evalc ("[T, L, n] = vorla_learn ([0.5; 0.5], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 4, 1, 0, [], []);");
%! assert (numel (strfind (text, "Engage MT- (set rho=1.000000)")), 2);

%!test
%! ## training on a part and then on the rest from its nodes equals one pass over both
%! rand ("state", 3);
%! P = round (4 * rand (60, 2)) / 4;
%! c = 1 + (rand (60, 1) > 0.5);
%! for rule = 0:1
%!   [T, L, ~] = vorla_learn (P, c, 2, 0.2, 0.001, 1, 1, 0, 0, 0, rule, 0, [], []);
%!   [T1, L1, ~] = vorla_learn (P(1:25,:), c(1:25), 2, 0.2, 0.001, 1, 1, 0, 0, 0, rule, 0, [], []);
%!   [T2, L2, ~] = vorla_learn (P(26:end,:), c(26:end), 2, 0.2, 0.001, 1, 1, 0, 0, 0, rule, 0, single (T1), int32 (L1));
%!   assert ({T2, L2}, {T, L});
%! endfor

%!test
%! ## no patterns: the given nodes come back as they were, never trimmed
%! [T, L, n, h] = vorla_learn (zeros (0, 1), zeros (0, 1), 1, 0, 0.001, 1, 10, 1, 0, 0, 0, 0, [0.1 0.2; 0.4 0.3], [4 -1]);
%! assert ({T, L, n, h(1:3)}, {[0.1 0.2; 0.4 0.3], [4; -1], 0, [2 0 0]});

%!test
%! ## one progress line per pass, whatever oflag is
%! text = evalc ("[T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 1, [], []);");
%! lines = regexp (text, 'vorla_learn: presentation (\d+): (\d+) nodes, (\d+) created, (\d+) changed, \d+\.\d\d s', 'tokens');
%! assert (cellfun (@(t) str2double (t), vertcat (lines{:})), [1 2 2 0; 2 2 0 0]);

%!test
%! ## a batch: each network is the call of its own on its rows, on one thread or several
%! rand ("state", 7);
%! P = round (4 * rand (40, 2)) / 4;
%! c = 1 + (rand (40, 1) > 0.6);
%! orders = {1:40, 40:-1:1, [3 3 9 1], []; randperm(40), 1:2:40, 5, 20:40};
%! rho = [0 0.3 0.5 0.1 0.7 0.2 0.9 0.4];
%! T0 = {[], [0 0 1 1], [], [], [], [], [0.5 0.5 0.5 0.5; 0 0 0.25 0.25], []};
%! L0 = {[], 2, [], [], [], [], [1 2], []};
%! for threads = [1 2 0]
%!   ## (quiet: the texts are compared below)
%!   [T, L, n, h] = vorla_learn (P, c, 2, rho, 0.001, 1, 50, 1, 1, 0, 1, 0, reshape (T0, 2, 4), reshape (L0, 2, 4), orders, threads);
%!   assert ({size(T), size(L), size(n), size(h)}, {[2 4], [2 4], [2 4], [2 4]});
%!   for k = 1:8
%!     [Tk, Lk, nk, hk] = vorla_learn (P(orders{k},:), c(orders{k}(:)), 2, rho(k), 0.001, 1, 50, 1, 1, 0, 1, 0, T0{k}, L0{k});
%!     assert ({T{k}, L{k}, n(k), h{k}(:,1:3)}, {Tk, Lk, nk, hk(:,1:3)});
%!   endfor
%! endfor
%! ## the texts come in network order, each as its own call prints it
%! one = evalc ("[T, L, n] = vorla_learn (P, c, 2, 0.2, 0.001, 1, 50, 0, 0, 3, 0, 1, [], [], orders(1,:), 1);");
%! two = evalc ("[T, L, n] = vorla_learn (P, c, 2, 0.2, 0.001, 1, 50, 0, 0, 3, 0, 1, [], [], orders(1,:), 2);");
%! alone = "";
%! for k = 1:4
%!   alone = [alone, evalc("[Tk, Lk, nk] = vorla_learn (P(orders{1,k},:), c(orders{1,k}(:)), 2, 0.2, 0.001, 1, 50, 0, 0, 3, 0, 1, [], []);")];
%! endfor
%! untimed = @(text) regexprep (text, "(in \\d+ seconds|\\d+\\.\\d\\d s)", "");
%! assert (untimed (one), untimed (alone));
%! assert (untimed (two), untimed (alone));

%!error <VORLA_LEARN: 15th input argument \(Orders\) must be a two-dimensional cell array> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [], [], [1 2], 1)
%!error <VORLA_LEARN: 15th input argument \(Orders\) must hold in each cell a vector of whole row numbers from 1 to 2 \(Orders\{2\} does not\)\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [], [], {[1 2], 3}, 1)
%!error <VORLA_LEARN: 16th input argument \(threads\) must be a whole number from 0 to 1024> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [], [], {[1 2]}, -1)
%!error <VORLA_LEARN: 4th input argument \(vigilance\) must be a scalar or hold one value per network \(2\); it holds 3\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, [0 0 0], 0.001, 1, 10, 0, 0, 0, 0, 0, [], [], {1, 2}, 1)
%!error <VORLA_LEARN: 13th input argument \(Templates0\{2\}\) must have 2 columns> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, {[], [0 1 1]}, {[], 1}, {1, 2}, 1)
%!error <VORLA_LEARN: 10, 14 or 16 input arguments required\.> vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 1)
%!error <VORLA_LEARN: 3 or 4 output arguments required\.> [T, L] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_LEARN: 4th input argument \(vigilance\) must be in \[0\.0, 1\.0\]\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 2, 0.001, 1, 10, 0, 0, 0)
%!error <VORLA_LEARN: 11th input argument \(match_tracking\) must be either 0 or 1\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 2, 0, [], [])
%!error <VORLA_LEARN: 12th input argument \(display\) must be a scalar\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, ones (2), [], [])
%!error <VORLA_LEARN: 13th input argument \(Templates0\) must have 2 columns> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [0 1 2], 1)
%!error <VORLA_LEARN: 13th input argument \(Templates0\) must not contain NaN or Inf values\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [0 NaN], 1)
%!error <VORLA_LEARN: 14th input argument \(NLabels0\) must be of type  1x1 or 1x1\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [0 1], [])
%!error <VORLA_LEARN: 14th input argument \(NLabels0\) must hold whole-number labels\.> [T, L, n] = vorla_learn ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0, 0, 0, [0 1], 0.5)

%!demo
%! ## noisy labels: the strict rule runs to the cap, the tolerant rule settles
%! rand ("state", 1);
%! P = round (8 * rand (300, 2)) / 8;
%! c = 1 + (sum (P, 2) > 1);
%! flip = rand (300, 1) < 0.05;
%! c(flip) = 3 - c(flip);
%! for rule = 0:1
%!   [T, L, n, h] = vorla_learn (P, c, 2, 0, 0.001, 1, 20, 0, 0, 0, rule, 0, [], []);
%!   printf ("match_tracking %d: %d nodes after %d passes\n", rule, numel (L), n);
%! endfor
