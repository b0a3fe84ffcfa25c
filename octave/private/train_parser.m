function p = train_parser (who)
% The options of vorla_train with their defaults, shared by vorla_crossval.
% Values are checked afterwards by check_option: Octave's inputParser wraps a
% validator's error in its own message and drops its identifier.
  p = inputParser ();
  p.FunctionName = ['vorla_' who];
  p.addParameter ('Vigilance', 0);
  p.addParameter ('Alpha', 0.001);
  p.addParameter ('LearningRate', 1);
  p.addParameter ('MaxPresentations', Inf);
  p.addParameter ('Trim', false);
  p.addParameter ('ChoiceTest', false);
  p.addParameter ('Scale', 'auto');
  p.addParameter ('D', []);
  p.addParameter ('Voters', 1);
  p.addParameter ('Seed', 0);
  p.addParameter ('Trace', 0);
  p.addParameter ('Parallel', false);
end
