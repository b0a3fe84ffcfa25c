function model = vorla_train (X, labels, varargin)
% VORLA_TRAIN  Train a box classifier (one network or a voting group) on labelled data, or continue one.
%
%   model = vorla_train (X, labels)
%   model = vorla_train (X, labels, Name, Value, ...)
%   model = vorla_train (model, X, labels, Name, Value, ...)
%
%   X is an N x M matrix, one pattern per row, one feature per column, of any
%   real numeric class or logical, without NaN or Inf. labels holds one class
%   per pattern, of any usual kind: a numeric vector (every distinct value is
%   a class, fractions included), a logical vector, a cellstr, or a char
%   matrix with one label per row. The classes are numbered 1..C in sorted
%   order for vorla_fit and named again by vorla_predict.
%
%   By default the features are scaled into [0, 1] by the training range
%   (vorla_scale), one network is trained with fast learning until a list
%   presentation changes nothing, and the range goes into the model so that
%   vorla_predict scales new data the same way.
%
%   Options (names are case-insensitive):
%     'Vigilance'         0      baseline vigilance in [0, 1]; boxes may grow
%                                up to (1 - Vigilance) * D.
%     'Alpha'             0.001  choice parameter, >= 0.
%     'LearningRate'      1      in (0, 1]; 1 is fast learning.
%     'MaxPresentations'  Inf    the most list presentations. Inf trains until
%                                convergence, with a safety cap of 1000
%                                presentations; a warning says when a run
%                                stops at its cap without converging.
%     'Trim'              false  leave out the inactive nodes of a converged
%                                run.
%     'ChoiceTest'        false  the CT: a node must be chosen at least as
%                                strongly as an uncommitted node.
%     'Scale'             'auto' 'auto': the range of X (vorla_scale), kept in
%                                the model and applied to new data; 'none':
%                                X is used as given (scale it yourself and
%                                choose D); or a 2 x M range [smallest;
%                                largest] to scale with.
%     'D'                 M      size of the input space, > 0.
%     'Voters'            1      number of networks. Network 1 learns the
%                                patterns in the given order, the others in
%                                random orders; vorla_predict lets them vote.
%     'Seed'              0      seed of the random orders of the voters, a
%                                whole number: the same seed gives the same
%                                model. The caller's random state is kept.
%     'Trace'             0      oflag of the vorla_fit calls (0 to 4).
%     'Parallel'          false  train the voters in worker processes
%                                (Octave: the parallel package; MATLAB: the
%                                Parallel Computing Toolbox). The model is the
%                                same as a serial run's, bit for bit. Without
%                                either, the run is serial with a warning
%                                (vorla:train:serial).
%
%   Each network is one call
%     vorla_fit (Xs(order,:), index(order), D, Vigilance, Alpha,
%                LearningRate, cap, Trim, ChoiceTest, Trace)
%   with Xs the scaled X and index the class numbers of the labels.
%
%   The model is a plain struct (save and load keep it):
%     Format            'vorla model 1'
%     ClassNames        C x 1 classes in the form the labels came in (a C x L
%                       char matrix for char labels); NLabels index into it
%     LabelKind         class of the labels, 'cellstr' or 'char'
%     Features          M, the number of columns of X
%     Range             2 x M scaling range ([] with Scale 'none')
%     Templates         K x 2M node boxes as vorla_fit returned them, in the
%                       scaled units; with Voters > 1 a 1 x V cell of them
%     NLabels           K x 1 class index of each node; with Voters > 1 a
%                       1 x V cell of them
%     Presentations     1 x V list presentations of each network
%     Converged         1 x V, true where the run ended before its cap
%     D, Vigilance, Alpha, LearningRate, MaxPresentations (the cap used),
%     Trim, ChoiceTest, Scale ('auto', 'none' or 'range'), Voters, Seed
%                       the settings of the training
%     History           one entry per call that trained the model, with the
%                       fields Patterns, Classes and Nodes (counts after the
%                       call), Presentations, Converged, Seed (of the voters'
%                       orders) and the settings Vigilance, Alpha,
%                       LearningRate, MaxPresentations, Trim and ChoiceTest
%
%   Continuing a model: vorla_train (model, X, labels, ...) trains on the
%   new patterns only, starting from the model's nodes in their order (each
%   network through vorla_learn), as Fuzzy ARTMAP learns incrementally.
%     - X is scaled with the model's range; values beyond it are clipped to it
%       (warning vorla:train:clipped), as vorla_predict does.
%     - Labels must be of the model's kind (text or numeric). Classes the model
%       knows keep their numbers; new classes follow, in sorted order. The
%       nodes keep their order and classes; new nodes come after them, and
%       the trace numbers them on from the model's last node.
%     - Settings are the model's unless given: Vigilance, Alpha, LearningRate,
%       MaxPresentations, Trim and ChoiceTest may change for this call (the
%       model then records the new values). Scale, D, Voters and Seed belong
%       to the model; giving another value is an error.
%     - Trim leaves out only nodes that this call created and that no pattern
%       selected in the last presentation of a converged run. The model's
%       nodes are always kept: new data that do not select a node say nothing
%       against it.
%     - Network 1 learns the patterns in the given order. Network v > 1 learns
%       them in the (v-1)th random order drawn from the seed
%       mod (Seed + (c - 1) * 2654435769, 2^32) for the c-th call that trains
%       the model (History(c).Seed), so every call has orders of its own and
%       the model stays reproducible.
%     - Presentations and Converged describe this call; History keeps every
%       call. X with no rows (and empty labels) returns the model unchanged.
%   With fast learning, MaxPresentations 1, Trim false and one scaling for
%   both calls ('Scale', 'none' or one given range), training on A and then
%   continuing on B gives bit for bit the nodes of one call on [A; B].
%
%   Warnings (once per call):
%     vorla:train:conflict  identical patterns carry different labels; no box
%                           can separate them, so the run cannot converge.
%     vorla:train:cap       a network stopped at its cap without converging.
%     vorla:train:clipped   (continuing) values of X lie beyond the model's
%                           range and were clipped to it.
%   Errors carry identifiers vorla:train:X, vorla:train:labels,
%   vorla:train:shape, vorla:train:options and vorla:train:<Option>; when
%   continuing also vorla:train:model and vorla:train:features.
%
%   Example:
%     load fisheriris                      % meas 150 x 4, species cellstr
%     model = vorla_train (meas, species);
%     predicted = vorla_predict (model, meas);
%     mean (strcmp (predicted, species))
%
%   Example, data larger than memory: records.bin holds 10^7 records of
%   three doubles each (two features, then the class), written row by row.
%   A first pass over it finds the range, so that every chunk is scaled
%   alike; the second trains on 10^6 records at a time, each call going on
%   from the model of the one before. Memory holds one chunk at a time (with
%   the few copies that a call makes of it) and the model, however long the
%   file.
%   One presentation per chunk gives the model of one presentation of the
%   whole file; leave MaxPresentations out to train each chunk to
%   convergence instead.
%     fid = fopen ('records.bin', 'r');
%     range = [Inf, Inf; -Inf, -Inf];
%     chunk = fread (fid, [3, 1e6], 'double')';
%     while ~isempty (chunk)
%       range = [min([range(1,:); chunk(:,1:2)]); max([range(2,:); chunk(:,1:2)])];
%       chunk = fread (fid, [3, 1e6], 'double')';
%     end
%     frewind (fid);
%     warning ('off', 'vorla:train:cap');  % one presentation cannot converge
%     model = [];
%     chunk = fread (fid, [3, 1e6], 'double')';
%     while ~isempty (chunk)
%       if isempty (model)
%         model = vorla_train (chunk(:,1:2), chunk(:,3), 'Scale', range, ...
%                              'MaxPresentations', 1);
%       else
%         model = vorla_train (model, chunk(:,1:2), chunk(:,3));
%       end
%       chunk = fread (fid, [3, 1e6], 'double')';
%     end
%     fclose (fid);
%
%   See also: vorla_predict, vorla_crossval, vorla_fit, vorla_scale,
%   vorla_plot_boxes.

  if isstruct (X)
    if nargin < 3
      error ('vorla:train:X', ['vorla_train: X must be a real numeric or logical matrix, one row per pattern; %s given ' ...
                               '(a model is continued with new patterns and their labels: vorla_train (model, X, labels, ...))'], ...
             describe (X));
    end
    model = continue_model (X, labels, varargin{1}, varargin(2:end));
    return;
  end
  p = train_parser ('train');
  opts = parse_options (p, 'train', varargin);
  X = check_patterns ('train', X, 'X', true);
  [names, index, kind] = label_classes ('train', labels);
  check_shape ('train', X, numel (index));
  opts = check_train_options ('train', opts, size (X, 2));

  [Xs, range, scale] = apply_scale (X, opts.Scale);
  warn_conflicts (Xs, index);
  cap = presentation_cap (opts);
  N = size (Xs, 1);
  % [] stands for the given order, which the first network learns without a copy.
  orders = [{[]}, seeded_permutations(opts.Seed, repmat (N, 1, opts.Voters - 1))];
  args = network_args (opts, cap);
  tasks = cellfun (@(order) struct ('Xs', Xs, 'index', index, 'order', order, 'args', {args}), ...
                   orders, 'UniformOutput', false);
  nets = run_tasks ('fit_network', tasks, opts.Parallel, 'train');

  model = struct ('Format', 'vorla model 1', 'ClassNames', {names}, 'LabelKind', kind, ...
                  'Features', size (X, 2), 'Range', range, 'Templates', [], 'NLabels', [], ...
                  'Presentations', [], 'Converged', [], 'D', opts.D, 'Vigilance', [], 'Alpha', [], ...
                  'LearningRate', [], 'MaxPresentations', [], 'Trim', [], 'ChoiceTest', [], ...
                  'Scale', scale, 'Voters', opts.Voters, 'Seed', opts.Seed, 'History', struct ([]));
  model = record_call (model, nets, opts, cap, N, opts.Seed);
