function [rules, scores] = vorla_rules (model, varargin)
% VORLA_RULES  List the boxes of a model as if-then rules in the data's own units.
%
%   vorla_rules (model)
%   rules = vorla_rules (model, Name, Value, ...)
%   [rules, scores] = vorla_rules (model, 'X', X, 'Simplify', true, ...)
%
%   Every node of a model is a box with a class: a pattern inside the box
%   fits the rule
%     if 4.9 <= petal length <= 5.1 and 1.5 <= petal width <= 1.8 then versicolor
%   The bounds are the box's corners taken back through the model's range
%   (vorla_scale) into the units of the training data. A feature over whose
%   whole training range the box reaches sets no condition; a bound at the
%   edge of that range is left out ("petal width >= 1.5"), since
%   vorla_predict clips new values to the range, and a box that reaches only
%   the edge holds that value alone ("feathers = 0", "milk = 1" for binary
%   features). A categorical feature reads as the set of categories the box
%   holds ("colour in {blue, red}", "colour = red"; no condition when it
%   holds them all). A box that sets no condition reads "always versicolor".
%   Bounds have Digits significant digits, or where a feature's values lie
%   closer together than that shows, as many decimals as their finest step
%   needs (the values of X, or without X the boxes' corners).
%
%   A rule says what the box holds, not the whole decision: where boxes of
%   two classes overlap the smaller box wins, and a pattern outside every
%   box goes to the box that chooses it best.
%
%   With no output the rules are printed, one line each, after a header per
%   network. Otherwise rules is a K x 1 struct array (all networks of a
%   voting model, network by network) with the fields
%     Network   the network of the box (1 for a single network)
%     Node      its row in the network's Templates
%     Class     its class, as in model.ClassNames (a char row for text)
%     Lower     1 x M lower corner in data units (-Inf where the box is
%               open: made from a pattern missing the feature, and no value
%               seen there since)
%     Upper     1 x M upper corner in data units (Inf where open)
%     Categories  1 x M cell: for a categorical feature the categories that
%               the box holds ([] for a numeric feature; Lower and Upper
%               are NaN for a categorical one)
%     Count     the patterns of the X option that the box holds ([]
%               without X)
%     Text      the rule as a char row
%   Within each network the rules are sorted by Count, most first (ties and
%   rules without X in node order); with Simplify by the size of the box,
%   smallest first, as the smaller box wins where boxes overlap.
%
%   Options (names are case-insensitive):
%     'FeatureNames'  {'x1', ..., 'xM'}  a name per feature (cellstr or
%                     string array of M names).
%     'X'             []  patterns in data units, N x M (e.g. the training
%                     data): Count is the number of them inside each box,
%                     measured as vorla_predict scales them; a missing
%                     value (NaN) lies inside every box in its feature.
%     'Digits'        4   significant digits of the bounds in Text.
%     'Simplify'      false  keep only the conditions that separate each box
%                     from the patterns of X (the training data) that the
%                     network gives another class: a condition goes when the
%                     box without it takes in no such pattern beyond those the
%                     whole box holds (those that the fewest such patterns
%                     fail go first). The second output, and the printout,
%                     say what the simplified rules score on X, read as a
%                     list in their order (the first rule a pattern fits
%                     gives its class): scores(v) of network v has the
%                     fields Network, Conditions and Kept (counted before
%                     and after), Covered (the share of X that some rule
%                     fits), Agreement (the share labelled as the network
%                     labels it) and Accuracy (the share labelled as the
%                     Labels option says; NaN without it).
%     'Labels'        []  the labels of X, of the model's kind, for Accuracy.
%
%   Errors carry identifiers vorla:rules:arguments, vorla:rules:model, vorla:rules:options and
%   vorla:rules:<Option>.
%
%   Example:
%     model = vorla_train ([1 1; 2 2; 8 9; 9 9], {'small'; 'small'; 'big'; 'big'});
%     vorla_rules (model, 'FeatureNames', {'width', 'height'}, 'X', [1 1; 2 2; 8 9; 9 9])
%
%   See also: vorla_train, vorla_plot_boxes.

  if nargin < 1
    error ('vorla:rules:arguments', 'vorla_rules: expected (model, Name, Value, ...); no arguments given');
  end
  persistent parser;
  if isempty (parser)
    parser = inputParser ();
    parser.FunctionName = 'vorla_rules';
    parser.addParameter ('FeatureNames', []);
    parser.addParameter ('X', []);
    parser.addParameter ('Digits', 4);
    parser.addParameter ('Simplify', false);
    parser.addParameter ('Labels', []);
  end
  opts = parse_options (parser, 'rules', varargin);
  model = check_model ('rules', model);
  M = model.Features;
  names = feature_names (opts.FeatureNames, M);
  digits = opts.Digits;
  if ~(isnumeric (digits) && isreal (digits) && isscalar (digits) && digits == fix (digits) && digits >= 1 && digits <= 17)
    error ('vorla:rules:Digits', 'vorla_rules: Digits must be a whole number from 1 to 17; %s given', describe (digits));
  end
  simplify = opts.Simplify;
  if ~((isnumeric (simplify) || islogical (simplify)) && isscalar (simplify) && any (simplify == [0 1]))
    error ('vorla:rules:Simplify', 'vorla_rules: Simplify must be true or false; %s given', describe (simplify));
  end
  % The model's Scale says whether its boxes are in data units, as vorla_predict reads it.
  unscaled = strcmp (model.Scale, 'none');
  counted = ~isempty (opts.X);
  if simplify && ~counted
    error ('vorla:rules:Simplify', 'vorla_rules: Simplify needs the training patterns as the X option');
  end
  features = categorical_features (model);
  numeric = true (1, M);
  numeric(features) = false;
  step = NaN (1, M);
  if counted
    X = category_positions ('rules', opts.X, model);
    for j = find (numeric)
      values = unique (X(~isnan (X(:,j)), j));
      if numel (values) > 1
        step(j) = min (diff (values));
      end
    end
    if unscaled
      X = code_patterns (X, [], model);
    else
      X = code_patterns (X, model.Range, model);
    end
    known = ~any (isnan (X), 2);
    if ~isempty (opts.Labels)
      [~, truth] = continue_classes ('rules', model.ClassNames, model.LabelKind, opts.Labels);
      if numel (truth) ~= size (X, 1)
        error ('vorla:rules:Labels', 'vorla_rules: Labels must hold one label per row of X: %d given for %d rows', ...
               numel (truth), size (X, 1));
      end
    end
  end
  if unscaled
    low = zeros (1, M);
    width = ones (1, M);
    bounded = true (2, M);
  else
    low = model.Range(1,:);
    width = model.Range(2,:) - model.Range(1,:);
    % Scaled data lie in [0, 1], a constant feature at 0: bounds there constrain nothing.
    bounded = [true(1, M); width > 0];
  end
  [first, span] = coded_layout (model, M);
  W = sum (span);

  [templates, nlabels] = network_list (model);
  if ~counted
    % Without X the boxes' corners, which fast learning takes from training
    % patterns, show how finely each feature varies.
    corners = cell2mat (cellfun (@(T) [T(:,first); T(:,W+first)], templates(:), 'UniformOutput', false));
    for j = find (numeric)
      values = unique (low(j) + corners(:,j) * width(j));
      if numel (values) > 1
        step(j) = min (diff (values));
      end
    end
  end
  rules = struct ('Network', {}, 'Node', {}, 'Class', {}, 'Lower', {}, 'Upper', {}, 'Categories', {}, ...
                  'Count', {}, 'Text', {});
  scores = struct ('Network', {}, 'Conditions', {}, 'Kept', {}, 'Covered', {}, 'Agreement', {}, 'Accuracy', {});
  for v = 1:numel (templates)
    % A feature left open ([1, 0]: the node was made from a pattern missing
    % it, and no value came since) holds every value: no condition.
    T = templates{v};
    corner = T(:,1:W);
    % (Slow learning closes an open feature step by step: a reversal beyond rounding.)
    open = (corner == 1 & T(:,W+1:end) == 0) | corner - T(:,W+1:end) > 1e-9;
    corner(open) = -Inf;
    T(:,1:W) = corner;
    corner = T(:,W+1:end);
    corner(open) = Inf;
    T(:,W+1:end) = corner;
    K = size (T, 1);
    count = zeros (K, 1);
    if counted
      for k = 1:K
        count(k) = sum (all ((bsxfun (@ge, X, T(k,1:W)) & bsxfun (@le, X, T(k,W+1:2*W))) | isnan (X), 2));
      end
      [~, order] = sort (-count);
    else
      order = (1:K)';
    end
    if simplify
      % Where boxes overlap the smaller one wins: read as a list, the
      % smaller rules come first.
      [~, by_size] = sort (sum (min (T(order,W+1:2*W), 1) - max (T(order,1:W), 0), 2));
      order = order(by_size);
      network_class = vorla_eval (templates{v}, nlabels{v}, model.D, 0, model.Alpha, double (model.ChoiceTest), X, 0, 0);
    end
    net = struct ('Network', num2cell (v * ones (K, 1)), 'Node', num2cell (order(:)), 'Class', [], ...
                  'Lower', [], 'Upper', [], 'Categories', [], 'Count', [], 'Text', '');
    held = [];
    if simplify
      held = zeros (size (X, 1), K);
    end
    conditions = [0 0];
    for i = 1:K
      k = order(i);
      lower = T(k,first);
      upper = T(k,W+first);
      net(i).Class = class_name (model, nlabels{v}(k));
      net(i).Lower = low + lower .* width;
      net(i).Upper = low + upper .* width;
      net(i).Lower(lower == -Inf) = -Inf;
      net(i).Upper(upper == Inf) = Inf;
      net(i).Lower(features) = NaN;
      net(i).Upper(features) = NaN;
      net(i).Categories = cell (1, M);
      for f = 1:numel (features)
        j = features(f);
        net(i).Categories{j} = model.Categories{f}(held_categories (T(k,:), first(j), span(j), W, ...
                                                                   numel (model.Categories{f})));
      end
      if counted
        net(i).Count = count(k);
      end
      if unscaled
        from = lower > -Inf;
        to = upper < Inf;
      else
        from = bounded(2,:) & lower > 0;
        to = bounded(2,:) & upper < 1;
      end
      from(features) = false;
      to(features) = false;
      sets = false (1, M);
      sets(features) = cellfun ('numel', net(i).Categories(features)) < cellfun ('numel', model.Categories(:)');
      if simplify
        before = sum ([from, to, sets]);
        [from, to, sets] = simplified (X(known,:), T(k,:), network_class(known) ~= nlabels{v}(k), ...
                                       from, to, sets, first, span, W);
        conditions = conditions + [before, sum([from, to, sets])];
        held(known,i) = inside (X(known,:), T(k,:), from, to, sets, first, span, W);
      end
      points = [to & ~unscaled & upper <= 0; from & ~unscaled & lower >= 1];
      net(i).Text = rule_text (names, net(i), from, to, sets, points, step, class_text (net(i).Class), digits);
    end
    rules = [rules; net];
    if simplify
      % The rules read as a list: the first that a pattern fits gives its class.
      [fits, which] = max (held, [], 2);
      given = zeros (size (X, 1), 1);
      given(fits > 0) = nlabels{v}(order(which(fits > 0)));
      accuracy = NaN;
      if ~isempty (opts.Labels)
        accuracy = mean (given == truth);
      end
      scores(end+1) = struct ('Network', v, 'Conditions', conditions(1), 'Kept', conditions(2), ...
                              'Covered', mean (fits > 0), 'Agreement', mean (given == network_class), ...
                              'Accuracy', accuracy);
    end
  end

  if nargout == 0
    show (rules, numel (templates), counted, scores);
    clear rules;
  end
end

function held = held_categories (box, first, span, W, L)
% The categories whose coded patterns lie inside the box in their feature's columns.
  lower = box(first + (0:span-1));
  upper = box(W + first + (0:span-1));
  if span == 1
    codes = (0:L-1)';
  else
    codes = eye (L) / L;
  end
  held = all (bsxfun (@ge, codes, lower) & bsxfun (@le, codes, upper), 2);
end

function in = inside (X, box, from, to, sets, first, span, W)
% The patterns (coded) that fit the conditions left of a box.
  in = true (size (X, 1), 1);
  for j = find (from)
    in = in & X(:, first(j)) >= box(first(j));
  end
  for j = find (to)
    in = in & X(:, first(j)) <= box(W + first(j));
  end
  for j = find (sets)
    columns = first(j) + (0:span(j)-1);
    in = in & all (bsxfun (@ge, X(:, columns), box(columns)) & bsxfun (@le, X(:, columns), box(W + columns)), 2);
  end
end

function [from, to, sets] = simplified (X, box, other, from, to, sets, first, span, W)
% Drops the conditions of a box that keep out no pattern of another class:
% the box so relaxed takes in no training pattern that the network gives
% another class, beyond those the whole box holds. Conditions that keep out
% the fewest such patterns go first.
  other = other & ~inside (X, box, from, to, sets, first, span, W);
  if ~any (other)
    from(:) = false;
    to(:) = false;
    sets(:) = false;
    return;
  end
  M = numel (from);
  kinds = [from; to; sets];
  [kind, feature] = find (kinds);
  strength = zeros (numel (kind), 1);
  for c = 1:numel (kind)
    alone = false (3, M);
    alone(kind(c), feature(c)) = true;
    strength(c) = sum (other & ~inside (X, box, alone(1,:), alone(2,:), alone(3,:), first, span, W));
  end
  [~, weakest] = sort (strength);
  for c = weakest(:)'
    trial = kinds;
    trial(kind(c), feature(c)) = false;
    if ~any (inside (X(other,:), box, trial(1,:), trial(2,:), trial(3,:), first, span, W))
      kinds = trial;
    end
  end
  from = kinds(1,:);
  to = kinds(2,:);
  sets = kinds(3,:);
end

function names = feature_names (given, M)
  if isempty (given)
    names = arrayfun (@(i) sprintf ('x%d', i), 1:M, 'UniformOutput', false);
    return;
  end
  if isa (given, 'string')
    given = cellstr (given);
  end
  if ~(iscellstr (given) && numel (given) == M)
    error ('vorla:rules:FeatureNames', 'vorla_rules: FeatureNames must be a cellstr of %d names, one per feature; %s given', ...
           M, describe (given));
  end
  names = given(:)';
end

function name = class_name (model, index)
  names = model.ClassNames;
  if iscell (names)
    name = names{index};
  elseif isa (names, 'string')
    name = char (names(index));
  elseif ischar (names)
    name = deblank (names(index,:));
  else
    name = names(index);
  end
end

function text = class_text (name)
  if ischar (name)
    text = name;
  elseif islogical (name) || isinteger (name)
    % Every digit of 64-bit classes beyond 2^53.
    text = describe (name);
  else
    text = num2str (name);
  end
end

function text = rule_text (names, rule, from, to, sets, points, step, class, digits)
% points(1,j): the box reaches no higher than the smallest training value of
% feature j, so it holds that value alone (a binary feature's 0); points(2,j)
% the same at the largest value.
  parts = {};
  for i = 1:numel (names)
    lower = rule.Lower(i);
    upper = rule.Upper(i);
    % Slow learning can leave a point box's corners a rounding step apart the wrong way round.
    if from(i) && to(i) && lower >= upper
      parts{end+1} = sprintf ('%s = %s', names{i}, bound_text (lower, digits, step(i)));
    elseif from(i) && to(i)
      [a, b] = pair_text (lower, upper, digits, step(i));
      parts{end+1} = sprintf ('%s <= %s <= %s', a, names{i}, b);
    elseif from(i)
      parts{end+1} = sprintf ('%s %s %s', names{i}, pick (points(2,i), '=', '>='), bound_text (lower, digits, step(i)));
    elseif to(i)
      parts{end+1} = sprintf ('%s %s %s', names{i}, pick (points(1,i), '=', '<='), bound_text (upper, digits, step(i)));
    elseif sets(i)
      held = rule.Categories{i};
      if iscellstr (held)
        held = held(:)';
      else
        held = arrayfun (@shortest, held(:)', 'UniformOutput', false);
      end
      if numel (held) == 1
        parts{end+1} = sprintf ('%s = %s', names{i}, held{1});
      else
        parts{end+1} = sprintf ('%s in {%s}', names{i}, strjoin (held, ', '));
      end
    end
  end
  if isempty (parts)
    text = ['always ' class];
  else
    text = sprintf ('if %s then %s', strjoin (parts, ' and '), class);
  end
end

function text = shortest (value)
% A category's number in the fewest digits that give it back exactly.
  for digits = 15:17
    text = sprintf (sprintf ('%%.%dg', digits), value);
    if str2double (text) == value
      return;
    end
  end
end

function text = pick (condition, yes, no)
  if condition
    text = yes;
  else
    text = no;
  end
end

function text = bound_text (value, digits, step)
% Digits significant digits, or where the feature's values (X) lie closer
% together than those show, as many decimals as their finest step needs.
  text = sprintf (sprintf ('%%.%dg', digits), value);
  if ~isnan (step) && abs (str2double (text) - value) > step / 2
    text = sprintf (sprintf ('%%.%df', min (17, max (0, -floor (log10 (step))))), value);
  end
end

function [a, b] = pair_text (lower, upper, digits, step)
% Two bounds that differ never read alike.
  a = bound_text (lower, digits, step);
  b = bound_text (upper, digits, step);
  while strcmp (a, b) && digits < 17
    digits = digits + 1;
    a = bound_text (lower, digits, step);
    b = bound_text (upper, digits, step);
  end
end

function show (rules, networks, counted, scores)
  for v = 1:networks
    net = rules([rules.Network] == v);
    if networks > 1
      fprintf ('Network %d of %d: %d rules\n', v, networks, numel (net));
    else
      fprintf ('%d rules\n', numel (net));
    end
    for i = 1:numel (net)
      if counted
        fprintf ('%6d  %s\n', net(i).Count, net(i).Text);
      else
        fprintf ('  %s\n', net(i).Text);
      end
    end
    if numel (scores) >= v
      s = scores(v);
      fprintf ('Simplified: %d of %d conditions kept; read in this order the rules fit %.1f%% of X and label %.1f%% as the network does', ...
               s.Kept, s.Conditions, 100 * s.Covered, 100 * s.Agreement);
      if ~isnan (s.Accuracy)
        fprintf (', %.1f%% right by Labels', 100 * s.Accuracy);
      end
      fprintf ('\n');
    end
  end
end

%!shared model, X, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
%! X = [1 1; 2 2; 8 9; 9 9; 1.5 1.2];
%! model = vorla_train (X, {"small"; "small"; "big"; "big"; "small"}, one_net{:});

%!test
%! ## data units, bounds at the range's edge left out, counts sorted
%! r = vorla_rules (model, "FeatureNames", {"width", "height"}, "X", [X; 8.5 9; NaN 1]);
%! assert (numel (r), 2);
%! assert ({r.Class}, {"small", "big"});
%! assert ([r.Count], [4 3]);   # [NaN 1] lies in the small box by its second feature
%! ## a box at one edge of a feature holds its training values there alone
%! assert ({r.Text}, {"if width <= 2 and height <= 2 then small", "if width >= 8 and height = 9 then big"});
%! assert (r(1).Lower, [1 1]);
%! assert (r(2).Upper, [9 9]);
%! r = vorla_rules (model, "X", [8.5 9; 8.7 9; 1 1]);
%! assert ([r.Node], [2 1]);
%! assert (r(1).Text, "if x1 >= 8 and x2 = 9 then big");
%! r = vorla_rules (model);
%! assert (isempty (r(1).Count));

%!test
%! ## inner bounds, a point box, a box over the whole range, numeric classes, unscaled models
%! m = vorla_train ([0 0; 10 10; 4 5; 6 5; 5 5], [1; 1; 2; 2; 3], "Vigilance", 0.9, one_net{:});
%! r = vorla_rules (m, "Digits", 2);
%! assert ({r.Class}, {1, 1, 2, 3});
%! assert (r(3).Text, "if 4 <= x1 <= 6 and x2 = 5 then 2");
%! assert (r(4).Text, "if x1 = 5 and x2 = 5 then 3");
%! m = vorla_train ([0 0; 1 1; 0 1], [1; 1; 2], one_net{:});
%! r = vorla_rules (m);
%! assert (r(1).Text, "always 1");
%! m = vorla_train ([0 0; 0.5 0.5; 0.2 0.9], [true; true; false], "Scale", "none", "D", 3, one_net{:});
%! r = vorla_rules (m, "X", [0.1 0.1]);
%! assert (r(1).Text, "if 0 <= x1 <= 0.5 and 0 <= x2 <= 0.5 then true");
%! assert (r(1).Count, 1);

%!test
%! ## a voting model lists each network's rules; the printout
%! m = vorla_train (X, [1; 1; 2; 2; 1], "Voters", 2, "Seed", 1, no_search{:});
%! r = vorla_rules (m);
%! assert (unique ([r.Network]), [1 2]);
%! text = evalc ("vorla_rules (m, 'X', X)");
%! assert (strncmp (text, "Network 1 of 2: ", 16));
%! assert (! isempty (strfind (text, "     3  if x1 <= 2 and x2 <= 2 then 1")));

%!test
%! ## categorical features read as sets, binary ones as = 0 / = 1, a set of every category as no condition
%! P = {"red", "s"; "blue", "s"; "green", "m"; "red", "l"; "blue", "l"; "green", "l"};
%! m = vorla_train (P, [1; 1; 2; 1; 1; 2], one_net{:});
%! r = vorla_rules (m, "FeatureNames", {"colour", "size"}, "X", P);
%! assert ({r.Text}, {"if colour in {blue, red} and size in {l, s} then 1", "if colour = green and size in {l, m} then 2"});
%! assert ({r(1).Categories{1}, r(2).Categories{2}, r(1).Lower}, {{"blue"; "red"}, {"l"; "m"}, [NaN NaN]});
%! Z = [1 1; 2 5; 3 2];
%! r = vorla_rules (vorla_train (Z, [1; 1; 2], "CategoricalPredictors", 2, one_net{:}), "X", Z);
%! assert ({r.Categories}, {{[], [1; 5]}, {[], 2}});
%! r = vorla_rules (vorla_train ([1 1; 2 -1/3; 3 0.1], [1; 2; 1], "CategoricalPredictors", 2, one_net{:}));
%! assert (r(3).Text, "if x1 = 3 and x2 = 0.1 then 1");
%! Z = [0 1 1; 1 1 3; 0 0 2; 1 0 1; 0 1 2];
%! m = vorla_train (Z, [1; 1; 2; 2; 1], "CategoricalPredictors", 3, "Vigilance", 0.4, one_net{:});
%! r = vorla_rules (m, "FeatureNames", {"milk", "feathers", "legs"});
%! assert ({r.Text}, {"if feathers = 1 and legs in {1, 3} then 1", "if feathers = 0 and legs in {1, 2} then 2", ...
%!                    "if milk = 0 and feathers = 1 and legs = 2 then 1"});

%!test
%! ## bounds to the precision that the feature's values vary in; two different bounds never read alike
%! RI = [1.51761; 1.51793; 1.52101; 1.51618; 1.52152; 1.51966];
%! m = vorla_train ([RI, [0; 1; 0; 1; 1; 0]], [1; 1; 1; 2; 2; 2], "Vigilance", 0.3, one_net{:});
%! ## the values lie 0.00032 apart at the least: four decimals, from X or from the boxes' corners
%! expected = {"if 1.5176 <= x1 <= 1.5179 then 1", "if x1 = 1.5210 and x2 = 0 then 1", "if x2 = 1 then 2", ...
%!             "if x1 = 1.5197 and x2 = 0 then 2", "if x1 = 1.5179 and x2 = 1 then 1"};
%! assert ({vorla_rules(m, "Digits", 3).Text}, expected);
%! assert (sort ({vorla_rules(m, "Digits", 3, "X", [RI, RI > 1.52]).Text}), sort (expected));

%!test
%! ## Simplify keeps the conditions that keep out the patterns the network gives another class
%! Z = [0.1 0.2; 0.2 0.9; 0.3 0.5; 0.7 0.1; 0.8 0.8; 0.9 0.4];
%! labels = {"a"; "a"; "a"; "b"; "b"; "b"};
%! m = vorla_train (Z, labels, "Vigilance", 0.5, one_net{:});
%! [r, s] = vorla_rules (m, "X", Z, "Simplify", true, "Labels", labels);
%! assert ({vorla_rules(m, "X", Z).Text}, {"if x1 <= 0.2 and x2 >= 0.2 then a", ...
%!          "if 0.7 <= x1 <= 0.8 and x2 <= 0.8 then b", "if x1 = 0.3 and x2 = 0.5 then a", "if x1 = 0.9 and x2 = 0.4 then b"});
%! assert ({r.Text}, {"if x1 <= 0.3 then a", "if x1 = 0.9 then b", "if x1 <= 0.2 then a", "if x1 >= 0.7 then b"});
%! assert ({s.Conditions, s.Kept, s.Covered, s.Agreement, s.Accuracy}, {12, 4, 1, 1, 1});
%! ## where one feature does not separate the classes, both stay
%! Z = [0 0; 0.4 0.4; 0.6 0.6; 1 1; 0 1; 1 0; 0.45 0.6; 0.6 0.45];
%! m = vorla_train (Z, [1; 1; 1; 1; 2; 2; 2; 2], "Vigilance", 0.8, "Voters", 2, no_search{:});
%! [r, s] = vorla_rules (m, "X", Z, "Simplify", true);
%! assert ([s.Agreement], [1 1]);
%! assert (all ([s.Kept] < [s.Conditions]));
%! text = evalc ("vorla_rules (m, 'X', Z, 'Simplify', true, 'Labels', [1; 1; 1; 1; 2; 2; 2; 1])");
%! assert (regexp (text, "Simplified: \\d+ of \\d+ conditions kept; .* 100.0% as the network does, 87.5% right by Labels"));

%!error <Simplify needs the training patterns as the X option> vorla_rules (model, "Simplify", true)
%!error <Simplify must be true or false> vorla_rules (model, "X", X, "Simplify", 2)
%!error <Labels must hold one label per row of X: 2 given for 5 rows> vorla_rules (model, "X", X, "Simplify", true, "Labels", {"big"; "big"})
%!error <FeatureNames must be a cellstr of 2 names> vorla_rules (model, "FeatureNames", {"a"})
%!error <model has 2 features but X has 3 columns> vorla_rules (model, "X", ones (1, 3))
%!error <Digits must be a whole number from 1 to 17> vorla_rules (model, "Digits", 0)
%!error <model must be the struct that vorla_train returns> vorla_rules (1)
%!error <options must come in Name, Value pairs> vorla_rules (model, "X")

%!test
%! ## a Scale 'none' model with a range is refused, not read in other units
%! m = vorla_train ([0 0; 0.5 0.5; 0.2 0.9], [1; 1; 2], "Scale", "none", one_net{:});
%! m.Range = [0 0; 10 10];
%! try
%!   vorla_rules (m);
%!   error ("no error");
%! catch err
%!   assert (err.identifier, "vorla:rules:model");
%!   assert (strfind (err.message, "model.Range must be [] with Scale 'none'"), 14);
%! end_try_catch
%! ## a point box that slow learning left a rounding step reversed reads as a point;
%! ## 64-bit classes in every digit
%! v = 0.83757797566257286;
%! m = vorla_train ([0 0; 1 1; v 0.5; v+eps(v) 0.5], intmax ("uint64") - [0; 0; 1; 1], ...
%!                  "LearningRate", 0.3, "Vigilance", 0.9, "Scale", "none", one_net{:});
%! r = vorla_rules (m, "Digits", 17);
%! assert (r(3).Text, sprintf ("if x1 = %.17g and x2 = 0.5 then 18446744073709551614", r(3).Lower(1)));

%!test
%! ## a feature left open by a pattern missing it holds every value: no condition, the corners
%! ## -Inf and Inf; a missing value counts inside every box there; an open categorical feature
%! ## holds every category
%! X = [1 10; NaN 30; 3 20; 4 40; 5 NaN; 6 35];
%! m = vorla_train (X, [1; 2; 1; 2; 1; 2], "Vigilance", 0.9, one_net{:});
%! r = vorla_rules (m, "X", X);
%! assert ({r(1:2).Text}, {"if x1 = 6 and 30 <= x2 <= 35 then 2", "if x1 = 5 then 1"});
%! assert ({r(2).Lower, r(2).Upper, [r.Count]}, {[5 -Inf], [5 Inf], [2 2 1 1 1]});
%! m = vorla_train ([1 NaN; 2 5; 3 1; 4 2], [1; 1; 2; 2], "CategoricalPredictors", 2, "Vigilance", 0.9, one_net{:});
%! r = vorla_rules (m);
%! assert ({r(1).Text, r(1).Categories{2}}, {"if x1 = 1 then 1", [1; 2; 5]});

%!demo
%! ## the rules of a model of two clusters, with the training patterns each box holds
%! rand ("state", 1);
%! X = [rand(40, 2); 2 + rand(40, 2)];
%! y = [ones(40, 1); 2 * ones(40, 1)];
%! model = vorla_train (X, y, "Vigilance", 0.7, one_net{:});
%! vorla_rules (model, "FeatureNames", {"width", "height"}, "X", X)
