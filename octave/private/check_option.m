function value = check_option (who, name, value, features)
% Checks one option value of vorla_train (or of one grid point of
% vorla_crossval) and returns it in its working form.
  id = ['vorla:' who ':' name];
  fn = ['vorla_' who];
  switch name
    case 'Vigilance'
      need (is_real_scalar (value) && value >= 0 && value <= 1, 'a number in [0, 1]');
      value = double (value);
    case 'Alpha'
      need (is_real_scalar (value) && value >= 0 && isfinite (value), 'a finite number >= 0');
      value = double (value);
    case 'LearningRate'
      need (is_real_scalar (value) && value > 0 && value <= 1, 'a number in (0, 1]');
      value = double (value);
    case 'MaxPresentations'
      need (is_real_scalar (value) && value >= 1 && ((value == fix (value) && double (value) <= 2^31 - 1) || isinf (value)), ...
            'a whole number in [1, 2^31 - 1], or Inf for "until convergence"');
      value = double (value);
    case {'Trim', 'ChoiceTest', 'Parallel'}
      need (is_switch (value), 'true or false (or 1 or 0)');
      value = logical (value);
    case 'Scale'
      if ischar (value) && (isrow (value) || isequal (size (value), [0 0]))
        choices = {'auto', 'none', 'robust'};
        hit = find (strcmpi (value, choices));
        need (~isempty (hit), '''auto'', ''none'', ''robust'' or a 2 x M range');
        value = choices{hit};
      else
        need (isnumeric (value) && isreal (value) && ~issparse (value) && isequal (size (value), [2, features]) ...
              && all (isfinite (value(:))) && all (value(1,:) <= value(2,:)), ...
              sprintf ('''auto'', ''none'', ''robust'' or a 2 x %d range [smallest; largest] of finite values', features));
        value = double (value);
      end
    case 'MatchTracking'
      value = choice (value, {'strict', 'tolerant'});
    case 'Display'
      value = choice (value, {'off', 'iter', 'final'});
    case 'D'
      need ((isnumeric (value) && isequal (size (value), [0 0])) || (is_real_scalar (value) && value > 0 && isfinite (value)), ...
            'a finite number > 0 (or [] for the number of features)');
      if isempty (value)
        value = features;
      end
      value = double (value);
    case 'Voters'
      % Each voter is a training run and a model field: a bound far beyond any
      % useful group keeps an absurd count from running for days.
      need (is_real_scalar (value) && value >= 1 && value == fix (value) && value <= 10000, ...
            'a whole number in [1, 10000]');
      value = double (value);
    case 'Threads'
      % The engine's own bound on the threads of a call.
      need (is_real_scalar (value) && value >= 0 && value == fix (value) && value <= 1024, ...
            'a whole number in [0, 1024] (0: every usable core)');
      value = double (value);
    case 'Seed'
      need (is_real_scalar (value) && value >= 0 && value < 2^32 && value == fix (value), ...
            'a whole number in [0, 2^32)');
      value = double (value);
    case 'Trace'
      need (is_real_scalar (value) && any (value == 0:4), 'one of 0, 1, 2, 3, 4');
      value = double (value);
    case 'CategoricalPredictors'
      % As MATLAB's fitc* take it: indices, a logical mask or 'all'; none by default.
      if ischar (value) && isrow (value) && strcmpi (value, 'all')
        value = true (1, features);
      elseif islogical (value) && isvector (value) && numel (value) == features
        value = value(:)';
      else
        need (isempty (value) || (isnumeric (value) && isreal (value) && isvector (value) && ~issparse (value) ...
              && all (value == fix (value)) && all (value >= 1) && all (value <= features) ...
              && numel (unique (value)) == numel (value)), ...
              sprintf ('feature indices in 1 to %d, a logical mask of %d or ''all''', features, features));
        mask = false (1, features);
        mask(double (value)) = true;
        value = mask;
      end
    case 'KFold'
      need (is_real_scalar (value) && value >= 2 && value == fix (value) && isfinite (value), 'a whole number >= 2');
      value = double (value);
    otherwise
      error ('vorla:internal', 'check_option: no rule for %s', name);
  end

  function picked = choice (value, choices)
    hit = [];
    if ischar (value) && (isrow (value) || isempty (value))
      hit = find (strcmpi (value, choices));
    end
    need (~isempty (hit), sprintf (['''%s''' repmat(', ''%s''', 1, numel (choices) - 2) ' or ''%s'''], choices{:}));
    picked = choices{hit};
  end

  function need (ok, expected)
    if ~ok
      error (id, '%s: %s must be %s; %s given', fn, name, expected, describe (value));
    end
  end
end

function ok = is_real_scalar (value)
  ok = (isnumeric (value) || islogical (value)) && isreal (value) && isscalar (value) && ~issparse (value) ...
       && ~isnan (value);
end

function ok = is_switch (value)
  ok = is_real_scalar (value) && (value == 0 || value == 1);
end
