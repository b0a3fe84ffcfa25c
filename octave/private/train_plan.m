function [model, Xs, index, opts] = train_plan (X, labels, options)
% What vorla_train (X, labels, options{:}) does before it trains its
% networks: the options read and checked, the patterns coded and scaled
% (Xs, with their class numbers index), the search run where options are
% left open (opts then holds the chosen ones), and the model without its
% networks, which record_call adds.
  p = train_parser ('train');
  [opts, given] = parse_options (p, 'train', options);
  how = missing_option ('train', opts.MissingValues);
  [X, coding] = learn_coding ('train', X, opts.CategoricalPredictors, ~strcmp (how, 'error'));
  [names, index, kind] = label_classes ('train', labels);
  check_shape ('train', X, numel (index));
  opts = check_train_options ('train', opts, size (X, 2));
  [X, index, fill] = prepare_missing (X, index, how, [], coding.CategoricalPredictors);
  search = check_search ('train', opts.OptimizeHyperparameters, opts.HyperparameterOptimizationOptions, given, ...
                         opts, numel (index));

  one_class ('train', names);

  [Xs, range, scale] = apply_scale (X, opts.Scale, coding);
  if strcmp (scale, 'none')
    check_unscaled ('train', Xs, opts.D, 'X');
  elseif strcmp (scale, 'range')
    clip_warning ('train', X, range, true, coding.CategoricalPredictors);
  end
  conflict_warning ('train', Xs, index, opts.MatchTracking);
  if ~isempty (search.Names)
    opts.Coding = coding;
    [opts, searched] = search_settings ('train', X, index, opts, search);
  end

  model = struct ('Format', 'vorla model 1', 'ClassNames', {names}, 'LabelKind', kind, ...
                  'Features', size (X, 2), 'Range', range, ...
                  'CategoricalPredictors', coding.CategoricalPredictors, 'Categories', {coding.Categories}, ...
                  'Templates', [], 'NLabels', [], ...
                  'Presentations', [], 'Converged', [], 'D', opts.D, 'Vigilance', [], 'Alpha', [], ...
                  'LearningRate', [], 'MaxPresentations', [], 'Trim', [], 'ChoiceTest', [], ...
                  'Scale', scale, 'Voters', opts.Voters, 'Seed', opts.Seed, 'MatchTracking', [], ...
                  'History', struct ([]), 'MissingValues', how, 'Impute', fill);
  if ~isempty (search.Names)
    model.HyperparameterOptimizationResults = searched;
  end
end