end

function model = continue_model (model, X, labels, options)
% Training that goes on from the nodes of a model, on new patterns only.
  check_model ('train', model);
  [opts, given] = parse_options (train_parser ('train'), 'train', options);
  opts = check_train_options ('train', opts, model.Features);
  opts = model_settings (model, opts, given);
  X = check_patterns ('train', X, 'X', true);
  if isempty (X) && isempty (labels)
    return;
  end
  if size (X, 2) ~= model.Features
    error ('vorla:train:features', 'vorla_train: model has %d features but X has %d columns', ...
           model.Features, size (X, 2));
  end
  [names, index] = continue_classes ('train', model.ClassNames, model.LabelKind, labels);
  check_shape ('train', X, numel (index));
  N = size (X, 1);

  if strcmp (model.Scale, 'none')
    Xs = X;
  else
    outside = bsxfun (@lt, X, model.Range(1,:)) | bsxfun (@gt, X, model.Range(2,:));
    if any (outside(:))
      warning ('vorla:train:clipped', ...
               'vorla_train: %d values in %d patterns of X lie outside the model''s range and were clipped to it', ...
               sum (outside(:)), sum (any (outside, 2)));
    end
    Xs = vorla_scale (X, model.Range);
  end
  warn_conflicts (Xs, index);
  cap = presentation_cap (opts);
  calls = 1;
  if isfield (model, 'History')
    calls = numel (model.History);
  end
  % Each call draws the voters' orders from a seed of its own, so that a
  % network never learns its chunks in orders that repeat from call to call.
  seed = mod (opts.Seed + calls * 2654435769, 2^32);
  orders = [{[]}, seeded_permutations(seed, repmat (N, 1, opts.Voters - 1))];
  [templates, nlabels] = network_list (model);
  args = network_args (opts, cap);
  learn = {match_tracking(opts), 0};
  tasks = cell (1, opts.Voters);
  for v = 1:opts.Voters
    tasks{v} = struct ('Xs', Xs, 'index', index, 'order', orders{v}, 'args', {args}, 'learn', {learn}, ...
                       'templates0', templates{v}, 'nlabels0', nlabels{v});
  end
  nets = run_tasks ('fit_network', tasks, opts.Parallel, 'train');
  model.ClassNames = names;
  if ~isfield (model, 'History')
    model.History = struct ([]);
  end
  model = record_call (model, nets, opts, cap, N, seed);
