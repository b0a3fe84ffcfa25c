function model = vorla_train (X, labels, varargin)
% VORLA_TRAIN  Train a box classifier (one network or a voting group) on labelled data.
%
%   model = vorla_train (X, labels)
%   model = vorla_train (X, labels, Name, Value, ...)
%
%   X is an N x M matrix, one pattern per row, one feature per column, of any
%   real numeric class or logical, without NaN or Inf. labels holds one class
%   per pattern, of any usual kind: a numeric vector (every distinct value is
%   a class, fractions included), a logical vector, a cellstr, a char
%   matrix with one label per row, or (MATLAB) a string array. Text options
%   may be char or string. The classes are numbered 1..C in sorted
%   order for vorla_fit and named again by vorla_predict.
%
%   By default the features are scaled into [0, 1] by the training range
%   (vorla_scale), one network is trained with fast learning and tolerant
%   match tracking until a list presentation changes nothing, and the range
%   goes into the model so that vorla_predict scales new data the same way.
%
%   Options (names are case-insensitive):
%     'Vigilance'         0      baseline vigilance in [0, 1]; boxes may grow
%                                up to (1 - Vigilance) * D.
%     'Alpha'             0.001  choice parameter, >= 0.
%     'LearningRate'      1      in (0, 1]; 1 is fast learning.
%     'MaxPresentations'  Inf    the most list presentations. Inf trains until
%                                convergence, with a safety cap of 1000
%                                presentations; a warning says when a run
%                                stops at that cap. A cap given here stops
%                                runs silently: model.Converged tells.
%     'Trim'              false  leave out the inactive nodes of a converged
%                                run.
%     'ChoiceTest'        false  the CT: a node must be chosen at least as
%                                strongly as an uncommitted node.
%     'Scale'             'auto' 'auto': the range of X (vorla_scale), kept in
%                                the model and applied to new data; 'none':
%                                X is used as given (scale it into [0, 1]
%                                yourself, or choose a D that holds it: a
%                                warning says when neither is so); or a 2 x M
%                                range [smallest; largest] to scale with.
%     'D'                 M      size of the input space, > 0.
%     'Voters'            1      number of networks. Network 1 learns the
%                                patterns in the given order, the others in
%                                random orders; vorla_predict lets them vote.
%     'Seed'              0      seed of the random orders of the voters, a
%                                whole number: the same seed gives the same
%                                model in MATLAB and Octave. The orders come
%                                from the layer's own generator; the host's
%                                (rand, rng) is neither used nor changed.
%     'MatchTracking'     'tolerant'  the rule when the node that wins a
%                                pattern carries another label. 'strict': the
%                                rule of vorla_fit (and of the 1992 paper);
%                                identical patterns with different labels
%                                then make new nodes in every presentation
%                                and the run never converges. 'tolerant'
%                                (MT-): the winner alone leaves the search, so
%                                each label of such patterns keeps a node and
%                                the run converges; on data without such
%                                twins the two rules differ only where nodes
%                                tie in their match. See vorla_learn.
%     'Display'           'off'  progress: 'iter' prints a line per list
%                                presentation as it ends (its number, the
%                                nodes, those created and changed in it, the
%                                seconds so far), 'final' a line per network.
%     'Trace'             0      oflag of the vorla_fit calls (0 to 4).
%     'Parallel'          false  train the voters in worker processes where
%                                that pays: the first network is trained here
%                                and timed, and the others go to workers only
%                                when sharing them would save more than the
%                                workers cost to start (about 0.3 s each) and
%                                the machine has idle cores. Octave starts
%                                octave-cli processes of its own, which end
%                                with the call, also when Ctrl-C, SIGTERM or
%                                SIGHUP ends it; MATLAB uses parfor of the
%                                Parallel Computing Toolbox (without it the
%                                run is serial, warning vorla:train:serial).
%                                The model is the same as a serial run's, bit
%                                for bit.
%
%   Each network is one call
%     vorla_fit (Xs(order,:), index(order), D, Vigilance, Alpha,
%                LearningRate, cap, Trim, ChoiceTest, Trace)
%   with Xs the scaled X and index the class numbers of the labels; with
%   tolerant match tracking, or Display 'iter', the call is vorla_learn with
%   the same ten inputs and match_tracking and display after them.
%
%   The model is a plain struct (save and load keep it):
%     Format            'vorla model 1'
%     ClassNames        C x 1 classes in the form the labels came in (a C x L
%                       char matrix for char labels); NLabels index into it
%     LabelKind         class of the labels, 'cellstr' or 'char' (or
%                       'string': then ClassNames is a cellstr, so that
%                       Octave, which has no strings, can use the model)
%     Features          M, the number of columns of X
%     Range             2 x M scaling range ([] with Scale 'none')
%     Templates         K x 2M node boxes as vorla_fit returned them, in the
%                       scaled units; with Voters > 1 a 1 x V cell of them
%     NLabels           K x 1 class index of each node; with Voters > 1 a
%                       1 x V cell of them
%     Presentations     1 x V list presentations of each network
%     Converged         1 x V, true where the run ended before its cap
%     D, Vigilance, Alpha, LearningRate, MaxPresentations (the cap used),
%     Trim, ChoiceTest, Scale ('auto', 'none' or 'range'), Voters, Seed,
%     MatchTracking     the settings of the training
%
%   Warnings (once per call; warning ('off', ID) silences one):
%     vorla:train:conflict  identical patterns carry different labels: their
%                           number, the first rows, and what the rule in
%                           force does with them.
%     vorla:train:cap       a network stopped at the safety cap without
%                           converging (not when MaxPresentations is given).
%     vorla:train:unscaled  with Scale 'none', values outside [0, 1] and a D
%                           smaller than the data's extent.
%   Errors carry identifiers vorla:train:X, vorla:train:labels,
%   vorla:train:shape, vorla:train:options and vorla:train:<Option>.
%
%   Example:
%     load fisheriris                      % meas 150 x 4, species cellstr
%     model = vorla_train (meas, species);
%     predicted = vorla_predict (model, meas);
%     mean (strcmp (predicted, species))
%
%   See also: vorla_predict, vorla_crossval, vorla_fit, vorla_scale,
%   vorla_plot_boxes.

  p = train_parser ('train');
  opts = parse_options (p, 'train', varargin);
  X = check_patterns ('train', X, 'X', true);
  [names, index, kind] = label_classes ('train', labels);
  check_shape ('train', X, numel (index));
  opts = check_train_options ('train', opts, size (X, 2));

  [Xs, range, scale] = apply_scale (X, opts.Scale);
  if strcmp (scale, 'none')
    check_unscaled ('train', Xs, opts.D, 'X');
  end
  conflict_warning ('train', Xs, index, opts.MatchTracking);

  cap = opts.MaxPresentations;
  if isinf (cap)
    cap = safety_cap ();
  end
  N = size (Xs, 1);
  V = opts.Voters;
  % [] stands for the given order, which the first network learns without a copy.
  orders = [{[]}, seeded_permutations(opts.Seed, repmat (N, 1, V - 1))];
  args = {opts.D, opts.Vigilance, opts.Alpha, opts.LearningRate, cap, ...
          double(opts.Trim), double(opts.ChoiceTest), opts.Trace};
  net_names = repmat ({''}, 1, V);
  headings = net_names;
  if V > 1
    net_names = arrayfun (@(v) sprintf ('network %d of %d ', v, V), 1:V, 'UniformOutput', false);
    if strcmp (opts.Display, 'iter')
      headings = strcat ({'vorla_train: '}, strtrim (net_names));
    end
  end
  tasks = cellfun (@(order, name, heading) struct ('Xs', Xs, 'index', index, 'order', order, 'args', {args}, ...
                                                   'tolerant', strcmp (opts.MatchTracking, 'tolerant'), ...
                                                   'display', opts.Display, 'name', name, 'heading', heading), ...
                   orders, net_names, headings, 'UniformOutput', false);
  nets = run_tasks ('fit_network', tasks, opts.Parallel, 'train');

  model = struct ();
  model.Format = 'vorla model 1';
  model.ClassNames = names;
  model.LabelKind = kind;
  model.Features = size (X, 2);
  model.Range = range;
  if opts.Voters == 1
    model.Templates = nets{1}.Templates;
    model.NLabels = nets{1}.NLabels;
  else
    model.Templates = cellfun (@(net) net.Templates, nets, 'UniformOutput', false);
    model.NLabels = cellfun (@(net) net.NLabels, nets, 'UniformOutput', false);
  end
  model.Presentations = cellfun (@(net) net.Presentations, nets);
  % A stopped run counts every presentation up to its cap; a converged run
  % does not count its last one, which changed nothing.
  model.Converged = model.Presentations < cap;
  model.D = opts.D;
  model.Vigilance = opts.Vigilance;
  model.Alpha = opts.Alpha;
  model.LearningRate = opts.LearningRate;
  model.MaxPresentations = cap;
  model.Trim = opts.Trim;
  model.ChoiceTest = opts.ChoiceTest;
  model.Scale = scale;
  model.Voters = opts.Voters;
  model.Seed = opts.Seed;
  model.MatchTracking = opts.MatchTracking;

  % A cap the caller chose is no surprise: model.Converged tells.
  stopped = sum (~model.Converged);
  if stopped > 0 && isinf (opts.MaxPresentations)
    notify ('vorla:train:cap', ...
             ['vorla_train: %d of %d networks stopped at the safety cap of %d list presentations without ' ...
              'converging; give MaxPresentations to choose the cap (then model.Converged tells, with no warning)'], ...
             stopped, opts.Voters, cap);
  end
