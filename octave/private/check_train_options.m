function opts = check_train_options (who, opts, features)
% Every option of vorla_train in its working form (D resolved to M when empty).
  names = {'Vigilance', 'Alpha', 'LearningRate', 'MaxPresentations', 'Trim', 'ChoiceTest', ...
           'Scale', 'D', 'Voters', 'Seed', 'Trace', 'Parallel', 'Threads', 'MatchTracking', 'Display'};
  for i = 1:numel (names)
    opts.(names{i}) = check_option (who, names{i}, opts.(names{i}), features);
  end
  if isfield (opts, 'MissingValues')
    opts.MissingValues = missing_option (who, opts.MissingValues);
  end
end