end

function opts = model_settings (model, opts, given)
% The settings of a continued call: the model's, except those given. Scaling,
% D, the number of voters and the seed belong to the model and cannot change.
  fixed = {'Scale', 'D', 'Voters', 'Seed'};
  for i = 1:numel (fixed)
    name = fixed{i};
    if any (strcmp (name, given)) && ~same_setting (model, name, opts.(name))
      error (['vorla:train:' name], 'vorla_train: a continued model keeps its %s (%s); %s given', ...
             name, describe (model_value (model, name)), describe (opts.(name)));
    end
    opts.(name) = model_value (model, name);
  end
  kept = {'Vigilance', 'Alpha', 'LearningRate', 'MaxPresentations', 'Trim', 'ChoiceTest', 'MatchTracking'};
  for i = 1:numel (kept)
    name = kept{i};
    if ~any (strcmp (name, given)) && isfield (model, name) && isfield (opts, name)
      opts.(name) = model.(name);
    end
  end
end

function value = model_value (model, name)
  if strcmp (name, 'Scale') && strcmp (model.Scale, 'range')
    value = model.Range;
  else
    value = model.(name);
  end
end

function ok = same_setting (model, name, value)
  if strcmp (name, 'Scale') && ischar (value)
    ok = strcmp (model.Scale, value);
  elseif strcmp (name, 'Scale')
    ok = ~strcmp (model.Scale, 'none') && isequal (model.Range, value);
  else
    ok = isequal (model_value (model, name), value);
  end
