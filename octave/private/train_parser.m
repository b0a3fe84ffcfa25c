function p = train_parser (who)
% The options of vorla_train with their defaults, shared by vorla_crossval
% (which adds KFold). Values are checked afterwards by check_option: Octave's
% inputParser wraps a validator's error in its own message and drops its
% identifier. Building a parser costs more than a small training run, so each
% is built once and reused; parse starts afresh every time.
  persistent parsers;
  if isempty (parsers)
    parsers = struct ();
  end
  if isfield (parsers, who)
    p = parsers.(who);
    return;
  end
  p = inputParser ();
  p.FunctionName = ['vorla_' who];
  % MATLAB's parser accepts abbreviations unless told not to, Octave's never:
  % both take exactly the documented names (in any case).
  p.PartialMatching = false;
  p.addParameter ('Vigilance', 0);
  p.addParameter ('Alpha', 0.001);
  p.addParameter ('LearningRate', 1);
  p.addParameter ('MaxPresentations', Inf);
  p.addParameter ('Trim', false);
  p.addParameter ('ChoiceTest', false);
  p.addParameter ('Scale', 'robust');
  p.addParameter ('D', []);
  p.addParameter ('Voters', 10);
  p.addParameter ('Seed', 0);
  p.addParameter ('Trace', 0);
  p.addParameter ('Parallel', false);
  p.addParameter ('Threads', 0);
  p.addParameter ('MatchTracking', 'tolerant');
  p.addParameter ('Display', 'off');
  p.addParameter ('OptimizeHyperparameters', 'auto');
  p.addParameter ('HyperparameterOptimizationOptions', struct ());
  p.addParameter ('CategoricalPredictors', []);
  p.addParameter ('MissingValues', 'inside');
  switch who
    case 'crossval'
      p.addParameter ('KFold', 10);
      p.addParameter ('CVPartition', []);
      p.addParameter ('Holdout', []);
    case 'predict'
      p = inputParser ();
      p.FunctionName = 'vorla_predict';
      p.PartialMatching = false;
      p.addParameter ('Vigilance', 0);
      p.addParameter ('UnknownLabel', []);
      p.addParameter ('Trace', 0);
      p.addParameter ('Parallel', false);
      p.addParameter ('Scores', 'votes');
      p.addParameter ('Threads', 0);
  end
  parsers.(who) = p;
end
