% Categorical features coded as sets against their integer codes, on two real
% sets with categorical features from Debian's octave-statistics: the statlog
% heart data (heart_scale.dat: 270 patients, 13 features of which chest pain,
% resting ECG, slope and thal are categorical, sex, fasting sugar and angina
% binary) and carbig (origin USA / Europe / Japan of 392 cars with complete
% records from MPG, cylinders, displacement, horsepower, weight, acceleration
% and model year, cylinders and model year taken as categorical). 10
% stratified folds (seed 0), the same for every row; vorla_crossval with every
% default. The rows "height" code the categories by hand (numeric features
% scaled by the whole set's range, Scale 'none') to compare indicator heights.
%
%   octave-cli --no-gui --norc --eval "addpath('build'); addpath('scripts'); categorical_table"
1;
function [Xc, D] = code_by_hand (X, cat, height)
% Numeric features scaled by the whole set's range; a categorical feature of L
% categories as L indicators at the given height (one column at 0 and 1 for
% L = 2, except at height 1, the plain one-hot coding).
  Xc = [];
  D = 0;
  for j = 1:columns (X)
    if ~any (cat == j)
      Xc(:,end+1) = vorla_scale (X(:,j));
      D = D + 1;
      continue;
    end
    [values, ~, position] = unique (X(:,j));
    L = numel (values);
    switch height
      case '1/L'
        h = 1 / L;
      case '1/2'
        h = 1 / 2;
      otherwise
        h = 1;
    end
    if L == 2 && h < 1
      Xc(:,end+1) = position - 1;
      D = D + 1;
    else
      Xc(:,end+(1:L)) = h * (position == 1:L);
      D = D + max (1, h * L);
    end
  end
end

folder = fullfile (fileparts (which ('fisheriris.mat')));
if isempty (folder)
  stats = pkg ('list', 'statistics');
  folder = fullfile (stats{1}.dir, 'datasets');
end

[heart, y, names] = real_data ('heart');
values = str2double (names);
heart_y = values(y);   % the file's own labels, -1 and +1
cars = load (fullfile (folder, 'carbig.mat'));
car = [cars.MPG, cars.Cylinders, cars.Displacement, cars.Horsepower, cars.Weight, cars.Acceleration, cars.Model_Year];
origin = cellstr (cars.Origin);
origin(~ismember (origin, {'USA', 'Japan'})) = {'Europe'};
complete = ~any (isnan (car), 2);
% The maker (37 names, coded in alphabetical order) is nominal through and through.
[~, ~, maker] = unique (cellstr (cars.Mfg));
sets = {'heart (chest pain, ECG, slope, thal)', heart, heart_y, [3 7 11 13];
        'heart (thal)', heart, heart_y, 13;
        'carbig (cylinders, model year)', car(complete,:), origin(complete), [2 7];
        'carbig and maker (maker)', [car(complete,:), maker(complete)], origin(complete), 8};

warning ('off', 'all');
labels = {'integer codes as numbers', 'CategoricalPredictors (at 1 / L)', 'by hand: at 1 / L', ...
          'by hand: at 1 / 2', 'by hand: at 1, D = columns'};
cells = cell (rows (sets), numel (labels));
for s = 1:rows (sets)
  [X, y, cat] = sets{s, 2:4};
  [plain, folds] = vorla_crossval (X, y);
  coded = vorla_crossval (X, y, 'CategoricalPredictors', cat, 'CVPartition', folds);
  results = {plain, coded};
  for height = {'1/L', '1/2', '1'}
    [Xc, D] = code_by_hand (X, cat, height{1});
    results{end+1} = vorla_crossval (Xc, y, 'Scale', 'none', 'D', D, 'CVPartition', folds);
  end
  for r = 1:numel (results)
    cells{s, r} = sprintf ('%.1f (%.0f)', 100 * results{r}.MeanAccuracy, mean (results{r}.Nodes));
  end
end
print_markdown (['Accuracy (%) out of fold, 10 stratified folds (seed 0), and in brackets the mean nodes of a ' ...
                 'fold''s model (10 voters); the set, with the features declared categorical:'], ...
                'set', labels, [sets(:,1), cells]);

% The rules of one network on all of the heart data, whole and simplified.
[X, y, cat] = sets{1, 2:4};
names = {'age', 'sex', 'chest pain', 'blood pressure', 'cholesterol', 'fasting sugar', 'ECG', 'max heart rate', ...
         'angina', 'ST depression', 'slope', 'vessels', 'thal'};
model = vorla_train (X, y, 'CategoricalPredictors', cat, 'Voters', 1);
whole = vorla_rules (model, 'X', X, 'FeatureNames', names);
[simple, score] = vorla_rules (model, 'X', X, 'FeatureNames', names, 'Simplify', true, 'Labels', y);
printf (['\nheart, one network (vigilance %g chosen on inner folds): %d rules; Simplify kept %d of %d conditions; ' ...
         'read as a list the rules fit %.1f%% of the data, label %.1f%% as the network does and %.1f%% right ' ...
         '(the network: %.1f%%)\n'], model.Vigilance, numel (whole), score.Kept, score.Conditions, 100 * score.Covered, ...
        100 * score.Agreement, 100 * score.Accuracy, 100 * mean (vorla_predict (model, X) == y));
printf ('the largest box, whole:      %s\nand simplified (%d patterns): %s\n', whole(1).Text, whole(1).Count, ...
        simple([simple.Node] == whole(1).Node).Text);
