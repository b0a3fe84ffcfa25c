function model = record_call (model, nets, opts, N, seed)
% The networks and settings of a call, and one more entry in the history.
  cap = presentation_cap (opts);
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
  model.MatchTracking = opts.MatchTracking;

  call = struct ('Patterns', N, 'Classes', size (model.ClassNames, 1), ...
                 'Nodes', cellfun (@(net) numel (net.NLabels), nets), ...
                 'Presentations', model.Presentations, 'Converged', model.Converged, 'Seed', seed, ...
                 'Vigilance', opts.Vigilance, 'Alpha', opts.Alpha, 'LearningRate', opts.LearningRate, ...
                 'MaxPresentations', cap, 'Trim', opts.Trim, 'ChoiceTest', opts.ChoiceTest, ...
                 'MatchTracking', opts.MatchTracking);
  if isempty (model.History)
    model.History = call;
  else
    model.History(end+1) = call;
  end

  % A cap the caller chose is no surprise: model.Converged tells.
  stopped = sum (~model.Converged);
  if stopped > 0 && isinf (opts.MaxPresentations)
    notify ('vorla:train:cap', ...
             ['vorla_train: %d of %d networks stopped at the safety cap of %d list presentations without ' ...
              'converging; give MaxPresentations to choose the cap (then model.Converged tells, with no warning)'], ...
             stopped, opts.Voters, cap);
  end
end