end

function warn_conflicts (Xs, index)
  [patterns, groups] = label_conflicts (Xs, index);
  if patterns > 0
    warning ('vorla:train:conflict', ...
             ['vorla_train: %d patterns in %d groups of identical patterns carry different labels; ' ...
              'no box can separate them, so training cannot converge on them'], patterns, groups);
  end
end

function cap = presentation_cap (opts)
  cap = opts.MaxPresentations;
  if isinf (cap)
    cap = safety_cap ();
  end
end

function args = network_args (opts, cap)
% Arguments 3 to 10 of vorla_fit and vorla_learn.
  args = {opts.D, opts.Vigilance, opts.Alpha, opts.LearningRate, cap, ...
          double(opts.Trim), double(opts.ChoiceTest), opts.Trace};
end

function flag = match_tracking (opts)
  flag = double (isfield (opts, 'MatchTracking') && strcmp (opts.MatchTracking, 'tolerant'));
end

function model = record_call (model, nets, opts, cap, N, seed)
% The networks and settings of a call, and one more entry in the history.
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
  model.Vigilance = opts.Vigilance;
  model.Alpha = opts.Alpha;
  model.LearningRate = opts.LearningRate;
  model.MaxPresentations = cap;
  model.Trim = opts.Trim;
  model.ChoiceTest = opts.ChoiceTest;

  call = struct ('Patterns', N, 'Classes', size (model.ClassNames, 1), ...
                 'Nodes', cellfun (@(net) numel (net.NLabels), nets), ...
                 'Presentations', model.Presentations, 'Converged', model.Converged, 'Seed', seed, ...
                 'Vigilance', opts.Vigilance, 'Alpha', opts.Alpha, 'LearningRate', opts.LearningRate, ...
                 'MaxPresentations', cap, 'Trim', opts.Trim, 'ChoiceTest', opts.ChoiceTest);
  if isempty (model.History)
    model.History = call;
  else
    model.History(end+1) = call;
  end

  stopped = sum (~model.Converged);
  if stopped > 0
    warning ('vorla:train:cap', ...
             'vorla_train: %d of %d networks stopped at the cap of %d list presentations without converging', ...
             stopped, opts.Voters, cap);
  end
end

%!shared X, y
%! X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35];
%! y = [1; 2; 1; 2; 1; 2];

%!test
%! ## defaults: the training range, D = M, fast learning until convergence
%! model = vorla_train (X, y);
%! [Xs, range] = vorla_scale (X);
%! [T, L, n] = vorla_fit (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Range, model.D, model.Features, model.Scale}, {range, 2, 2, "auto"});
%! assert ({model.ClassNames, model.LabelKind, model.Converged}, {[1; 2], "double", true});

