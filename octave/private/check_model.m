function model = check_model (who, model)
% A model as vorla_train makes it, checked field by field once by each
% function that takes one, so that an edited, truncated or foreign model is
% named as the fault rather than the data. Returns the model with its
% classes in today's form: models written when char labels kept their
% classes as char rows still load and predict.
  required = {'Format', 'ClassNames', 'LabelKind', 'Features', 'Range', 'Templates', 'NLabels', ...
              'D', 'Vigilance', 'Alpha', 'ChoiceTest', 'Scale', 'Voters'};
  id = ['vorla:' who ':model'];
  fn = ['vorla_' who];
  if ~(isstruct (model) && isscalar (model))
    error (id, '%s: model must be the struct that vorla_train returns; %s given', fn, describe (model));
  end
  missing = required(~isfield (model, required));
  if ~isempty (missing)
    error (id, '%s: model lacks the fields%s of a model that vorla_train returns', fn, sprintf (' %s', missing{:}));
  end
  need ('Format', ischar (model.Format) && strcmp (model.Format, 'vorla model 1'), '''vorla model 1''');
  need ('Features', is_count (model.Features, 1), 'a whole number >= 1');
  M = double (model.Features);
  need ('D', is_number (model.D) && model.D > 0 && isfinite (model.D), 'a finite number > 0');
  need ('Vigilance', is_number (model.Vigilance) && model.Vigilance >= 0 && model.Vigilance <= 1, 'a number in [0, 1]');
  need ('Alpha', is_number (model.Alpha) && model.Alpha >= 0 && isfinite (model.Alpha), 'a finite number >= 0');
  need ('ChoiceTest', is_number (model.ChoiceTest) && any (model.ChoiceTest == [0 1]), 'true or false');
  need ('Voters', is_count (model.Voters, 1), 'a whole number >= 1');
  V = double (model.Voters);
  need ('Scale', ischar (model.Scale) && any (strcmp (model.Scale, {'auto', 'none', 'range', 'robust'})), ...
        '''auto'', ''none'', ''range'' or ''robust''');
  range = model.Range;
  if strcmp (model.Scale, 'none')
    % Boxes in data units: a range would say otherwise to whoever reads it.
    need ('Range', isnumeric (range) && isempty (range), '[] with Scale ''none''');
  else
    need ('Range', isa (range, 'double') && isreal (range) && ~issparse (range) && isequal (size (range), [2 M]) ...
          && all (isfinite (range(:))) && all (range(1,:) <= range(2,:)), ...
          sprintf ('a 2 x %d matrix [smallest; largest] of finite values', M));
  end

  [~, count] = coded_layout (check_coding (), M);
  W = sum (count);

  if isfield (model, 'MissingValues')
    how = model.MissingValues;
    need ('MissingValues', ischar (how) && any (strcmp (how, {'inside', 'impute', 'error'})), ...
          '''inside'', ''impute'' or ''error''');
    fill = [];
    if isfield (model, 'Impute')
      fill = model.Impute;
    end
    if strcmp (how, 'impute')
      need ('Impute', isa (fill, 'double') && isreal (fill) && isequal (size (fill), [1 M]) && all (isfinite (fill)), ...
            sprintf ('a 1 x %d row of finite fill values with MissingValues ''impute''', M));
    else
      need ('Impute', isnumeric (fill) && isempty (fill), '[] unless MissingValues is ''impute''');
    end
  end
  if strcmp (who, 'train')
    % Continued training goes on with the model's own seed, and with its
    % settings and history where it has them.
    optional = @(field, ok) ~isfield (model, field) || ok ();
    need ('LearningRate', optional ('LearningRate', @() is_number (model.LearningRate) && model.LearningRate > 0 ...
                                                      && model.LearningRate <= 1), 'a number in (0, 1]');
    need ('MaxPresentations', optional ('MaxPresentations', @() is_number (model.MaxPresentations) ...
          && model.MaxPresentations >= 1 && ((model.MaxPresentations == fix (model.MaxPresentations) ...
          && double (model.MaxPresentations) <= 2^31 - 1) || isinf (model.MaxPresentations))), ...
          'a whole number in [1, 2^31 - 1] or Inf');
    need ('Trim', optional ('Trim', @() is_number (model.Trim) && any (model.Trim == [0 1])), 'true or false');
    need ('Seed', isfield (model, 'Seed') && is_number (model.Seed) && model.Seed >= 0 && model.Seed < 2^32 ...
          && model.Seed == fix (model.Seed), 'a whole number in [0, 2^32)');
    if isfield (model, 'MatchTracking')
      need ('MatchTracking', ischar (model.MatchTracking) && any (strcmp (model.MatchTracking, {'strict', 'tolerant'})), ...
            '''strict'' or ''tolerant''');
    end
    if isfield (model, 'History')
      record = {'Patterns', 'Classes', 'Nodes', 'Presentations', 'Converged', 'Seed', 'Vigilance', 'Alpha', ...
                'LearningRate', 'MaxPresentations', 'Trim', 'ChoiceTest', 'MatchTracking'};
      history = model.History;
      need ('History', isempty (history) || (isstruct (history) && isvector (history) ...
            && isempty (setxor (fieldnames (history), record))), ...
            ['a struct array of the calls that trained the model, with the fields' sprintf(' %s', record{:})]);
    end
  end

  kinds = {'double', 'single', 'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32', 'int64', 'uint64', ...
           'logical', 'cellstr', 'char', 'string'};
  need ('LabelKind', ischar (model.LabelKind) && any (strcmp (model.LabelKind, kinds)), ...
        ['one of' sprintf(' ''%s''', kinds{:})]);
  kind = model.LabelKind;
  names = model.ClassNames;
  if strcmp (kind, 'char') && ischar (names) && ndims (names) == 2
    names = deblank (num2cell (names, 2));
  end
  if any (strcmp (kind, {'cellstr', 'char', 'string'}))
    ok = iscellstr (names) && iscolumn (names) && numel (names) >= 1 && all (cellfun ('size', names, 1) == 1) ...
         && all (cellfun ('ndims', names) == 2) && numel (unique (names)) == numel (names);
    need ('ClassNames', ok, 'a C x 1 cellstr of distinct texts, one row each, for text labels');
  else
    ok = isa (names, kind) && isreal (names) && ~issparse (names) && iscolumn (names) ...
         && numel (names) >= 1 && ~any (isnan (names)) && numel (unique (names)) == numel (names);
    % Continued training appends new classes, so the order is not sorted.
    need ('ClassNames', ok, sprintf ('a C x 1 %s column of distinct classes, like its %s labels', kind, kind));
  end
  model.ClassNames = names;
  C = numel (names);

  % Slow learning rounds: a blend of a corner toward a pattern,
  % beta * x + (1 - beta) * w, lies within 3 rounding units of |w| or |x|
  % of its exact value (its two products, 1 - beta and the sum each round
  % once; a pattern far from the box moves the corner by far more), so a
  % point box's corner can end a step past the other. A
  % reversal d of a box shrinks to (1 - beta) * d at the next update that
  % moves it, and each update adds at most two blends' error: d stays below
  % 6 units / beta, 6 / beta * eps of the corners, or 12 / beta * eps where
  % they crossed a power of two. 16 / beta leaves room, with beta the
  % smallest rate of the calls that trained the model (1: fast learning is
  % exact and allows none).
  beta = min ([1, learning_rates(model)]);
  slack = (beta < 1) * 16 / beta;
  opened = beta < 1 && ~(isfield (model, 'MissingValues') && ~strcmp (model.MissingValues, 'inside'));
  templates = model.Templates;
  nlabels = model.NLabels;
  if V > 1
    need ('Templates', iscell (templates) && numel (templates) == V, sprintf ('a cell of the %d networks of Voters', V));
    need ('NLabels', iscell (nlabels) && numel (nlabels) == V, sprintf ('a cell of the %d networks of Voters', V));
    % In the row that vorla_train makes, whatever shape the cells came in.
    templates = reshape (templates, 1, V);
    nlabels = reshape (nlabels, 1, V);
    model.Templates = templates;
    model.NLabels = nlabels;
  else
    need ('Templates', ~iscell (templates), 'the K x 2M matrix of one network (Voters is 1)');
    need ('NLabels', ~iscell (nlabels), 'the K x 1 class numbers of one network (Voters is 1)');
    templates = {templates};
    nlabels = {nlabels};
  end
  for v = 1:V
    T = templates{v};
    L = nlabels{v};
    suffix = '';
    if V > 1
      suffix = sprintf ('{%d}', v);
    end
    shape = sprintf ('a K x %d double matrix of node boxes [lower upper], K >= 1', 2 * W);
    need (['Templates' suffix], isa (T, 'double') && isreal (T) && ~issparse (T) && ndims (T) == 2 ...
          && size (T, 2) == 2 * W && size (T, 1) >= 1, shape, describe (T));
    need (['Templates' suffix], all (isfinite (T(:))), 'finite', sprintf ('%d NaN or Inf values', sum (~isfinite (T(:)))));
    reversal = T(:,1:W) - T(:,W+1:end);
    % A feature still open since a pattern missing it made the node: [1, 0]. Slow
    % learning closes it step by step, each step shrinking the gap by (1 - beta),
    % so such a model may hold a reversal of up to 1.
    reversal(T(:,1:W) == 1 & T(:,W+1:end) == 0) = 0;
    if opened
      reversal(reversal <= 1 + 4 * eps) = 0;
    end
    reversed = sum (any (reversal > slack * eps (max (abs (T(:,1:W)), abs (T(:,W+1:end)))), 2));
    need (['Templates' suffix], reversed == 0, ...
          'boxes with lower <= upper in every feature (up to the rounding of slow learning)', ...
          sprintf ('%d reversed boxes', reversed));
    shape = sprintf ('a %d x 1 double column of class numbers 1 to %d', size (T, 1), C);
    need (['NLabels' suffix], isa (L, 'double') && isreal (L) && ~issparse (L) && iscolumn (L) ...
          && numel (L) == size (T, 1), shape, describe (L));
    stray = sum (~(L >= 1 & L <= C & L == fix (L)));
    need (['NLabels' suffix], stray == 0, shape, sprintf ('%d values that are no class number', stray));
  end

  function coding = check_coding ()
  % The categorical features and their categories, where the model has any.
    coding = struct ('CategoricalPredictors', [], 'Categories', {{}});
    if ~isfield (model, 'CategoricalPredictors') && ~isfield (model, 'Categories')
      return;
    end
    % One without the other is a model edited by hand: name the missing one.
    need ('CategoricalPredictors', isfield (model, 'CategoricalPredictors'), 'given with Categories');
    need ('Categories', isfield (model, 'Categories'), 'given with CategoricalPredictors');
    features = model.CategoricalPredictors;
    need ('CategoricalPredictors', isnumeric (features) && isreal (features) && (isempty (features) ...
          || (isrow (features) && all (features == fix (features)) && all (diff (features) > 0) ...
              && features(1) >= 1 && features(end) <= M)), ...
          sprintf ('a row of increasing feature indices in 1 to %d', M));
    lists = model.Categories;
    P = numel (features);
    need ('Categories', iscell (lists) && numel (lists) == P, ...
          sprintf ('a cell of the %d lists of categories of CategoricalPredictors', P));
    for i = 1:P
      list = lists{i};
      if iscellstr (list)
        ok = iscolumn (list) && issorted (list) && numel (unique (list)) == numel (list) && ~any (cellfun ('isempty', list));
      else
        ok = isa (list, 'double') && isreal (list) && iscolumn (list) && all (isfinite (list)) && all (diff (list) > 0);
      end
      need ('Categories', ok && ~isempty (list), ...
            'for each categorical feature a column of its distinct categories in sorted order (numbers or texts)', ...
            sprintf ('%s for feature %d', describe (list), features(i)));
    end
    coding = struct ('CategoricalPredictors', double (features(:)'), 'Categories', {lists(:)'});
  end

  function need (field, ok, expected, value)
    if ~ok
      if nargin < 4 && ~isfield (model, field)
        value = 'none';
      elseif nargin < 4
        value = describe (model.(field));
      end
      error (id, '%s: model.%s must be %s; %s given', fn, field, expected, value);
    end
  end
end

function rates = learning_rates (model)
% The learning rates in (0, 1] that the model and its history record.
  values = {};
  if isfield (model, 'LearningRate')
    values = {model.LearningRate};
  end
  if isfield (model, 'History') && isstruct (model.History) && isfield (model.History, 'LearningRate')
    values = [values, {model.History.LearningRate}];
  end
  valid = cellfun (@(rate) is_number (rate) && rate > 0 && rate <= 1, values);
  rates = cellfun (@double, values(valid));
end

function ok = is_number (value)
  ok = (isnumeric (value) || islogical (value)) && isreal (value) && isscalar (value) && ~issparse (value) ...
       && ~isnan (value);
end

function ok = is_count (value, least)
  ok = isnumeric (value) && is_number (value) && value >= least && value == fix (value) && isfinite (value);
end
