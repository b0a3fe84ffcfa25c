% Measures the MissingValues rules of vorla_train on data with values removed, and prints
% the table of doc/accuracy.md as Markdown.
%
%   octave-cli --no-gui --norc scripts/missing_table.m [DIR] [--quick]
%
% DIR holds the MEX files and the .m functions (default: build). The data: iris, wine, breast
% cancer and digits (scripts/real_data.m). From each set values are removed completely at
% random (5%, 10% and 30% of all values), and 10% with the patterns of class 1 losing values
% at three times the rate of the others ("class 1 x3"); a pattern never loses every value.
% Each set is dealt once into 5 stratified folds (seed 0), the same for every method and
% every removal, and each method is trained on 4 folds and scored on the fifth:
%   inside   MissingValues 'inside': a missing value lies inside every box
%   impute   MissingValues 'impute': the training median of the feature
%   drop     training on the complete patterns only, the held-out ones filled with the
%            medians of those (MissingValues 'impute' on the complete rows)
% Every method uses vorla_train's defaults but OptimizeHyperparameters 'none'. Values are
% accuracy in percent over all held-out patterns; --quick leaves out the 5% and 30% rows.

args = argv ();
quick = any (strcmp (args, '--quick'));
args = args(! strcmp (args, '--quick'));
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
here = fileparts (mfilename ('fullpath'));
addpath (make_absolute_filename (folder));
addpath (here);
warning ('off', 'all');

function X = removed (X, y, rate, boost, seed)
  % Each value goes missing with probability rate (times boost in class 1, the rates scaled
  % so that their mean is rate); a row that would lose every value keeps its first one.
  rand ('twister', seed);
  [N, M] = size (X);
  w = ones (N, 1);
  w(y == 1) = boost;
  p = rate * w / mean (w);
  gone = rand (N, M) < repmat (p, 1, M);
  gone(all (gone, 2), 1) = false;
  X(gone) = NaN;
end

function accuracy = scored (X, Xm, y, folds, method)
  right = 0;
  opts = {'OptimizeHyperparameters', 'none'};
  for k = 1:max (folds)
    t = folds != k;
    switch method
      case 'inside'
        m = vorla_train (Xm(t,:), y(t), opts{:}, 'MissingValues', 'inside');
      case 'impute'
        m = vorla_train (Xm(t,:), y(t), opts{:}, 'MissingValues', 'impute');
      case 'drop'
        Xt = Xm(t,:);
        yt = y(t);
        whole = ! any (isnan (Xt), 2);
        m = vorla_train (Xt(whole,:), yt(whole), opts{:}, 'MissingValues', 'impute');
    end
    right += sum (vorla_predict (m, Xm(!t,:)) == y(!t));
  end
  accuracy = 100 * right / numel (y);
end

sets = {'iris', 'wine', 'breast_cancer', 'digits'};
conditions = {0.05, 1, '5%'; 0.10, 1, '10%'; 0.30, 1, '30%'; 0.10, 3, '10%, class 1 x3'};
if (quick)
  conditions = conditions([2 4],:);
end
methods = {'inside', 'impute', 'drop'};
cells = {};
for s = 1:numel (sets)
  [X, y] = real_data (sets{s});
  if (isempty (X))
    printf ('%s: not installed, skipped\n', sets{s});
    continue;
  end
  [~, folds] = vorla_crossval (X, y, 'OptimizeHyperparameters', 'none', 'Voters', 1, 'KFold', 5);
  full = scored (X, X, y, folds, 'inside');
  for c = 1:rows (conditions)
    Xm = removed (X, y, conditions{c,1}, conditions{c,2}, 1000 * s + c);
    row = {strrep(sets{s}, '_', ' '), conditions{c,3}, sprintf('%.2f', full)};
    for j = 1:numel (methods)
      row{end+1} = sprintf ('%.2f', scored (X, Xm, y, folds, methods{j}));
    end
    cells(end+1,:) = row;
    printf ('%s\n', strjoin (row, ' | '));
    fflush (stdout);
  end
end
print_markdown ('Accuracy (%) with values removed, 5 folds', 'set', ...
                {'removed', 'no value removed', 'inside', 'impute', 'drop rows'}, cells);