end

%!shared X, y
%! X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35];
%! y = [1; 2; 1; 2; 1; 2];

%!test
%! ## defaults: the training range, D = M, tolerant fast learning until convergence
%! model = vorla_train (X, y);
%! [Xs, range] = vorla_scale (X);
%! [T, L, n] = vorla_learn (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 0, 1, 0, zeros (0, 0), zeros (0, 1));
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Range, model.D, model.Features, model.Scale}, {range, 2, 2, "auto"});
%! assert ({model.ClassNames, model.LabelKind, model.Converged}, {[1; 2], "double", true});
%! assert (model.MatchTracking, "tolerant");

%!test
%! ## with the strict rule each option reaches vorla_fit as the argument it stands for
%! range = [0 0; 10 50];
%! Xs = vorla_scale (X, range);
%! model = vorla_train (X, y, "vigilance", 0.6, "Alpha", 0.01, "LearningRate", 0.5, ...
%!                      "MaxPresentations", 7, "Trim", true, "ChoiceTest", 1, ...
%!                      "Scale", range, "D", 3, "MatchTracking", "Strict");
%! [T, L, n] = vorla_fit (Xs, y, 3, 0.6, 0.01, 0.5, 7, 1, 1, 0);
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Scale, model.MaxPresentations, model.Trim, model.ChoiceTest}, {"range", 7, true, true});
%! assert (model.MatchTracking, "strict");
%! model = vorla_train (X / 100, y, "Scale", "none", "MatchTracking", "strict");
%! [T, L, n] = vorla_fit (X / 100, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
%! assert ({model.Templates, model.NLabels, model.Range}, {T, L, []});
%! ## the tolerant rule takes the same options through vorla_learn
%! model = vorla_train (X, y, "Vigilance", 0.6, "Alpha", 0.01, "ChoiceTest", true, "Scale", range, "D", 3);
%! [T, L, n] = vorla_learn (Xs, y, 3, 0.6, 0.01, 1, 1000, 0, 1, 0, 1, 0, zeros (0, 0), zeros (0, 1));
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});

