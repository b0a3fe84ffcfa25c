function search = check_search (who, which, how, given, opts, N)
% The hyperparameter search of a training call in its working form:
% search.Names lists the options to choose (the caller's own values are kept:
% an option given by name is not searched), search.Space their values, and
% the inner folds, budget, progress and seed. which is the value of
% OptimizeHyperparameters, how that of HyperparameterOptimizationOptions.
  fn = ['vorla_' who];
  searchable = {'Vigilance', 'Voters', 'MatchTracking', 'MaxPresentations', 'ChoiceTest', 'Alpha', 'LearningRate'};
  if isa (which, 'string')
    which = cellstr (which);
  end
  if ischar (which) && isrow (which) && any (strcmpi (which, {'none', 'auto', 'all'}))
    switch lower (which)
      case 'none'
        names = {};
      case 'auto'
        names = {'Vigilance'};
      case 'all'
        names = {'Vigilance', 'Voters', 'MatchTracking', 'MaxPresentations'};
    end
  elseif iscellstr (which) && ~isempty (which)
    names = {};
    for i = 1:numel (which)
      hit = find (strcmpi (which{i}, searchable));
      if isempty (hit)
        error (['vorla:' who ':OptimizeHyperparameters'], ...
               '%s: OptimizeHyperparameters names an option that cannot be searched: %s (searchable:%s)', ...
               fn, which{i}, sprintf (' %s', searchable{:}));
      end
      names{end+1} = searchable{hit};
    end
    names = unique (names, 'stable');
  else
    error (['vorla:' who ':OptimizeHyperparameters'], ...
           '%s: OptimizeHyperparameters must be ''none'', ''auto'', ''all'' or a cell of option names; %s given', ...
           fn, describe (which));
  end
  names = names(~ismember (names, given));
  search.Names = names;

  id = ['vorla:' who ':HyperparameterOptimizationOptions'];
  if ~(isstruct (how) && isscalar (how))
    error (id, '%s: HyperparameterOptimizationOptions must be a struct; %s given', fn, describe (how));
  end
  fields = {'KFold', 'CVPartition', 'SearchSpace', 'MaxObjectiveEvaluations', 'Display', 'Seed'};
  given_fields = fieldnames (how);
  for i = 1:numel (given_fields)
    if ~any (strcmp (given_fields{i}, fields))
      error (id, '%s: HyperparameterOptimizationOptions has no field %s (fields:%s)', fn, given_fields{i}, ...
             sprintf (' %s', fields{:}));
    end
  end
  % Five inner folds, or one per pattern for fewer patterns; a single
  % pattern leaves nothing to hold out, and the options keep their values.
  search.KFold = min (5, N);
  search.Folds = [];
  if isfield (how, 'KFold')
    search.KFold = check_option (who, 'KFold', how.KFold, opts.D);
    if search.KFold > N
      error (id, '%s: the inner KFold must be at most the number of patterns, %d; %d given', fn, N, search.KFold);
    end
  end
  if isfield (how, 'CVPartition')
    search.Folds = fold_numbers (who, how.CVPartition, N, 'HyperparameterOptimizationOptions.CVPartition');
  elseif search.KFold < 2
    search.Names = {};
  end
  search.MaxEvaluations = field_or (how, 'MaxObjectiveEvaluations', Inf);
  value = search.MaxEvaluations;
  if ~(isnumeric (value) && isscalar (value) && isreal (value) && value >= 1 && (value == fix (value) || isinf (value)))
    error (id, '%s: MaxObjectiveEvaluations must be a whole number >= 1 or Inf; %s given', fn, describe (value));
  end
  search.Display = check_option (who, 'Display', field_or (how, 'Display', 'off'), opts.D);
  search.Seed = check_option (who, 'Seed', field_or (how, 'Seed', opts.Seed), opts.D);

  search.Space = default_space ();
  if isfield (how, 'SearchSpace')
    space = how.SearchSpace;
    if ~(isstruct (space) && isscalar (space))
      error (id, '%s: SearchSpace must be a struct of option values; %s given', fn, describe (space));
    end
    for f = fieldnames (space)'
      hit = find (strcmpi (f{1}, searchable));
      if isempty (hit)
        error (id, '%s: SearchSpace names an option that cannot be searched: %s (searchable:%s)', fn, f{1}, ...
               sprintf (' %s', searchable{:}));
      end
      values = space.(f{1});
      if ischar (values) || isa (values, 'string')
        values = cellstr (values);
      elseif ~iscell (values)
        values = num2cell (values(:)');
      end
      if isempty (values)
        error (id, '%s: SearchSpace.%s must hold at least one value', fn, searchable{hit});
      end
      values = cellfun (@(v) check_option (who, searchable{hit}, v, opts.D), values, 'UniformOutput', false);
      if strcmp (searchable{hit}, 'Voters')
        values = [values{:}];
      end
      search.Space.(searchable{hit}) = values;
    end
  end
end

function space = default_space ()
% Measured on real data (doc/accuracy.md): the best vigilance lay in 0 to 0.9
% and never above, and voters beyond ten added nothing.
  space.Vigilance = {0, 0.5, 0.7, 0.8, 0.9};
  space.Voters = [1 3 10];
  space.MatchTracking = {'tolerant', 'strict'};
  space.MaxPresentations = {1, Inf};
  space.ChoiceTest = {false, true};
  space.Alpha = {0.001, 0.1, 1};
  space.LearningRate = {1, 0.5};
end

function value = field_or (s, name, default)
  value = default;
  if isfield (s, name)
    value = s.(name);
  end
end