%!test
%! ## each option reaches vorla_fit as the argument it stands for
%! range = [0 0; 10 50];
%! Xs = vorla_scale (X, range);
%! warning ("off", "vorla:train:cap", "local");
%! model = vorla_train (X, y, "vigilance", 0.6, "Alpha", 0.01, "LearningRate", 0.5, ...
%!                      "MaxPresentations", 7, "Trim", true, "ChoiceTest", 1, ...
%!                      "Scale", range, "D", 3);
%! [T, L, n] = vorla_fit (Xs, y, 3, 0.6, 0.01, 0.5, 7, 1, 1, 0);
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Scale, model.MaxPresentations, model.Trim, model.ChoiceTest}, {"range", 7, true, true});
%! model = vorla_train (X / 100, y, "Scale", "none");
%! [T, L, n] = vorla_fit (X / 100, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
%! assert ({model.Templates, model.NLabels, model.Range}, {T, L, []});

%!test
%! ## Trace is the oflag of the call
%! Xs = vorla_scale (X);
%! direct = evalc ("[T, L, n] = vorla_fit (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 3);");
%! layer = evalc ("m = vorla_train (X, y, 'Trace', 3);");
%! assert (regexprep (layer, "in \\d+ seconds", ""), regexprep (direct, "in \\d+ seconds", ""));
%! assert (! isempty (strfind (layer, "List presentation #1:")));

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
%! m3 = vorla_train (X, y, "Voters", 3, "Seed", 5);
%! assert (iscell (m3.Templates) && numel (m3.Templates) == 3);
%! assert (m3.Templates{1}, vorla_train (X, y).Templates);
%! assert (vorla_train (X, y, "Voters", 3, "Seed", 5), m3);
%! ## voter v learns the (v-1)th permutation drawn after seeding the generator
%! Xs = vorla_scale (X);
%! rand ("twister", 5);
%! orders = {randperm(6), randperm(6)};
%! for v = 2:3
%!   [T, L, n] = vorla_fit (Xs(orders{v-1},:), y(orders{v-1}), 2, 0, 0.001, 1, 1000, 0, 0, 0);
%!   assert ({m3.Templates{v}, m3.NLabels{v}, m3.Presentations(v)}, {T, L, n});
%! endfor
%! state = rand ("twister");
%! vorla_train (X, y, "Voters", 2, "Seed", 1);
%! assert (rand ("twister"), state);

%!test
%! ## the warnings, each with its identifier
%! warning ("off", "vorla:train:conflict", "local");
%! lastwarn ("");
%! evalc ("model = vorla_train ([X; 7 7; 7 7; 7 7], [y; 1; 2; 2], 'MaxPresentations', 3);");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:cap");
%! assert (msg, "vorla_train: 1 of 1 networks stopped at the cap of 3 list presentations without converging");
%! assert ({model.Converged, model.Presentations}, {false, 3});
%! warning ("on", "vorla:train:conflict", "local");
%! try
%!   warning ("error", "vorla:train:conflict", "local");
%!   vorla_train ([X; 7 7; 7 7; 7 7], [y; 1; 2; 2], "MaxPresentations", 3);
%!   assert (false);
%! catch err
%!   assert (err.message, ["vorla_train: 3 patterns in 1 groups of identical patterns carry different labels; ", ...
%!                         "no box can separate them, so training cannot converge on them"]);
%! end_try_catch
%! lastwarn ("");
%! vorla_train (X, y, "MaxPresentations", 100, "Voters", 2);
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

%!error <model's labels are int8, which cannot hold the label 300> vorla_train (vorla_train (X, int8 (y)), X, [y(1:5); 300])
%!error <model's labels are of kind cellstr but double labels came> vorla_train (vorla_train (X, {"a"; "b"; "a"; "b"; "a"; "b"}), X, y)
%!error <a continued model keeps its Voters \(1\); 3 given> vorla_train (vorla_train (X, y), X, y, "Voters", 3)
%!error <a continued model keeps its Scale \('auto'\); 'none' given> vorla_train (vorla_train (X, y), X, y, "Scale", "none")
%!error <a continued model keeps its D \(2\); 3 given> vorla_train (vorla_train (X, y), X, y, "D", 3)
%!error <model has 2 features but X has 3 columns> vorla_train (vorla_train (X, y), [X, X(:,1)], y)
%!error <X must be a real numeric .* a 1 x 1 struct given \(a model is continued with> vorla_train (vorla_train (X, y), X)
%!error <model lacks the fields> vorla_train (struct ("Format", "vorla model 1"), X, y)

%!shared P, c, names
%! P = mod ((1:90)' * [0.6180339887, 0.4142135623], 1);
%! c = 1 + (sum ((P - 0.5) .^ 2, 2) > 0.1);
%! c(80:2:90) = 3;
%! names = {"in"; "out"; "zz"};

%!test
%! ## one presentation of A, then of B, then of C: the model of one call on [A; B; C]
%! warning ("off", "vorla:train:cap", "local");
%! warning ("off", "vorla:train:clipped", "local");
%! cases = {{"Scale", "none"}, {"Scale", [0 0; 1 1]}, ...
%!          {"Scale", [0.1 0; 0.8 1], "Vigilance", 0.5, "ChoiceTest", true, "Alpha", 0.1}};
%! for i = 1:numel (cases)
%!   for labels = {c, names(c)}
%!     whole = vorla_train (P, labels{1}, cases{i}{:}, "MaxPresentations", 1);
%!     model = vorla_train (P(1:30,:), labels{1}(1:30), cases{i}{:}, "MaxPresentations", 1);
%!     model = vorla_train (model, P(31:70,:), labels{1}(31:70));
%!     model = vorla_train (model, P(71:90,:), labels{1}(71:90));
%!     fields = {"Templates", "NLabels", "ClassNames", "Range", "Presentations", "Converged"};
%!     assert (cellfun (@(f) model.(f), fields, "UniformOutput", false), ...
%!             cellfun (@(f) whole.(f), fields, "UniformOutput", false));
%!     assert ({[model.History.Patterns], [model.History.Classes]}, {[30 40 20], [2 2 3]});
%!   endfor
%! endfor

%!test
%! ## the trace of a continued call numbers patterns from 1 and nodes on from the model's
%! warning ("off", "vorla:train:cap", "local");
%! whole = evalc ("vorla_train (P, c, 'Scale', 'none', 'MaxPresentations', 1, 'Trace', 3);");
%! first = vorla_train (P(1:50,:), c(1:50), "Scale", "none", "MaxPresentations", 1);
%! rest = evalc ("vorla_train (first, P(51:end,:), c(51:end), 'Trace', 3);");
%! events = @(text) vertcat (regexp (text, 'Pattern #(\d+) (\w+) +node #(\d+)', 'tokens'){:});
%! a = str2double (events (whole)(:,[1 3]));
%! b = str2double (events (rest)(:,[1 3]));
%! a = a(a(:,1) > 50,:);
%! assert (b, [a(:,1) - 50, a(:,2)]);
%! assert (max (b(:,2)) > numel (first.NLabels));
%! assert (min (b(:,2)) >= 1);

%!test
%! ## no patterns: the model as it was; new ones: old nodes and classes keep their place
%! model = vorla_train (P(1:40,:), names(c(1:40)), "Voters", 2, "Trim", true);
%! assert (vorla_train (model, zeros (0, 2), {}), model);
%! assert (vorla_train (model, [], [], "Vigilance", 0.9), model);
%! lastwarn ("");
%! evalc ("more = vorla_train (model, [P(41:end,:); 5 5], [names(c(41:end)); {'aa'}]);");
%! [~, id] = lastwarn ();
%! assert (id, "vorla:train:clipped");
%! assert (more.ClassNames, [model.ClassNames; {"aa"; "zz"}]);
%! for v = 1:2
%!   K0 = numel (model.NLabels{v});
%!   assert (more.NLabels{v}(1:K0), model.NLabels{v});
%!   ## boxes only grow, and a grown box still holds the old one
%!   assert (all (more.Templates{v}(1:K0,1:2)(:) <= model.Templates{v}(:,1:2)(:)));
%!   assert (all (more.Templates{v}(1:K0,3:4)(:) >= model.Templates{v}(:,3:4)(:)));
%! endfor
%! warning ("off", "vorla:predict:clipped", "local");
%! assert (vorla_predict (more, [1 1]), {"aa"});
%! ## Trim: a few patterns near one corner select few of the model's nodes; none is lost
%! warning ("off", "vorla:train:clipped", "local");
%! corner = vorla_train (model, P(1:3,:) * 0.01, names([1; 1; 1]), "Trim", true);
%! for v = 1:2
%!   assert (corner.NLabels{v}(1:numel (model.NLabels{v})), model.NLabels{v});
%! endfor
%! assert (corner.Converged, [true true]);

%!test
%! ## settings come from the model unless given; the call goes to vorla_learn
%! range = [0 0; 2 2];
%! model = vorla_train (P(1:40,:), c(1:40), "Vigilance", 0.6, "Alpha", 0.01, "ChoiceTest", true, ...
%!                      "Scale", range, "D", 3);
%! mt = double (isfield (model, "MatchTracking") && strcmp (model.MatchTracking, "tolerant"));
%! Xs = vorla_scale (P(41:end,:), range);
%! more = vorla_train (model, P(41:end,:), c(41:end));
%! [T, L, n] = vorla_learn (Xs, c(41:end), 3, 0.6, 0.01, 1, 1000, 0, 1, 0, mt, 0, model.Templates, model.NLabels);
%! assert ({more.Templates, more.NLabels, more.Presentations}, {T, L, n});
%! warning ("off", "vorla:train:cap", "local");
%! given = vorla_train (model, P(41:end,:), c(41:end), "Vigilance", 0.8, "LearningRate", 0.5, ...
%!                      "MaxPresentations", 2, "scale", range, "D", 3);
%! [T, L, n] = vorla_learn (Xs, c(41:end), 3, 0.8, 0.01, 0.5, 2, 0, 1, 0, mt, 0, model.Templates, model.NLabels);
%! assert ({given.Templates, given.NLabels, given.Presentations}, {T, L, n});
%! assert ({given.Vigilance, given.LearningRate, given.Alpha, given.History(2).MaxPresentations}, {0.8, 0.5, 0.01, 2});
%! assert ({given.History(1).Vigilance, given.History(1).MaxPresentations}, {0.6, 1000});

%!test
%! ## voters: each network goes on in an order of its own, drawn from the seed of the call
%! A = 0.1 * P(1:30,:);
%! B = 0.9 + 0.1 * P(31:60,:);
%! model = vorla_train (A, c(1:30), "Voters", 3, "Seed", 4, "Scale", "none");
%! ## at vigilance 0.95 no node of A can take a pattern of B: B learns as on its own
%! more = vorla_train (model, B, c(31:60), "Vigilance", 0.95);
%! seed = mod (4 + 2654435769, 2^32);
%! alone = vorla_train (B, c(31:60), "Voters", 3, "Seed", seed, "Scale", "none", "Vigilance", 0.95);
%! for v = 1:3
%!   assert (more.Templates{v}, [model.Templates{v}; alone.Templates{v}]);
%!   assert (more.NLabels{v}, [model.NLabels{v}; alone.NLabels{v}]);
%! endfor
%! assert (more.Presentations, alone.Presentations);
%! assert (vorla_train (model, B, c(31:60), "Vigilance", 0.95), more);
%! again = vorla_train (more, B, c(31:60));
%! assert ([again.History.Seed], mod (4 + (0:2) * 2654435769, 2^32));

%!test
%! ## new classes follow the model's in sorted order, in the model's kind of labels
%! warning ("off", "vorla:train:clipped", "local");
%! warning ("off", "vorla:predict:clipped", "local");
%! model = vorla_train (P(1:40,:), 2 * c(1:40));
%! more = vorla_train (model, P(41:46,:), int8 ([1; 4; 9; 2; 1; 9]));
%! assert (more.ClassNames, [2; 4; 1; 9]);
%! assert (more.NLabels(1:numel (model.NLabels)), model.NLabels);
%! ## vorla_predict names the classes of such a model
%! k = vorla_eval (more.Templates, more.NLabels, 2, 0, 0.001, 0, vorla_scale (P(41:46,:), more.Range), 0, 0);
%! assert (vorla_predict (more, P(41:46,:)), more.ClassNames(k));
%! model = vorla_train (P(1:4,:), ["bb"; "cc"; "bb"; "cc"]);
%! more = vorla_train (model, P(5:7,:), ["a"; "cc"; "a"]);
%! assert (cellstr (more.ClassNames), {"bb"; "cc"; "a"});
%! assert (vorla_predict (more, P(5:7,:)), ["a "; "cc"; "a "]);

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
