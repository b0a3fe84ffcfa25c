function model = vorla_train (X, labels, varargin)
% VORLA_TRAIN  Train a box classifier (one network or a voting group) on labelled data, or continue one.
%
%   model = vorla_train (X, labels)
%   model = vorla_train (X, labels, Name, Value, ...)
%   model = vorla_train (model, X, labels, Name, Value, ...)
%
%   X is an N x M matrix, one pattern per row, one feature per column, of any
%   real numeric class or logical, without Inf (NaN: MissingValues). labels holds one class
%   per pattern, of any usual kind: a numeric vector (every distinct value is
%   a class, fractions included), a logical vector, a cellstr, a char
%   matrix with one label per row, or (MATLAB) a string array. Text options
%   may be char or string. The classes are numbered 1..C in sorted
%   order for vorla_fit and named again by vorla_predict.
%
%   By default the features are scaled into [0, 1] by the training range
%   (where far values would squash a feature, by the span of the rest), the
%   vigilance is chosen on 5 inner stratified folds of the
%   training data (OptimizeHyperparameters below), ten networks are trained
%   at the chosen vigilance with fast learning and tolerant match tracking
%   until a list presentation changes nothing, and the range goes into the
%   model so that vorla_predict scales new data the same way. The network of
%   the 1992 paper, exactly as vorla_fit trains it, is
%     vorla_train (X, labels, 'Vigilance', 0, 'Voters', 1, 'MatchTracking', 'strict', 'Scale', 'auto')
%   (an option given by name is never searched).
%
%   Options (names are case-insensitive):
%     'Vigilance'         0      baseline vigilance in [0, 1]; boxes may grow
%                                up to (1 - Vigilance) * D.
%     'Alpha'             0.001  choice parameter, >= 0.
%     'LearningRate'      1      in (0, 1]; 1 is fast learning.
%     'MaxPresentations'  Inf    the most list presentations (at most
%                                2^31 - 1). Inf trains until
%                                convergence, with a safety cap of 1000
%                                presentations; a warning says when a run
%                                stops at that cap. A cap given here stops
%                                runs silently: model.Converged tells.
%     'Trim'              false  leave out the inactive nodes of a converged
%                                run.
%     'ChoiceTest'        false  the CT: a node must be chosen at least as
%                                strongly as an uncommitted node.
%     'Scale'             'robust'  'robust': the range of X, except that a
%                                feature whose range is more than twice the
%                                span of its values within the outer fences
%                                (first quartile - 3 IQR to third quartile
%                                + 3 IQR) gets that span, so that a few far
%                                values (an outlier, a mistyped record) do
%                                not squash the rest into a corner; values
%                                beyond it are clipped to it. On data without
%                                such values it is the range of X. Kept in the
%                                model and applied to new data. 'auto': the
%                                whole range of X (vorla_scale); 'none':
%                                X is used as given (scale it into [0, 1]
%                                yourself, or choose a D that holds it: a
%                                warning says when neither is so); or a 2 x M
%                                range [smallest; largest] to scale with
%                                (values beyond it are clipped to it, with
%                                the warning vorla:train:clipped under the
%                                rule of vorla_predict).
%     'D'                 M      size of the input space, > 0.
%     'Voters'            10     number of networks (at most 10000). Network 1 learns the
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
%     'MissingValues'     'inside'  what NaN in X means, a missing value:
%                                'inside': the pattern lies inside every
%                                box in that feature, so boxes are matched
%                                and chosen by the features observed and
%                                grow in no missing one, and a node made from it
%                                stays open in the feature until a value
%                                comes (vorla_learn; a pattern with every
%                                feature missing is left out, warning
%                                vorla:train:gone); 'impute': the training
%                                median of the feature (of a categorical one
%                                its most frequent category), kept in the model
%                                (model.Impute) and used by vorla_predict;
%                                'error': NaN is refused. The default was
%                                chosen by measurement (doc/accuracy.md).
%     'Display'           'off'  progress: 'iter' prints a line per list
%                                presentation as it ends (its number, the
%                                nodes, those created and changed in it, the
%                                seconds so far), 'final' a line per network.
%                                Both count the presentations as
%                                model.Presentations does: a converged run's
%                                last one, which changed nothing, is named
%                                but not counted.
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
%                                for bit; a worker that cannot start leaves
%                                its tasks to this process, with the warning
%                                vorla:train:workers.
%     'Threads'           0      threads that train the voters at once in this
%                                process, one network per thread: 0 for every
%                                core the process may use, 1 for one network
%                                after another. The model, the Trace output
%                                (in network order) and the 'final' lines are
%                                the same for any number, bit for bit; with
%                                more than one the texts come once every
%                                network has ended. Display 'iter' (lines as
%                                they come), 'final' with a Trace (lines
%                                between the traces) and Parallel true train
%                                as with 1.
%     'OptimizeHyperparameters'  'auto'  options chosen on inner folds of
%                                the training data before the model is
%                                trained on all of it: 'auto' the Vigilance;
%                                'all' the Vigilance, Voters, MatchTracking and
%                                MaxPresentations; a cell of option names
%                                (any of those, ChoiceTest, Alpha,
%                                LearningRate); 'none' no search. An option
%                                given by name keeps its value and is not
%                                searched. Each setting is scored by the share
%                                of the held-out patterns of all inner folds
%                                that its networks label right; the best wins,
%                                of tied ones the smaller model (fewer nodes),
%                                then the earlier. The first v networks of a
%                                setting are those of Voters v, so one group of
%                                networks scores every count up to the
%                                largest; settings are pruned by successive
%                                halving on that count (all train 3 networks,
%                                the better half go on to the largest count).
%                                The search's networks train in silence
%                                (Trace and Display are the final model's); it
%                                costs about 15 times the training of the
%                                final model: give the options by name, or
%                                'none', where that is too much.
%     'HyperparameterOptimizationOptions'  struct ()  fields, all optional:
%                                KFold (5, or one fold per pattern for fewer
%                                patterns; a single pattern skips the
%                                search), CVPartition (the inner folds: a
%                                cvpartition or a vector of fold numbers, 0
%                                for a pattern never held out), SearchSpace (a
%                                struct of option values, e.g.
%                                struct ('Vigilance', [0 0.75 0.9]); default
%                                Vigilance 0, 0.5, 0.7, 0.8, 0.9, Voters 1, 3,
%                                10, MatchTracking both rules,
%                                MaxPresentations 1 and Inf, ChoiceTest both,
%                                Alpha 0.001, 0.1, 1, LearningRate 1, 0.5),
%                                MaxObjectiveEvaluations (Inf: at most this
%                                many settings, drawn from the seed), Display
%                                ('off', 'iter': a line per setting tried,
%                                'final': the choice) and Seed (the model's:
%                                deals the inner folds and the voters' orders).
%     'CategoricalPredictors'  []  the features whose values are categories,
%                                not quantities, as MATLAB's fitc* take it:
%                                feature indices, a logical mask of M, or
%                                'all'. Text X (a cellstr matrix, or MATLAB's
%                                categorical array) is categorical in every
%                                feature. A categorical feature of L
%                                categories (those seen in X, in sorted
%                                order) is coded as L indicator columns at
%                                1 / L (one column at 0 and 1 for L = 2), so
%                                that a box holds a set of categories, not a
%                                range of codes, and spans 1 when it holds
%                                them all, as a numeric feature's box spans 1
%                                over its whole range: D stays M. The coding
%                                goes into the model and vorla_predict codes
%                                new data the same way; a category that
%                                training never saw is a missing value (the
%                                warning vorla:predict:category counts
%                                them). Codes that are really
%                                quantities (cylinders, years, counts) do
%                                better as numbers: see doc/categorical.md.
%
%   Each network is one call
%     vorla_fit (Xs(order,:), index(order), D, Vigilance, Alpha,
%                LearningRate, cap, Trim, ChoiceTest, Trace)
%   with Xs the scaled X and index the class numbers of the labels; with
%   tolerant match tracking, or Display 'iter', the call is vorla_learn with
%   the same ten inputs and match_tracking and display after them.
%
%   The model is a plain struct (save and load keep it, in every format but
%   Octave's -float-binary, which rounds it to single precision):
%     Format            'vorla model 1'
%     ClassNames        C x 1 classes in sorted order (a continued model
%                       appends its new ones): numeric or logical as the
%                       labels were, a cellstr for text labels (char rows
%                       without their trailing blanks; strings too, so that
%                       Octave, which has no strings, can use the model);
%                       NLabels index into it
%     LabelKind         class of the labels ('double', 'int8', 'logical',
%                       ...), 'cellstr', 'char' or 'string': the kind that
%                       vorla_predict gives back
%     Features          M, the number of columns of X
%     Range             2 x M scaling range ([] with Scale 'none', and
%                       must stay so); [0; 1] for a categorical feature
%     CategoricalPredictors  indices of the categorical features ([] for none)
%     Categories        1 x P cell, the sorted categories of each of them
%                       (a column of numbers, or a cellstr for text)
%     MissingValues     'inside', 'impute' or 'error', as trained (a model
%                       made without the field reads as 'inside')
%     Impute            1 x M fill values with 'impute' (medians, and the
%                       position in Categories of a categorical feature's
%                       most frequent category), [] otherwise
%     Templates         K x 2M node boxes as vorla_fit returned them, in the
%                       scaled units (and the columns of the categorical
%                       coding, 2W for W columns); with Voters > 1 a 1 x V cell of them
%     NLabels           K x 1 class index of each node; with Voters > 1 a
%                       1 x V cell of them
%     Presentations     1 x V list presentations of each network
%     Converged         1 x V, true where the run ended before its cap
%     D, Vigilance, Alpha, LearningRate, MaxPresentations (the cap used),
%     Trim, ChoiceTest, Scale ('robust', 'auto', 'none' or 'range'), Voters, Seed,
%     MatchTracking     the settings of the training
%     HyperparameterOptimizationResults  (only when a search ran) Optimized
%                       (the names searched), KFold, Seed, Best (the chosen
%                       values), BestAccuracy (its inner accuracy), Trials
%                       (one row per setting and count of networks scored:
%                       the searched options, Voters, Accuracy and the mean
%                       Nodes of an inner fold's networks); the same data
%                       and settings give the same results, bit for bit
%     History           one entry per call that trained the model, with the
%                       fields Patterns, Classes and Nodes (counts after the
%                       call), Presentations, Converged, Seed (of the voters'
%                       orders) and the settings Vigilance, Alpha,
%                       LearningRate, MaxPresentations, Trim, ChoiceTest and
%                       MatchTracking
%
%   Continuing a model: vorla_train (model, X, labels, ...) trains on the
%   new patterns only, starting from the model's nodes in their order (each
%   network through vorla_learn), as Fuzzy ARTMAP learns incrementally.
%     - X is scaled with the model's range; values beyond it are clipped to it,
%       with the warning vorla:train:clipped under the rule of vorla_predict
%       (a feature far beyond the range in many patterns).
%     - CategoricalPredictors and the categories belong to the model: a
%       category the model has never seen is coded as in vorla_predict,
%       with the warning vorla:train:category.
%     - Labels must be of the model's kind (text or numeric). Classes the model
%       knows keep their numbers; new classes follow, in sorted order. The
%       nodes keep their order and classes; new nodes come after them, and
%       the trace numbers them on from the model's last node.
%     - Settings are the model's unless given: Vigilance, Alpha, LearningRate,
%       MaxPresentations, Trim, ChoiceTest and MatchTracking may change for
%       this call (the model then records the new values). Scale, D, Voters
%       and Seed belong to the model; giving another value is an error.
%       Display, Trace and Parallel are the call's, as ever. Nothing is
%       searched again: OptimizeHyperparameters other than 'none' is an
%       error (vorla:train:OptimizeHyperparameters).
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
%   continuing on B gives bit for bit the nodes of one call on [A; B], under
%   either match-tracking rule.
%
%   Warnings (once per call; warning ('off', ID) silences one):
%     vorla:train:oneclass  every pattern carries the same class.
%     vorla:train:conflict  identical patterns carry different labels: their
%                           number, the first rows, and what the rule in
%                           force does with them.
%     vorla:train:cap       a network stopped at the safety cap without
%                           converging (not when MaxPresentations is given,
%                           to this call or to the model's first).
%     vorla:train:unscaled  with Scale 'none', values outside [0, 1] and a D
%                           smaller than the data's extent.
%     vorla:train:clipped   a feature of X lies far beyond the given Scale
%                           range or, continuing, the model's range.
%     vorla:train:workers   with Parallel, worker processes that could not
%                           start: what the first said.
%   Errors carry identifiers vorla:train:arguments, vorla:train:X, vorla:train:labels,
%   vorla:train:shape, vorla:train:options and vorla:train:<Option>; when
%   continuing also vorla:train:model and vorla:train:features.
%
%   Example:
%     % MATLAB (Statistics Toolbox): load fisheriris
%     % Octave (statistics package):
%     stats = pkg ('list', 'statistics');
%     load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'))
%     % meas 150 x 4, species 150 x 1 cellstr
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
%   convergence instead. The first call names its vigilance and one network:
%   a search would see the first chunk only, and each further voter would
%   learn every chunk in an order of its own.
%     fid = fopen ('records.bin', 'r');
%     range = [Inf, Inf; -Inf, -Inf];
%     chunk = fread (fid, [3, 1e6], 'double')';
%     while ~isempty (chunk)
%       range = [min([range(1,:); chunk(:,1:2)]); max([range(2,:); chunk(:,1:2)])];
%       chunk = fread (fid, [3, 1e6], 'double')';
%     end
%     frewind (fid);
%     model = [];
%     chunk = fread (fid, [3, 1e6], 'double')';
%     while ~isempty (chunk)
%       if isempty (model)
%         model = vorla_train (chunk(:,1:2), chunk(:,3), 'Scale', range, ...
%                              'MaxPresentations', 1, 'Vigilance', 0, 'Voters', 1);
%       else
%         model = vorla_train (model, chunk(:,1:2), chunk(:,3));
%       end
%       chunk = fread (fid, [3, 1e6], 'double')';
%     end
%     fclose (fid);
%
%   See also: vorla_predict, vorla_crossval, vorla_fit, vorla_scale,
%   vorla_plot_boxes.

  if nargin < 1 || (nargin < 2 && ~isstruct (X))
    error ('vorla:train:arguments', ['vorla_train: expected (X, labels, Name, Value, ...) or ' ...
           '(model, X, labels, Name, Value, ...); %d arguments given'], nargin);
  end
  if isstruct (X)
    if nargin < 3
      error ('vorla:train:X', ['vorla_train: X must be a real numeric or logical matrix, one row per pattern; %s given ' ...
                               '(a model is continued with new patterns and their labels: vorla_train (model, X, labels, ...))'], ...
             describe (X));
    end
    model = continue_model (X, labels, varargin{1}, varargin(2:end));
    return;
  end
  [model, Xs, index, opts] = train_plan (X, labels, varargin);
  nets = train_networks (Xs, index, opts, opts.Seed, {});
  model = record_call (model, nets, opts, size (Xs, 1), opts.Seed);
end

function model = continue_model (model, X, labels, options)
% Training that goes on from the nodes of a model, on new patterns only.
  model = check_model ('train', model);
  [opts, given] = parse_options (train_parser ('train'), 'train', options);
  opts = check_train_options ('train', opts, model.Features);
  if any (strcmp (given, 'OptimizeHyperparameters')) && ~isequal (lower (opts.OptimizeHyperparameters), 'none')
    error ('vorla:train:OptimizeHyperparameters', ['vorla_train: a continued model keeps the settings it was ' ...
           'trained with; give them by name to change them (OptimizeHyperparameters %s given)'], ...
           describe (opts.OptimizeHyperparameters));
  end
  opts = model_settings (model, opts, given);
  [how, fill] = model_missing (model);
  if any (strcmp ('MissingValues', given)) && ~strcmp (opts.MissingValues, how)
    error ('vorla:train:MissingValues', 'vorla_train: a continued model keeps its MissingValues (''%s''); ''%s'' given', ...
           how, opts.MissingValues);
  end
  if (isnumeric (X) || islogical (X)) && isempty (X) && isempty (labels)
    return;
  end
  if any (strcmp (given, 'CategoricalPredictors')) ...
     && ~isequal (find (check_option ('train', 'CategoricalPredictors', opts.CategoricalPredictors, model.Features)), ...
                  categorical_features (model))
    error ('vorla:train:CategoricalPredictors', 'vorla_train: a continued model keeps its CategoricalPredictors (%s); %s given', ...
           mat2str (categorical_features (model)), describe (opts.CategoricalPredictors));
  end
  X = check_patterns ('train', category_positions ('train', X, model), 'X', true, ~strcmp (how, 'error'));
  [names, index] = continue_classes ('train', model.ClassNames, model.LabelKind, labels);
  check_shape ('train', X, numel (index));
  [X, index] = prepare_missing (X, index, how, fill, categorical_features (model));

  if strcmp (model.Scale, 'none')
    Xs = code_patterns (X, [], model);
    check_unscaled ('train', Xs, model.D, 'X');
  else
    clip_warning ('train', X, model.Range, false, categorical_features (model));
    Xs = code_patterns (X, model.Range, model);
  end
  conflict_warning ('train', Xs, index, opts.MatchTracking);
  calls = 1;
  if isfield (model, 'History')
    calls = numel (model.History);
  end
  % Each call draws the voters' orders from a seed of its own, so that a
  % network never learns its chunks in orders that repeat from call to call.
  seed = mod (opts.Seed + calls * 2654435769, 2^32);
  [templates, nlabels] = network_list (model);
  nets = train_networks (Xs, index, opts, seed, [templates; nlabels]);
  model.ClassNames = names;
  if ~isfield (model, 'History')
    model.History = struct ([]);
  end
  model = record_call (model, nets, opts, size (Xs, 1), seed);
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
    if ~any (strcmp (name, given)) && isfield (model, name)
      opts.(name) = model.(name);
    end
  end
  % A model made before the rule was an option learned by the strict one.
  if ~any (strcmp ('MatchTracking', given)) && ~isfield (model, 'MatchTracking')
    opts.MatchTracking = 'strict';
  end
  % The safety cap that the model's first call chose goes on as "until
  % convergence", with its warning.
  if ~any (strcmp ('MaxPresentations', given)) && opts.MaxPresentations == safety_cap ()
    opts.MaxPresentations = Inf;
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

function nets = train_networks (Xs, index, opts, seed, start)
% The networks of a call: network 1 learns the patterns in the given order,
% network v > 1 in the (v-1)th order drawn from seed. start holds the nodes
% of a model to go on from (Templates in row 1, NLabels in row 2, one column
% per network), or nothing.
  N = size (Xs, 1);
  V = opts.Voters;
  % [] stands for the given order, which the first network learns without a copy.
  orders = [{[]}, seeded_permutations(seed, repmat (N, 1, V - 1))];
  args = {opts.D, opts.Vigilance, opts.Alpha, opts.LearningRate, presentation_cap(opts), ...
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
  if ~isempty (start)
    for v = 1:V
      tasks{v}.templates0 = start{1,v};
      tasks{v}.nlabels0 = start{2,v};
    end
  end
  % One call for all, unless lines must come as they are made or interleave
  % with the trace.
  batch = strcmp (opts.Display, 'off') || (strcmp (opts.Display, 'final') && opts.Trace == 0);
  if V > 1 && opts.Threads ~= 1 && ~opts.Parallel && batch
    orders{1} = 1:N;
    nets = batch_networks (Xs, index, orders, args, opts, start, net_names);
  else
    nets = run_tasks ('fit_network', tasks, opts.Parallel, 'train');
  end
end

function nets = batch_networks (Xs, index, orders, args, opts, start, net_names)
% The networks of train_networks in one vorla_learn call, on opts.Threads
% threads: each as fit_network trains it (vorla_learn without given nodes and
% under the strict rule is vorla_fit, bit for bit).
  V = numel (orders);
  if isempty (start)
    templates0 = zeros (0, 0);
    nlabels0 = zeros (0, 1);
  else
    templates0 = start(1,:);
    nlabels0 = start(2,:);
  end
  [T, L, n, h] = vorla_learn (Xs, index, args{:}, double (strcmp (opts.MatchTracking, 'tolerant')), 0, ...
                              templates0, nlabels0, orders, opts.Threads);
  nets = cell (1, V);
  for v = 1:V
    nets{v} = struct ('Templates', T{v}, 'NLabels', L{v}, 'Presentations', n(v));
    if strcmp (opts.Display, 'final')
      final_line (net_names{v}, n(v), args{5}, numel (L{v}), h{v}(end,4));
    end
  end
end

%!shared X, y, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
%! X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35];
%! y = [1; 2; 1; 2; 1; 2];

%!test
%! ## defaults: the training range (no feature has far values), D = M, tolerant fast learning until convergence
%! model = vorla_train (X, y, one_net{:});
%! [Xs, range] = vorla_scale (X);
%! [T, L, n] = vorla_learn (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 0, 1, 0, zeros (0, 0), zeros (0, 1));
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Range, model.D, model.Features, model.Scale}, {range, 2, 2, "robust"});
%! assert ({model.ClassNames, model.LabelKind, model.Converged}, {[1; 2], "double", true});
%! assert (model.MatchTracking, "tolerant");

%!test
%! ## the robust range: a feature squashed by far values keeps the span within its outer fences
%! ## (0:10 has the quartiles 2 and 8 of 12 values, so the fences -16 and 26)
%! cases = {1000, [0; 10];                   # far beyond: the span of the rest
%!          26,   [0; 26];                   # on the fence: inside
%!          27,   [0; 10];                   # just beyond, and the range over twice the rest's
%!          19,   [0; 19]};                  # inside: the whole range
%! for i = 1:rows (cases)
%!   z = [(0:10)'; cases{i,1}];
%!   model = vorla_train ([z, (1:12)'], mod ((1:12)', 2), one_net{:});
%!   assert (model.Range, [cases{i,2}, [1; 12]]);
%! endfor
%! ## no spread between the quartiles: the whole range
%! assert (vorla_train ([zeros(11, 1); 5], mod ((1:12)', 2), one_net{:}).Range, [0; 5]);
%! ## values beyond it are clipped, in training and in prediction; "auto" keeps the whole range
%! z = [(0:10)'; 1000];
%! model = vorla_train (z, mod ((1:12)', 2) + 1, one_net{:});
%! assert (max (model.Templates(:)), 1);
%! assert (vorla_predict (model, 500), vorla_predict (model, 10));
%! assert (vorla_train (z, mod ((1:12)', 2) + 1, "Scale", "auto", one_net{:}).Range, [0; 1000]);

%!test
%! ## with the strict rule each option reaches vorla_fit as the argument it stands for
%! range = [0 0; 10 50];
%! Xs = vorla_scale (X, range);
%! model = vorla_train (X, y, "vigilance", 0.6, "Alpha", 0.01, "LearningRate", 0.5, ...
%!                      "MaxPresentations", 7, "Trim", true, "ChoiceTest", 1, ...
%!                      "Scale", range, "D", 3, "MatchTracking", "Strict", one_net{:});
%! [T, L, n] = vorla_fit (Xs, y, 3, 0.6, 0.01, 0.5, 7, 1, 1, 0);
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! assert ({model.Scale, model.MaxPresentations, model.Trim, model.ChoiceTest}, {"range", 7, true, true});
%! assert (model.MatchTracking, "strict");
%! model = vorla_train (X / 100, y, "Scale", "none", "MatchTracking", "strict", one_net{:});
%! [T, L, n] = vorla_fit (X / 100, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
%! assert ({model.Templates, model.NLabels, model.Range}, {T, L, []});
%! ## the tolerant rule takes the same options through vorla_learn
%! model = vorla_train (X, y, "Vigilance", 0.6, "Alpha", 0.01, "ChoiceTest", true, "Scale", range, "D", 3, one_net{:});
%! [T, L, n] = vorla_learn (Xs, y, 3, 0.6, 0.01, 1, 1000, 0, 1, 0, 1, 0, zeros (0, 0), zeros (0, 1));
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});

%!test
%! ## Trace is the oflag of the call
%! Xs = vorla_scale (X);
%! direct = evalc ("[T, L, n] = vorla_fit (Xs, y, 2, 0, 0.001, 1, 1000, 0, 0, 3);");
%! layer = evalc ("m = vorla_train (X, y, 'Trace', 3, 'MatchTracking', 'strict', one_net{:});");
%! assert (regexprep (layer, "in \\d+ seconds", ""), regexprep (direct, "in \\d+ seconds", ""));
%! assert (! isempty (strfind (layer, "List presentation #1:")));

%!test
%! ## Display: a line per presentation ('iter'), per network ('final'), or nothing
%! assert (evalc ("vorla_train (X, y, one_net{:});"), "");
%! text = evalc ("m = vorla_train (X, y, 'Display', 'iter', one_net{:});");
%! lines = strsplit (strtrim (text), "\n");
%! assert (numel (lines), m.Presentations + 1);
%! assert (strncmp (lines, "vorla_learn: presentation ", 26));
%! text = evalc ("m = vorla_train (X, y, 'Display', 'iter', 'Voters', 2, 'MatchTracking', 'strict', no_search{:});");
%! assert (! isempty (strfind (text, "vorla_train: network 2 of 2")));
%! assert (m, vorla_train (X, y, "Voters", 2, "MatchTracking", "strict", no_search{:}));
%! text = evalc ("m = vorla_train (X, y, 'Display', 'final', 'Voters', 3, no_search{:});");
%! assert (regexp (text, "^vorla_train: network 1 of 3 converged after \\d+ list presentations? \\(presentation \\d+ changed nothing\\), \\d+ nodes, [\\d.]+ s\n"));
%! assert (numel (strfind (text, "\n")), 3);
%! ## both count the presentations as the model does, and name the one that confirmed it
%! for display = {"iter", "final"}
%!   text = evalc ("m = vorla_train (X, y, 'Display', display{1}, one_net{:});");
%!   said = regexp (text, "converged after (\\d+) list presentations? \\(presentation (\\d+) changed nothing\\)", "tokens");
%!   assert (numel (said), 1);
%!   assert (str2double (said{1}), [m.Presentations, m.Presentations + 1]);
%! end
%! text = evalc ("m = vorla_train (X, y, 'Display', 'final', 'MaxPresentations', 1, one_net{:});");
%! assert (regexp (text, "^vorla_train: stopped at its cap of 1 list presentation, \\d+ nodes"));

%!test
%! ## labels of every kind become class indices in sorted order
%! expect = vorla_train (X, y, one_net{:});
%! kinds = {[0.5; 2.5; 0.5; 2.5; 0.5; 2.5], int8(y), y == 2, ...
%!          {"b"; "c"; "b"; "c"; "b"; "c"}, ["ab"; "cd"; "ab"; "cd"; "ab"; "cd"]};
%! for i = 1:numel (kinds)
%!   model = vorla_train (X, kinds{i}, one_net{:});
%!   assert (model.NLabels, expect.NLabels);
%!   assert (model.Templates, expect.Templates);
%!   if ischar (kinds{i})
%!     assert ({model.ClassNames, model.LabelKind}, {{"ab"; "cd"}, "char"});
%!   else
%!     assert (class (model.ClassNames), class (kinds{i}));
%!   endif
%! endfor
%! assert (vorla_train (X, y', one_net{:}).NLabels, expect.NLabels);
%! ## char rows name their classes without trailing blanks
%! assert (vorla_train (X, ["a "; "bb"; "a "; "bb"; "a "; "bb"], one_net{:}).ClassNames, {"a"; "bb"});

%!test
%! ## voters: the first keeps the given order, the others follow the seed
%! m3 = vorla_train (X, y, "Voters", 3, "Seed", 5, "MatchTracking", "strict", no_search{:});
%! assert (iscell (m3.Templates) && numel (m3.Templates) == 3);
%! assert (m3.Templates{1}, vorla_train (X, y, "MatchTracking", "strict", one_net{:}).Templates);
%! assert (vorla_train (X, y, "Voters", 3, "Seed", 5, "MatchTracking", "strict", no_search{:}), m3);
%! ## voter v learns the (v-1)th permutation drawn from the layer's own
%! ## generator: pinned, since they must be the same in every host and version
%! Xs = vorla_scale (X);
%! orders = {[3 2 5 1 6 4], [3 5 6 4 1 2]};
%! for v = 2:3
%!   [T, L, n] = vorla_fit (Xs(orders{v-1},:), y(orders{v-1}), 2, 0, 0.001, 1, 1000, 0, 0, 0);
%!   assert ({m3.Templates{v}, m3.NLabels{v}, m3.Presentations(v)}, {T, L, n});
%! endfor
%! state = rand ("twister");
%! vorla_train (X, y, "Voters", 2, "Seed", 1, no_search{:});
%! assert (rand ("twister"), state);

%!test
%! ## Threads: the voters at once on threads give the serial model, trace and lines
%! rand ("state", 2);
%! Q = rand (80, 3);
%! q = 1 + (Q(:,1) + Q(:,2) > 1) + (Q(:,3) > 0.8);
%! for rule = {"strict", "tolerant"}
%!   how = {"Voters", 4, "Seed", 3, "MatchTracking", rule{1}, "Vigilance", 0.4, no_search{:}};
%!   serial = vorla_train (Q, q, how{:}, "Threads", 1);
%!   for threads = [0 2 3]
%!     assert (vorla_train (Q, q, how{:}, "Threads", threads), serial);
%!   endfor
%!   ## and so does a continued model, each voter from its own nodes
%!   assert (vorla_train (serial, Q(1:20,:), q(1:20), "Threads", 2), vorla_train (serial, Q(1:20,:), q(1:20), "Threads", 1));
%! endfor
%! untimed = @(text) regexprep (text, "(in \\d+ seconds|[\\d.]+ s\n)", "");
%! one = evalc ("m = vorla_train (Q, q, 'Voters', 3, 'Trace', 2, 'Threads', 1, no_search{:});");
%! two = evalc ("m = vorla_train (Q, q, 'Voters', 3, 'Trace', 2, 'Threads', 2, no_search{:});");
%! assert (untimed (two), untimed (one));
%! assert (numel (strfind (one, "FAM training converged")), 3);
%! one = evalc ("m = vorla_train (Q, q, 'Voters', 3, 'Display', 'final', 'Threads', 1, no_search{:});");
%! two = evalc ("m = vorla_train (Q, q, 'Voters', 3, 'Display', 'final', 'Threads', 2, no_search{:});");
%! assert (untimed (two), untimed (one));
%! assert (regexp (two, "^vorla_train: network 1 of 3 converged after \\d+ list presentations? .*, \\d+ nodes, [\\d.]+ s\n"));
%! ## the search's networks, and a cross-validation's folds, are those of the serial run
%! assert (vorla_train (Q, q, "Voters", 3, "Threads", 2), vorla_train (Q, q, "Voters", 3, "Threads", 1));
%! untimed = @(r) rmfield (r, "Time");
%! assert (untimed (vorla_crossval (Q, q, "KFold", 3, "Voters", 2, "Vigilance", [0 0.5], "Threads", 2)), ...
%!         untimed (vorla_crossval (Q, q, "KFold", 3, "Voters", 2, "Vigilance", [0 0.5], "Threads", 1)));

%!test
%! ## identical patterns with different labels: the tolerant rule gives each
%! ## label a node and converges; the strict rule runs to its cap
%! twins = [X; 0.5 30; 0.5 30; 4 40];
%! labels = [y; 1; 2; 1];
%! lastwarn ("");
%! evalc ("model = vorla_train (twins, labels, one_net{:});");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:conflict");
%! assert (strfind (msg, "vorla_train: 4 patterns in 2 groups of identical patterns carry different labels (rows 4, 7, 8, 9); tolerant"), 1);
%! assert (! isempty (strfind (msg, "'MatchTracking', 'strict'")));
%! assert (model.Converged);
%! assert (numel (model.NLabels) <= numel (vorla_train (X, y, one_net{:}).NLabels) + 2 * 4);
%! warning ("off", "vorla:train:conflict", "local");
%! model = vorla_train (twins, labels, "MatchTracking", "strict", "MaxPresentations", 4, one_net{:});
%! assert ({model.Converged, model.Presentations}, {false, 4});

%!test
%! ## the cap warns only where the caller did not choose it
%! warning ("off", "vorla:train:conflict", "local");
%! twins = [X; 7 7; 7 7];
%! lastwarn ("");
%! vorla_train (twins, [y; 1; 2], "MatchTracking", "strict", "MaxPresentations", 3, "Voters", 2, no_search{:});
%! assert (lastwarn (), "");
%! [msg, id] = deal ("");
%! try
%!   warning ("error", "vorla:train:cap", "local");
%!   vorla_train ([0; 0; 1], [1; 2; 1], "MatchTracking", "strict", one_net{:});
%! catch err
%!   [msg, id] = deal (err.message, err.identifier);
%! end_try_catch
%! assert (id, "vorla:train:cap");
%! assert (strncmp (msg, "vorla_train: 1 of 1 networks stopped at the safety cap of 1000 list presentations", 80));

%!test
%! ## Scale 'none' with values outside [0, 1]: one warning, unless D holds the data
%! lastwarn ("");
%! evalc ("vorla_train (X, y, 'Scale', 'none', one_net{:});");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:unscaled");
%! assert (msg, ["vorla_train: with Scale 'none', 11 values in 6 patterns of X lie outside [0, 1] and the data ", ...
%!               "span 46 against D = 2, so their boxes fail the vigilance test; use 'Scale', 'auto' (the training ", ...
%!               "range), scale the features into [0, 1], or give a D of at least 46"]);
%! lastwarn ("");
%! vorla_train (X, y, "Scale", "none", "D", 46, one_net{:});
%! vorla_train (X - 3.5, y, "Scale", "none", "D", 46, one_net{:});
%! vorla_train (X / 40, y, "Scale", "none", one_net{:});
%! assert (lastwarn (), "");

%!test
%! ## a given Scale range clips X under the rule of continuing and predicting:
%! ## a few values beyond it in silence, a feature in other units with one warning
%! range = [0 0; 6 40];
%! lastwarn ("");
%! vorla_train ([X; 7 60], [y; 1], "Scale", range, one_net{:});
%! assert (lastwarn (), "");
%! lastwarn ("");
%! model = vorla_train (X, y, "Scale", [0 0; 6 4], "Voters", 2, no_search{:});
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:train:clipped");
%! assert (msg, ["vorla_train: 6 of the 6 values of feature 2 of X lie beyond the given Scale range [0, 4] ", ...
%!               "by more than its width: is the range in other units than X? 6 values in 6 patterns ", ...
%!               "were clipped to the range"]);
%! assert (model.Range, [0 0; 6 4]);

%!function id = lasterr_of (call)
%! id = "";
%! try
%!   call ();
%! catch err
%!   id = err.identifier;
%! end_try_catch
%!endfunction

%!function Xs = by_hand (X, range)
%! ## feature 1 scaled, feature 2 (categories 1, 2, 5) as indicators at 1/3, feature 3 (0, 1) as one column
%! Xs = [(X(:,1) - range(1)) / (range(2) - range(1)), [X(:,2) == 1, X(:,2) == 2, X(:,2) == 5] / 3, X(:,3)];
%!endfunction

%!test
%! ## a categorical feature of three categories takes three indicators at 1/3, one of two a single column;
%! ## the option as indices, a mask or 'all' of MATLAB's fitc*
%! Z = [1 1 0; 2 5 1; 3 2 0; 4 1 1; 5 5 0; 6 2 1; 2.5 5 1; 4.5 2 0];
%! z = [1; 2; 1; 2; 1; 2; 1; 1];
%! [T, L, ~] = vorla_learn (by_hand (Z, [1 6]), z, 3, 0.5, 0.001, 1, 1000, 0, 0, 0, 1, 0, zeros (0, 0), zeros (0, 1));
%! for given = {[2 3], [3 2], logical([0 1 1]), logical([0; 1; 1])}
%!   m = vorla_train (Z, z, "CategoricalPredictors", given{1}, "Vigilance", 0.5, one_net{:});
%!   assert ({m.Templates, m.NLabels, m.CategoricalPredictors, m.Categories}, {T, L, [2 3], {[1; 2; 5], [0; 1]}});
%!   assert ({m.D, m.Range}, {3, [1 0 0; 6 1 1]});
%! endfor
%! m = vorla_train (Z(:,2:3), z, "CategoricalPredictors", "all", one_net{:});
%! assert ({m.CategoricalPredictors, size(m.Templates, 2)}, {[1 2], 8});
%! ## without the option nothing changes: codes are numbers
%! m = vorla_train (Z, z, one_net{:});
%! assert ({m.CategoricalPredictors, m.Categories, size(m.Templates, 2)}, {[], {}, 6});
%! ## text patterns: every feature categorical, its categories in sorted order
%! m = vorla_train ({"red", "s"; "blue", "m"; "red", "m"; "green", "s"}, [1; 2; 1; 2], one_net{:});
%! assert ({m.CategoricalPredictors, m.Categories}, {[1 2], {{"blue"; "green"; "red"}, {"m"; "s"}}});
%! assert (vorla_predict (m, {"red", "s"; "green", "m"}), [1; 2]);

%!test
%! ## prediction codes as training did; a category never seen is a missing value (NaN in each of its
%! ## indicators, inside every box there), with a warning that counts them
%! Z = [1 1 0; 2 5 1; 3 2 0; 4 1 1; 5 5 0; 6 2 1];
%! m = vorla_train (Z, [1; 2; 1; 2; 1; 2], "CategoricalPredictors", [2 3], "Voters", 1, "Vigilance", 0.6, no_search{:});
%! Q = [1.5 2 1; 7 5 0; 3 4 0; 2 1 7; 4 3 3; 2 NaN 0];
%! Qs = by_hand (Q, [1 6]);
%! Qs(1,1) = 0.1;
%! Qs(2,1) = 1;
%! Qs([3 5 6],2:4) = NaN;
%! Qs(4:5,end) = NaN;
%! expect = vorla_eval (m.Templates, m.NLabels, 3, 0, 0.001, 0, Qs, 0, 0);
%! [~, expect(3:6)] = vorla_score (m.Templates, m.NLabels, 3, 0, 0.001, 0, Qs(3:6,:), 2);
%! assert (all (expect > 0));
%! warning ("off", "vorla:predict:clipped", "local");
%! lastwarn ("");
%! evalc ("labels = vorla_predict (m, Q);");
%! assert (labels, expect);
%! [msg, id] = lastwarn ();
%! assert ({id, regexp(msg, "^vorla_predict: 4 values of X are categories that training never saw;", "once")}, ...
%!         {"vorla:predict:category", 1});
%! ## a text model takes no numbers, nor a numeric one text
%! t = vorla_train ({"a"; "b"}, [1; 2], one_net{:});
%! assert (lasterr_of (@() vorla_predict (t, 1)), "vorla:predict:X");
%! assert (lasterr_of (@() vorla_predict (m, {"a", "b", "c"})), "vorla:predict:X");

%!test
%! ## continued: A, then B gives the model of one call on [A; B]; the coding belongs to the model
%! Z = [mod((1:40)' * 0.618, 1), 1 + mod((1:40)', 4), mod((1:40)', 2)];
%! z = 1 + (Z(:,1) > 0.5 & Z(:,2) < 3);
%! args = {"CategoricalPredictors", [2 3], "Scale", [0 1 0; 1 4 1], "MaxPresentations", 1, one_net{:}};
%! whole = vorla_train (Z, z, args{:});
%! model = vorla_train (vorla_train (Z(1:25,:), z(1:25), args{:}), Z(26:end,:), z(26:end));
%! assert ({model.Templates, model.NLabels, model.Categories}, {whole.Templates, whole.NLabels, whole.Categories});
%! assert (model, vorla_train (model, Z(1:0,:), z(1:0)));
%! assert (lasterr_of (@() vorla_train (model, Z, z, "CategoricalPredictors", 2)), "vorla:train:CategoricalPredictors");
%! ## a model whose lists of categories do not fit its boxes is refused
%! model.Categories{1}(end+1) = 9;
%! assert (lasterr_of (@() vorla_predict (model, Z)), "vorla:predict:model");
%! model.Categories{1} = [3; 1; 2; 4];
%! assert (lasterr_of (@() vorla_predict (model, Z)), "vorla:predict:model");

%!error <CategoricalPredictors must be feature indices in 1 to 2, a logical mask of 2 or 'all'; a 1 x 2 double given> vorla_train (X, y, "CategoricalPredictors", [1 3])
%!error <CategoricalPredictors must be feature indices in 1 to 2> vorla_train (X, y, "CategoricalPredictors", "some")
%!error <X holds text, so every feature is categorical; CategoricalPredictors leaves out 1 of 2> vorla_train ({"a", "b"; "c", "d"}, [1; 2], "CategoricalPredictors", 1)
%!test
%! ## a missing category: 'inside' leaves it open, 'impute' fills in the most frequent category (the
%! ## first of a tie), numeric features their median
%! T = {"a", "x"; "b", ""; "b", "y"; "a", "y"; "", "y"};
%! m = vorla_train (T, [1; 2; 2; 1; 2], "MissingValues", "impute", one_net{:});
%! assert (m.Impute, [1 2]);
%! m = vorla_train ([1 5; NaN 2; 3 2; 4 NaN], [1; 2; 2; 1], "CategoricalPredictors", 2, "MissingValues", "impute", one_net{:});
%! assert (m.Impute, [3 1]);
%! m = vorla_train (T, [1; 2; 2; 1; 2], one_net{:});
%! assert (all (ismember (vorla_predict (m, {"", "x"; "b", ""; "", ""}), [1 2])), false);
%! assert (all (ismember (vorla_predict (m, {"", "x"; "b", ""}), [1 2])));
%!error <X holds 1 missing categories; training needs every feature of every pattern under MissingValues .error.> vorla_train ({"a", ""; "c", "d"}, [1; 2], "MissingValues", "error")

%!error <X must have one row per pattern: 2 x 6 given for 6 labels; transpose X\?> vorla_train (X', y)
%!error <X must have one row per pattern: 6 x 2 given for 5 labels> vorla_train (X, y(1:5))
%!error <Vigilance must be a number in \[0, 1\]; 2 given> vorla_train (X, y, "Vigilance", 2)
%!error <Scale must be 'auto', 'none', 'robust' or a 2 x 2 range> vorla_train (X, y, "Scale", [0 1])
%!error <Scale must be 'auto', 'none'> vorla_train (X, y, "Scale", "minmax")
%!error <X holds 1 NaN values> vorla_train ([X; NaN 1], [y; 1], "MissingValues", "error")
%!error <labels hold 1 NaN values> vorla_train (X, [y(1:5); NaN])
%!error <labels must be a numeric or logical vector, a cellstr or char rows> vorla_train (X, {1; 2; 1; 2; 1; 2})
%!error <options must come in Name, Value pairs> vorla_train (X, y, "Vigilance")
%!error <COLOUR.*\(options: Vigilance Alpha LearningRate> vorla_train (X, y, "Colour", 1)
%!error <MatchTracking must be 'strict' or 'tolerant'; 'loose' given> vorla_train (X, y, "MatchTracking", "loose")
%!error <Display must be 'off', 'iter' or 'final'; 1 given> vorla_train (X, y, "Display", 1)

%!error <model's labels are int8, which cannot hold the label 300> vorla_train (vorla_train (X, int8 (y)), X, [y(1:5); 300])
%!error <model's labels are of kind cellstr but double labels came> vorla_train (vorla_train (X, {"a"; "b"; "a"; "b"; "a"; "b"}), X, y)
%!error <a continued model keeps its Voters \(10\); 3 given> vorla_train (vorla_train (X, y), X, y, "Voters", 3)
%!error <a continued model keeps its Scale \('robust'\); 'none' given> vorla_train (vorla_train (X, y), X, y, "Scale", "none")
%!error <a continued model keeps its D \(2\); 3 given> vorla_train (vorla_train (X, y), X, y, "D", 3)
%!error <model has 2 features but X has 3 columns> vorla_train (vorla_train (X, y), [X, X(:,1)], y)
%!error <X must be a real numeric .* a 1 x 1 struct given \(a model is continued with> vorla_train (vorla_train (X, y), X)
%!error <model lacks the fields> vorla_train (struct ("Format", "vorla model 1"), X, y)

%!shared Q, q, folds
%! Q = mod ((1:60)' * [0.6180339887, 0.4142135623], 1);
%! q = 1 + (Q(:,1) + 0.3 * sin (7 * Q(:,2)) > 0.6);
%! folds = 1 + mod ((1:60)', 4);

%!test
%! ## every row of the search is the score of that setting trained on each inner fold
%! model = vorla_train (Q, q, "HyperparameterOptimizationOptions", struct ("CVPartition", folds, "Seed", 3));
%! r = model.HyperparameterOptimizationResults;
%! assert ({r.Optimized, r.KFold, r.Seed}, {{"Vigilance"}, 4, 3});
%! ## all five vigilances reach three networks, the better three of them ten
%! assert ([sum([r.Trials.Voters] == 3), sum([r.Trials.Voters] == 10)], [5 3]);
%! for t = r.Trials(:)'
%!   right = 0;
%!   for k = 1:4
%!     m = vorla_train (Q(folds != k,:), q(folds != k), "Vigilance", t.Vigilance, "Voters", t.Voters, "Seed", 3);
%!     right += sum (vorla_predict (m, Q(folds == k,:)) == q(folds == k));
%!   endfor
%!   assert (t.Accuracy, right / 60);
%! endfor
%! ## the best of the ten-network rows, trained on all the data
%! tens = r.Trials([r.Trials.Voters] == 10);
%! assert (r.BestAccuracy, max ([tens.Accuracy]));
%! assert (r.Best, struct ("Vigilance", model.Vigilance));
%! again = vorla_train (Q, q, "Vigilance", model.Vigilance);
%! assert ({model.Templates, model.NLabels, model.Voters}, {again.Templates, again.NLabels, 10});

%!test
%! ## settings that differ in more than the vigilance, a missing value, threads:
%! ## still every row the score of that setting trained on each inner fold
%! P = Q;
%! P(7,2) = NaN;
%! how = struct ("CVPartition", folds, "Seed", 5);
%! search = {"OptimizeHyperparameters", "all", "Voters", 4, "HyperparameterOptimizationOptions", how};
%! model = vorla_train (P, q, search{:}, "Threads", 2);
%! assert (vorla_train (P, q, search{:}, "Threads", 1), model);
%! r = model.HyperparameterOptimizationResults;
%! assert (numel (unique ({r.Trials.MatchTracking})), 2);
%! for t = r.Trials(:)'
%!   right = 0;
%!   for k = 1:4
%!     m = vorla_train (P(folds != k,:), q(folds != k), "Vigilance", t.Vigilance, "Voters", t.Voters, ...
%!                      "MatchTracking", t.MatchTracking, "MaxPresentations", t.MaxPresentations, "Seed", 5);
%!     right += sum (vorla_predict (m, P(folds == k,:)) == q(folds == k));
%!   endfor
%!   assert (t.Accuracy, right / 60);
%! endfor

%!test
%! ## ties go to the smaller model; given options are not searched
%! apart = [Q(:,1) < 0.5, Q(:,2)];
%! model = vorla_train (apart, 1 + apart(:,1), "OptimizeHyperparameters", {"Vigilance", "voters"});
%! r = model.HyperparameterOptimizationResults;
%! assert (all ([r.Trials.Accuracy] == 1));
%! assert ({r.Best.Vigilance, r.Best.Voters, model.Voters}, {0, 1, 1});
%! model = vorla_train (Q, q, "Voters", 2, "OptimizeHyperparameters", "all");
%! assert (model.HyperparameterOptimizationResults.Optimized, {"Vigilance", "MatchTracking", "MaxPresentations"});
%! assert (model.Voters, 2);
%! model = vorla_train (Q, q, "Vigilance", 0.5);
%! assert (! isfield (model, "HyperparameterOptimizationResults"));
%! ## the published network: nothing left to search
%! model = vorla_train (Q, q, "Vigilance", 0, "Voters", 1, "MatchTracking", "strict");
%! [T, L, n] = vorla_fit (vorla_scale (Q), q, 2, 0, 0.001, 1, 1000, 0, 0, 0);
%! assert ({model.Templates, model.NLabels, model.Presentations}, {T, L, n});
%! ## too few patterns to hold one out: no search
%! model = vorla_train ([0 0], 1);
%! assert ({isfield(model, "HyperparameterOptimizationResults"), model.Vigilance, model.Voters}, {false, 0, 10});

%!test
%! ## a search space, a budget and the lines of Display
%! how = struct ("SearchSpace", struct ("Vigilance", [0.2 0.6], "Voters", [1 2]), "Display", "iter", "KFold", 3);
%! text = evalc ("model = vorla_train (Q, q, 'OptimizeHyperparameters', {'Vigilance', 'Voters'}, 'HyperparameterOptimizationOptions', how);");
%! lines = strsplit (strtrim (text), "\n");
%! r = model.HyperparameterOptimizationResults;
%! assert (numel (lines), numel (r.Trials) + 1);
%! assert (regexp (lines{2}, "^  Vigilance 0.6, Voters 1: inner accuracy [\\d.]+%, [\\d.]+ nodes$"));
%! assert (regexp (lines{end}, "^vorla_train: chose Vigilance [\\d.]+, Voters \\d \\(inner 3-fold accuracy [\\d.]+%\\) of \\d settings tried"));
%! assert (unique ([r.Trials.Vigilance]), [0.2 0.6]);
%! ## one rule given as text is one value, not one per character
%! how = struct ("SearchSpace", struct ("MatchTracking", "strict"));
%! r = vorla_train (Q, q, "OptimizeHyperparameters", {"MatchTracking"}, ...
%!                  "HyperparameterOptimizationOptions", how).HyperparameterOptimizationResults;
%! assert ({r.Trials.MatchTracking}, {"strict"});
%! how = struct ("MaxObjectiveEvaluations", 2);
%! r = vorla_train (Q, q, "HyperparameterOptimizationOptions", how).HyperparameterOptimizationResults;
%! assert (numel (unique ([r.Trials.Vigilance])), 2);

%!error <OptimizeHyperparameters must be 'none', 'auto', 'all' or a cell of option names; 1 given> vorla_train ([1; 2], [1; 2], "OptimizeHyperparameters", 1)
%!error <OptimizeHyperparameters names an option that cannot be searched: Scale> vorla_train ([1; 2], [1; 2], "OptimizeHyperparameters", {"Scale"})
%!error <HyperparameterOptimizationOptions has no field Folds \(fields: KFold CVPartition> vorla_train ([1; 2], [1; 2], "HyperparameterOptimizationOptions", struct ("Folds", 2))
%!error <the inner KFold must be at most the number of patterns, 2; 3 given> vorla_train ([1; 2], [1; 2], "HyperparameterOptimizationOptions", struct ("KFold", 3))
%!error <Vigilance must be a number in \[0, 1\]; 2 given> vorla_train ([1; 2], [1; 2], "HyperparameterOptimizationOptions", struct ("SearchSpace", struct ("Vigilance", [0 2])))
%!error <CVPartition must hold out patterns in tests 1 to K> vorla_train ([1; 2; 3], [1; 2; 1], "HyperparameterOptimizationOptions", struct ("CVPartition", [1; 3; 0]))
%!error <a continued model keeps the settings it was trained with> vorla_train (vorla_train ([1; 2], [1; 2]), [3; 4], [1; 2], "OptimizeHyperparameters", "auto")

%!shared P, c, names, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
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
%!     whole = vorla_train (P, labels{1}, cases{i}{:}, "MaxPresentations", 1, one_net{:});
%!     model = vorla_train (P(1:30,:), labels{1}(1:30), cases{i}{:}, "MaxPresentations", 1, one_net{:});
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
%! whole = evalc ("vorla_train (P, c, 'Scale', 'none', 'MaxPresentations', 1, 'Trace', 3, one_net{:});");
%! first = vorla_train (P(1:50,:), c(1:50), "Scale", "none", "MaxPresentations", 1, one_net{:});
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
%! model = vorla_train (P(1:40,:), names(c(1:40)), "Voters", 2, "Trim", true, no_search{:});
%! assert (vorla_train (model, zeros (0, 2), {}), model);
%! assert (vorla_train (model, [], [], "Vigilance", 0.9), model);
%! ## one pattern far beyond the range is clipped silently; a feature in other units warns
%! lastwarn ("");
%! more = vorla_train (model, [P(41:end,:); 5 5], [names(c(41:end)); {"aa"}]);
%! assert (lastwarn (), "");
%! evalc ("vorla_train (model, [P(41:end,1), 100 * P(41:end,2)], names(c(41:end)));");
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
%!                      "Scale", range, "D", 3, one_net{:});
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
%! ## the match-tracking rule too; a chosen cap does not warn, the safety cap does
%! strict = vorla_train (P(1:40,:), c(1:40), "MatchTracking", "strict", "MaxPresentations", 1, one_net{:});
%! lastwarn ("");
%! more = vorla_train (strict, P(41:end,:), c(41:end));
%! assert ({more.MatchTracking, lastwarn()}, {"strict", ""});
%! more = vorla_train (strict, P(41:end,:), c(41:end), "MatchTracking", "tolerant");
%! assert ({more.MatchTracking, [more.History.MatchTracking]}, {"tolerant", "stricttolerant"});
%! twins = repmat (P(1,:), 2, 1);
%! warning ("on", "vorla:train:cap", "local");
%! evalc ("vorla_train (vorla_train (P, c, 'MatchTracking', 'strict', one_net{:}), twins, [1; 2]);");
%! [~, id] = lastwarn ();
%! assert (id, "vorla:train:cap");

%!test
%! ## voters: each network goes on in an order of its own, drawn from the seed of the call
%! A = 0.1 * P(1:30,:);
%! B = 0.9 + 0.1 * P(31:60,:);
%! model = vorla_train (A, c(1:30), "Voters", 3, "Seed", 4, "Scale", "none", no_search{:});
%! ## at vigilance 0.95 no node of A can take a pattern of B: B learns as on its own
%! more = vorla_train (model, B, c(31:60), "Vigilance", 0.95);
%! seed = mod (4 + 2654435769, 2^32);
%! alone = vorla_train (B, c(31:60), "Voters", 3, "Seed", seed, "Scale", "none", "Vigilance", 0.95, no_search{:});
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
%! model = vorla_train (P(1:40,:), 2 * c(1:40), one_net{:});
%! more = vorla_train (model, P(41:46,:), int8 ([1; 4; 9; 2; 1; 9]));
%! assert (more.ClassNames, [2; 4; 1; 9]);
%! assert (more.NLabels(1:numel (model.NLabels)), model.NLabels);
%! ## vorla_predict names the classes of such a model
%! k = vorla_eval (more.Templates, more.NLabels, 2, 0, 0.001, 0, vorla_scale (P(41:46,:), more.Range), 0, 0);
%! assert (vorla_predict (more, P(41:46,:)), more.ClassNames(k));
%! model = vorla_train (P(1:4,:), ["bb"; "cc"; "bb"; "cc"], one_net{:});
%! more = vorla_train (model, P(5:7,:), ["a"; "cc"; "a"]);
%! assert (cellstr (more.ClassNames), {"bb"; "cc"; "a"});
%! assert (vorla_predict (more, P(5:7,:)), ["a "; "cc"; "a "]);

%!test
%! ## 64-bit labels beyond 2^53 keep their classes when a model goes on
%! for top = {intmax("uint64"), intmax("int64"), intmin("int64") + 2}
%!   labels = top{1} - [0; 1; 2];
%!   model = vorla_train ([0; 0.5; 1], labels([1; 3; 1]), one_net{:});
%!   more = vorla_train (model, [0.5; 0.75], labels([2; 3]));
%!   assert (more.ClassNames, labels([3; 1; 2]));
%! endfor
%! ## a double that the model's class cannot hold exactly is refused
%! model = vorla_train ([0; 1], intmax ("uint64") - [0; 1], one_net{:});
%! try
%!   vorla_train (model, 0.5, 2^64);
%!   error ("no error");
%! catch err
%!   assert (err.message, "vorla_train: the model's labels are uint64, which cannot hold the label 1.844674407370955e+19");
%! end_try_catch

%!test
%! ## the cells of a voting model in another shape go on as the row vorla_train makes
%! model = vorla_train (P(1:50,:), c(1:50), "Voters", 6, "Seed", 2, no_search{:});
%! expected = vorla_train (model, P(51:end,:), c(51:end));
%! for shape = {[6 1], [2 3]}
%!   edited = model;
%!   edited.Templates = reshape (model.Templates, shape{1});
%!   edited.NLabels = reshape (model.NLabels, shape{1});
%!   assert (vorla_train (edited, P(51:end,:), c(51:end)), expected);
%!   assert (vorla_predict (edited, P), vorla_predict (model, P));
%! endfor

%!demo
%! ## points inside and outside a circle: one network, then five that vote
%! rand ("state", 2);
%! P = 10 * rand (400, 2);
%! c = 1 + (sum ((P - 5) .^ 2, 2) > 10);
%! one = vorla_train (P, c, one_net{:});
%! five = vorla_train (P, c, "Voters", 5, no_search{:});
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
%!test
%! ## missing values: 'inside' trains with NaN, keeps open features, predicts, saves and continues
%! X = [1 2; 2 3; 3 1; 8 9; 9 8; 7 9; NaN 2.5; 8.5 NaN];
%! y = [1; 1; 1; 2; 2; 2; 1; 2];
%! opts = {"Voters", 1, "OptimizeHyperparameters", "none"};
%! model = vorla_train (X, y, opts{:});
%! assert ({model.MissingValues, model.Impute}, {"inside", []});
%! assert (vorla_predict (model, [NaN 2; 8 NaN; 1 1; 9 9]), [1; 2; 1; 2]);
%! f = [tempname() ".mat"];
%! save ("-v7", f, "model");
%! saved = load (f).model;
%! delete (f);
%! assert (vorla_predict (saved, [NaN 2; 8 NaN]), [1; 2]);
%! more = vorla_train (saved, [NaN 9; 2 NaN], [2; 1], opts{:});
%! assert (rows (more.Templates) >= rows (model.Templates));
%! assert (vorla_predict (more, [NaN 9]), 2);
%!test
%! ## 'impute': the training medians, kept and used at prediction; 'error' refuses NaN
%! X = [1 2; 2 3; 3 1; 8 9; 9 8; 7 9; NaN 2.5; 8.5 NaN];
%! y = [1; 1; 1; 2; 2; 2; 1; 2];
%! model = vorla_train (X, y, "MissingValues", "Impute", "Voters", 3, "OptimizeHyperparameters", "none");
%! assert (model.Impute, [7 3]);
%! filled = X;
%! filled(7,1) = 7;
%! filled(8,2) = 3;
%! same = vorla_train (filled, y, "Voters", 3, "OptimizeHyperparameters", "none");
%! assert (model.Templates, same.Templates);
%! assert (vorla_predict (model, [NaN 1]), vorla_predict (same, [7 1]));
%! bad = model;
%! bad.Impute = [1 2 3];
%! try
%!   vorla_predict (bad, X);
%!   id = "";
%! catch e
%!   id = e.identifier;
%! end
%! assert (id, "vorla:predict:model");
%! strict = vorla_train (X(1:6,:), y(1:6), "MissingValues", "error", "Voters", 1);
%! try
%!   vorla_predict (strict, [NaN 1]);
%!   id = "";
%! catch e
%!   id = e.identifier;
%! end
%! assert (id, "vorla:predict:X");
%! try
%!   vorla_train (model, X, y, "MissingValues", "inside");
%!   id = "";
%! catch e
%!   id = e.identifier;
%! end
%! assert (id, "vorla:train:MissingValues");
%!test
%! ## every feature missing: left out of training, UnknownLabel at prediction, both counted
%! X = [1 2; 2 3; 8 9; 9 8; NaN NaN];
%! y = [1; 1; 2; 2; 2];
%! lastwarn ("");
%! model = vorla_train (X, y, "Voters", 1, "OptimizeHyperparameters", "none");
%! [~, id] = lastwarn ();
%! assert (id, "vorla:train:gone");
%! lastwarn ("");
%! assert (vorla_predict (model, [NaN NaN; 1 2; NaN NaN]), [NaN; 1; NaN]);
%! [msg, id] = lastwarn ();
%! assert ({id, msg}, {"vorla:predict:gone", "vorla_predict: 2 patterns have every feature missing and get UnknownLabel"});
%!error <MissingValues must be 'inside', 'impute' or 'error'> vorla_train ([1; 2], [1; 2], "MissingValues", "drop")
