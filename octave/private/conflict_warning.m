function conflict_warning (who, X, index, rule)
% One warning when identical patterns carry different labels: how many, the
% first rows, and what the match-tracking rule in force does with them.
  [patterns, groups, rows] = label_conflicts (X, index);
  if patterns == 0
    return;
  end
  shown = sprintf (' %d,', rows(1:min (end, 6)));
  shown = shown(1:end-1);
  if patterns > 6
    shown = [shown ', ...'];
  end
  if strcmp (rule, 'tolerant')
    advice = ['tolerant match tracking gives each label a node of its own ' ...
              '(''MatchTracking'', ''strict'' keeps the rule of vorla_fit, which adds nodes for them in every ' ...
              'presentation until the cap)'];
  else
    advice = ['strict match tracking adds nodes for them in every presentation and cannot converge: ' ...
              'use ''MatchTracking'', ''tolerant'', or remove or relabel those rows'];
  end
  notify (['vorla:' who ':conflict'], ...
           'vorla_%s: %d patterns in %d groups of identical patterns carry different labels (rows%s); %s', ...
           who, patterns, groups, shown, advice);
end