%!test
%! ## Trace is the oflag of the call
%! Xs = vorla_scale (X);
%! direct = evalc ("[T, L, n] = vorla_fit (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 3);");
%! layer = evalc ("m = vorla_train (X, y, 'Trace', 3, 'MatchTracking', 'strict');");
%! assert (regexprep (layer, "in \\d+ seconds", ""), regexprep (direct, "in \\d+ seconds", ""));
%! assert (! isempty (strfind (layer, "List presentation #1:")));

%!test
%! ## Display: a line per presentation ('iter'), per network ('final'), or nothing
%! assert (evalc ("vorla_train (X, y);"), "");
%! text = evalc ("m = vorla_train (X, y, 'Display', 'iter');");
%! lines = strsplit (strtrim (text), "\n");
%! assert (numel (lines), m.Presentations + 1);
%! assert (strncmp (lines, "vorla_learn: presentation ", 26));
%! text = evalc ("m = vorla_train (X, y, 'Display', 'iter', 'Voters', 2, 'MatchTracking', 'strict');");
%! assert (! isempty (strfind (text, "vorla_train: network 2 of 2")));
%! assert (m, vorla_train (X, y, "Voters", 2, "MatchTracking", "strict"));
%! text = evalc ("m = vorla_train (X, y, 'Display', 'final', 'Voters', 3);");
%! assert (regexp (text, "^vorla_train: network 1 of 3 converged after \\d+ list presentations, \\d+ nodes, [\\d.]+ s\n"));
%! assert (numel (strfind (text, "\n")), 3);

