function rules = vorla_rules (model, varargin)
% VORLA_RULES  List the boxes of a model as if-then rules in the data's own units.
%
%   vorla_rules (model)
%   rules = vorla_rules (model, Name, Value, ...)
%
%   Every node of a model is a box with a class: a pattern inside the box
%   fits the rule
%     if 4.9 <= petal length <= 5.1 and 1.5 <= petal width <= 1.8 then versicolor
%   The bounds are the box's corners taken back through the model's range
%   (vorla_scale) into the units of the training data. A feature over whose
%   whole training range the box reaches sets no condition; a bound at the
%   edge of that range is left out ("petal width >= 1.5"), since
%   vorla_predict clips new values to the range. A box that sets no
%   condition reads "always versicolor".
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
%     Lower     1 x M lower corner in data units
%     Upper     1 x M upper corner in data units
%     Count     the patterns of the X option that the box holds ([]
%               without X)
%     Text      the rule as a char row
%   Within each network the rules are sorted by Count, most first (ties and
%   rules without X in node order).
%
%   Options (names are case-insensitive):
%     'FeatureNames'  {'x1', ..., 'xM'}  a name per feature (cellstr or
%                     string array of M names).
%     'X'             []  patterns in data units, N x M (e.g. the training
%                     data): Count is the number of them inside each box,
%                     measured as vorla_predict scales them; a row with NaN
%                     lies in no box.
%     'Digits'        4   significant digits of the bounds in Text.
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
  end
  opts = parse_options (parser, 'rules', varargin);
  model = check_model ('rules', model);
  M = model.Features;
  names = feature_names (opts.FeatureNames, M);
  digits = opts.Digits;
  if ~(isnumeric (digits) && isreal (digits) && isscalar (digits) && digits == fix (digits) && digits >= 1 && digits <= 17)
    error ('vorla:rules:Digits', 'vorla_rules: Digits must be a whole number from 1 to 17; %s given', describe (digits));
  end
  % The model's Scale says whether its boxes are in data units, as vorla_predict reads it.
  unscaled = strcmp (model.Scale, 'none');
  counted = ~isempty (opts.X);
  if counted
    X = check_patterns ('rules', opts.X, 'X');
    if size (X, 2) ~= M
      error ('vorla:rules:X', 'vorla_rules: model has %d features but X has %d columns', M, size (X, 2));
    end
    if ~unscaled
      X = vorla_scale (X, model.Range);
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

  [templates, nlabels] = network_list (model);
  rules = struct ('Network', {}, 'Node', {}, 'Class', {}, 'Lower', {}, 'Upper', {}, 'Count', {}, 'Text', {});
  for v = 1:numel (templates)
    T = templates{v};
    K = size (T, 1);
    count = zeros (K, 1);
    if counted
      for k = 1:K
        count(k) = sum (all (bsxfun (@ge, X, T(k,1:M)) & bsxfun (@le, X, T(k,M+1:2*M)), 2));
      end
      [~, order] = sort (-count);
    else
      order = (1:K)';
    end
    net = struct ('Network', num2cell (v * ones (K, 1)), 'Node', num2cell (order(:)), 'Class', [], ...
                  'Lower', [], 'Upper', [], 'Count', [], 'Text', '');
    for i = 1:K
      k = order(i);
      lower = T(k,1:M);
      upper = T(k,M+1:2*M);
      net(i).Class = class_name (model, nlabels{v}(k));
      net(i).Lower = low + lower .* width;
      net(i).Upper = low + upper .* width;
      if counted
        net(i).Count = count(k);
      end
      if unscaled
        from = true (1, M);
        to = true (1, M);
      else
        from = bounded(2,:) & lower > 0;
        to = bounded(2,:) & upper < 1;
      end
      net(i).Text = rule_text (names, net(i).Lower, net(i).Upper, from, to, class_text (net(i).Class), digits);
    end
    rules = [rules; net];
  end

  if nargout == 0
    show (rules, numel (templates), counted);
    clear rules;
  end
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

function text = rule_text (names, lower, upper, from, to, class, digits)
  format = sprintf ('%%.%dg', digits);
  parts = {};
  for i = 1:numel (names)
    % Slow learning can leave a point box's corners a rounding step apart the wrong way round.
    if from(i) && to(i) && lower(i) >= upper(i)
      parts{end+1} = sprintf (['%s = ' format], names{i}, lower(i));
    elseif from(i) && to(i)
      parts{end+1} = sprintf ([format ' <= %s <= ' format], lower(i), names{i}, upper(i));
    elseif from(i)
      parts{end+1} = sprintf (['%s >= ' format], names{i}, lower(i));
    elseif to(i)
      parts{end+1} = sprintf (['%s <= ' format], names{i}, upper(i));
    end
  end
  if isempty (parts)
    text = ['always ' class];
  else
    text = sprintf ('if %s then %s', strjoin (parts, ' and '), class);
  end
end

function show (rules, networks, counted)
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
%! assert ([r.Count], [3 3]);
%! assert ({r.Text}, {"if width <= 2 and height <= 2 then small", "if width >= 8 and height >= 9 then big"});
%! assert (r(1).Lower, [1 1]);
%! assert (r(2).Upper, [9 9]);
%! r = vorla_rules (model, "X", [8.5 9; 8.7 9; 1 1]);
%! assert ([r.Node], [2 1]);
%! assert (r(1).Text, "if x1 >= 8 and x2 >= 9 then big");
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

%!demo
%! ## the rules of a model of two clusters, with the training patterns each box holds
%! rand ("state", 1);
%! X = [rand(40, 2); 2 + rand(40, 2)];
%! y = [ones(40, 1); 2 * ones(40, 1)];
%! model = vorla_train (X, y, "Vigilance", 0.7, one_net{:});
%! vorla_rules (model, "FeatureNames", {"width", "height"}, "X", X)
