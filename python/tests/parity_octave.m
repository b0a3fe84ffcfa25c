function lines = parity_octave (out_file)
% The models that the Python tests compare with, made by the Octave layer: one line per
% case and quantity, "case quantity sha256-of-the-doubles" (or the value itself for
% settings). With out_file the lines are written there; the Python tests read the
% committed copy (parity_hashes.txt), and the ctest octave_python_parity checks that
% the Octave layer still makes it.
  warning ('off', 'all');
  P = mod ((1:90)' * [0.6180339887, 0.4142135623], 1);
  c = 1 + (sum ((P - 0.5) .^ 2, 2) > 0.1);
  c(80:2:90) = 3;
  Q = mod ((1:50)' * [0.7548776662, 0.5698402910], 1);
  twins = [P; P(1:6,:)];
  twin_labels = [c; 4 - c(1:6)];
  far = [P; 40 0.5; -30 0.25];
  far_labels = [c; 1; 2];
  one = {'OptimizeHyperparameters', 'none'};
  lines = {};
  lines = [lines, describe_model('published', vorla_train (P, c, 'Vigilance', 0, 'Voters', 1, ...
                                 'MatchTracking', 'strict', 'Scale', 'auto'), Q)];
  lines = [lines, describe_model('tolerant', vorla_train (twins, twin_labels, 'Vigilance', 0.5, 'Alpha', 0.01, ...
                                 'Voters', 1, 'ChoiceTest', true), Q)];
  lines = [lines, describe_model('voters', vorla_train (P, c, 'Voters', 5, 'Seed', 7, 'Vigilance', 0.3, one{:}), Q)];
  model = vorla_train (P(1:60,:), c(1:60), 'Voters', 3, 'Seed', 2, 'Vigilance', 0.4, 'MaxPresentations', 1);
  model = vorla_train (model, P(61:75,:), c(61:75));
  model = vorla_train (model, [P(76:90,:); 1.5 0.5], [c(76:90); 3], 'Vigilance', 0.6);
  lines = [lines, describe_model('continued', model, Q)];
  lines = [lines, describe_model('default', vorla_train (P, c), Q)];
  lines = [lines, describe_model('far', vorla_train (far, far_labels), Q)];
  % Missing features: scattered NaN, a training row and a query row with none.
  G = P;
  G(5:7:90, 1) = NaN;
  G(9:11:90, 2) = NaN;
  G = [G; NaN NaN];
  g = [c; 1];
  R = Q;
  R(3:5:50, 1) = NaN;
  R(4:9:50, 2) = NaN;
  R(50,:) = NaN;
  lines = [lines, describe_model('missing', vorla_train (G, g), R)];
  model = vorla_train (G, g, 'MissingValues', 'impute');
  lines = [lines, describe_model('impute', model, R), {sprintf('impute fill %s', digest (model.Impute(:)))}];
  % Categorical features: four codes (NaN in some patterns; a query code training never
  % saw) and two beside the numeric ones, by the default call; and texts only, imputed.
  n = (1:90)';
  Z = [P, mod(n, 4) * 10 + 5, mod(floor (n / 3), 2)];
  Z(7:13:90, 3) = NaN;
  z = c;
  z(Z(:,3) == 25 & Z(:,4) == 1) = 3;
  m = (1:50)';
  S = [Q, mod(m, 5) * 10 + 5, mod(m, 2)];
  S(4:11:50, 3) = NaN;
  model = vorla_train (Z, z, 'CategoricalPredictors', [3 4]);
  rules = vorla_rules (model, 'X', Z);
  lines = [lines, describe_model('categorical', model, S), ...
           {sprintf('categorical rules %s', hash ('sha256', strjoin ({rules.Text}, char (10))))}, ...
           {sprintf('categorical counts %s', digest ([rules.Count]))}];
  rules = vorla_rules (model);
  lines = [lines, {sprintf('categorical corners %s', hash ('sha256', strjoin ({rules.Text}, char (10))))}];
  [rules, scores] = vorla_rules (model, 'X', Z, 'Simplify', true, 'Labels', z);
  lines = [lines, {sprintf('categorical simplified %s', hash ('sha256', strjoin ({rules.Text}, char (10))))}, ...
           {sprintf('categorical simplified_scores %s', digest ([[scores.Conditions]; [scores.Kept]; ...
                    [scores.Covered]; [scores.Agreement]; [scores.Accuracy]]))}];
  colours = {'red', 'green', 'blue'};
  sizes = {'small', 'large'};
  W = [colours(mod(n, 3) + 1)', sizes(mod(floor (n / 2), 2) + 1)'];
  W(5:17:90, 1) = {''};
  W(11:23:90, 2) = {''};
  colours = [colours, {'purple'}];
  V = [colours(mod(m, 4) + 1)', sizes(mod(m, 2) + 1)'];
  V(3:9:50, 2) = {''};
  model = vorla_train (W, c, 'MissingValues', 'impute', 'Voters', 3, 'Seed', 4, 'Vigilance', 0.5);
  rules = vorla_rules (model, 'FeatureNames', {'colour', 'size'});
  lines = [lines, describe_model('text', model, V), {sprintf('text fill %s', digest (model.Impute(:)))}, ...
           {sprintf('text rules %s', hash ('sha256', strjoin ({rules.Text}, char (10))))}];
  how = struct ('KFold', 3, 'Seed', 5, 'MaxObjectiveEvaluations', 6);
  lines = [lines, describe_model('all', vorla_train (P, c, 'OptimizeHyperparameters', 'all', ...
                                 'HyperparameterOptimizationOptions', how), Q)];
  if nargin > 0
    fid = fopen (out_file, 'w');
    fprintf (fid, '%s\n', lines{:});
    fclose (fid);
  end
end

function lines = describe_model (name, model, Q)
  [templates, nlabels] = network_list (model);
  T = cellfun (@(t) t(:), templates, 'UniformOutput', false);
  L = cellfun (@(l) l(:), nlabels, 'UniformOutput', false);
  [labels, votes] = vorla_predict (model, Q);
  [~, choice] = vorla_predict (model, Q, 'Scores', 'choice');
  lines = {sprintf('%s templates %s', name, digest (vertcat (T{:}))), ...
           sprintf('%s nlabels %s', name, digest (vertcat (L{:}))), ...
           sprintf('%s nodes %s', name, sprintf ('%d ', cellfun ('numel', nlabels))), ...
           sprintf('%s presentations %s', name, sprintf ('%d ', model.Presentations)), ...
           sprintf('%s range %s', name, digest (model.Range(:))), ...
           sprintf('%s vigilance %.17g', name, model.Vigilance), ...
           sprintf('%s voters %d', name, model.Voters), ...
           sprintf('%s labels %s', name, digest (double (labels(:)))), ...
           sprintf('%s votes %s', name, digest (votes(:))), ...
           sprintf('%s choice %s', name, digest (choice(:)))};
end

function [templates, nlabels] = network_list (model)
  templates = model.Templates;
  nlabels = model.NLabels;
  if ~iscell (templates)
    templates = {templates};
    nlabels = {nlabels};
  end
end

function text = digest (x)
  bytes = typecast (double (x(:)), 'uint8');
  text = hash ('sha256', char (bytes(:)'));
end