%!test
%! ## labels of every kind become class indices in sorted order
%! expect = vorla_train (X, y);
%! kinds = {[0.5; 2.5; 0.5; 2.5; 0.5; 2.5], int8(y), y == 2, ...
%!          {"b"; "c"; "b"; "c"; "b"; "c"}, ["ab"; "cd"; "ab"; "cd"; "ab"; "cd"]};
%! for i = 1:numel (kinds)
%!   model = vorla_train (X, kinds{i});
%!   assert (model.NLabels, expect.NLabels);
%!   assert (model.Templates, expect.Templates);
%!   assert (class (model.ClassNames), class (kinds{i}));
%! endfor
%! assert (vorla_train (X, y').NLabels, expect.NLabels);

%!test
%! ## voters: the first keeps the given order, the others follow the seed
%! m3 = vorla_train (X, y, "Voters", 3, "Seed", 5, "MatchTracking", "strict");
%! assert (iscell (m3.Templates) && numel (m3.Templates) == 3);
%! assert (m3.Templates{1}, vorla_train (X, y, "MatchTracking", "strict").Templates);
%! assert (vorla_train (X, y, "Voters", 3, "Seed", 5, "MatchTracking", "strict"), m3);
%! ## voter v learns the (v-1)th permutation drawn from the layer's own
%! ## generator: pinned, since they must be the same in every host and version
%! Xs = vorla_scale (X);
%! orders = {[3 2 5 1 6 4], [3 5 6 4 1 2]};
%! for v = 2:3
%!   [T, L, n] = vorla_fit (Xs(orders{v-1},:), y(orders{v-1}), 2, 0, 0.001, 1, 1000, 0, 0, 0);
%!   assert ({m3.Templates{v}, m3.NLabels{v}, m3.Presentations(v)}, {T, L, n});
%! endfor
%! state = rand ("twister");
%! vorla_train (X, y, "Voters", 2, "Seed", 1);
%! assert (rand ("twister"), state);

%!test
%! ## identical patterns with different labels: the tolerant rule gives each
%! ## label a node and converges; the strict rule runs to its cap
%! twins = [X; 0.5 30; 0.5 30; 4 40];
%! labels = [y; 1; 2; 1];
%! lastwarn ("");
%! evalc ("model = vorla_train (twins, labels);");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:conflict");
%! assert (strfind (msg, "vorla_train: 4 patterns in 2 groups of identical patterns carry different labels (rows 4, 7, 8, 9); tolerant"), 1);
%! assert (! isempty (strfind (msg, "'MatchTracking', 'strict'")));
%! assert (model.Converged);
%! assert (numel (model.NLabels) <= numel (vorla_train (X, y).NLabels) + 2 * 4);
%! warning ("off", "vorla:train:conflict", "local");
%! model = vorla_train (twins, labels, "MatchTracking", "strict", "MaxPresentations", 4);
%! assert ({model.Converged, model.Presentations}, {false, 4});

%!test
%! ## the cap warns only where the caller did not choose it
%! warning ("off", "vorla:train:conflict", "local");
%! twins = [X; 7 7; 7 7];
%! lastwarn ("");
%! vorla_train (twins, [y; 1; 2], "MatchTracking", "strict", "MaxPresentations", 3, "Voters", 2);
%! assert (lastwarn (), "");
%! [msg, id] = deal ("");
%! try
%!   warning ("error", "vorla:train:cap", "local");
%!   vorla_train ([0; 0; 1], [1; 2; 1], "MatchTracking", "strict");
%! catch err
%!   [msg, id] = deal (err.message, err.identifier);
%! end_try_catch
%! assert (id, "vorla:train:cap");
%! assert (strncmp (msg, "vorla_train: 1 of 1 networks stopped at the safety cap of 1000 list presentations", 80));

%!test
%! ## Scale 'none' with values outside [0, 1]: one warning, unless D holds the data
%! lastwarn ("");
%! evalc ("vorla_train (X, y, 'Scale', 'none');");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:unscaled");
%! assert (msg, ["vorla_train: with Scale 'none', 11 values in 6 patterns of X lie outside [0, 1] and the data ", ...
%!               "span 46 against D = 2, so their boxes fail the vigilance test; use 'Scale', 'auto' (the training ", ...
%!               "range), scale the features into [0, 1], or give a D of at least 46"]);
%! lastwarn ("");
%! vorla_train (X, y, "Scale", "none", "D", 46);
%! vorla_train (X - 3.5, y, "Scale", "none", "D", 46);
%! vorla_train (X / 40, y, "Scale", "none");
%! assert (lastwarn (), "");

%!error <X must have one row per pattern: 2 x 6 given for 6 labels; transpose X\?> vorla_train (X', y)
%!error <X must have one row per pattern: 6 x 2 given for 5 labels> vorla_train (X, y(1:5))
%!error <Vigilance must be a number in \[0, 1\]; 2 given> vorla_train (X, y, "Vigilance", 2)
%!error <Scale must be 'auto', 'none' or a 2 x 2 range> vorla_train (X, y, "Scale", [0 1])
%!error <Scale must be 'auto', 'none'> vorla_train (X, y, "Scale", "minmax")
%!error <X holds 1 NaN values> vorla_train ([X; NaN 1], [y; 1])
%!error <labels hold 1 NaN values> vorla_train (X, [y(1:5); NaN])
%!error <labels must be a numeric or logical vector, a cellstr or char rows> vorla_train (X, {1; 2; 1; 2; 1; 2})
%!error <options must come in Name, Value pairs> vorla_train (X, y, "Vigilance")
%!error <COLOUR.*\(options: Vigilance Alpha LearningRate> vorla_train (X, y, "Colour", 1)
%!error <MatchTracking must be 'strict' or 'tolerant'; 'loose' given> vorla_train (X, y, "MatchTracking", "loose")
%!error <Display must be 'off', 'iter' or 'final'; 1 given> vorla_train (X, y, "Display", 1)

%!demo
%! ## points inside and outside a circle: one network, then five that vote
%! rand ("state", 2);
%! P = 10 * rand (400, 2);
%! c = 1 + (sum ((P - 5) .^ 2, 2) > 10);
%! one = vorla_train (P, c);
%! five = vorla_train (P, c, "Voters", 5);
%! ## new points may lie a little beyond the training range: no clipping warning
%! warning ("off", "vorla:predict:clipped", "local");
%! Q = 10 * rand (4000, 2);
%! truth = 1 + (sum ((Q - 5) .^ 2, 2) > 10);
%! printf ("one network: %d nodes, %.1f%% right on new points\n", ...
%!         numel (one.NLabels), 100 * mean (vorla_predict (one, Q) == truth));
%! printf ("five voters: %d nodes, %.1f%% right on new points\n", ...
%!         sum (cellfun ("numel", five.NLabels)), 100 * mean (vorla_predict (five, Q) == truth));
%! vorla_plot_boxes (one, P, c);
%! title ("Boxes of one network, in the units of the data");
