% The ROC curve of the user guide (doc/guide.md): choice scores of vorla_predict on the breast-cancer data
% that Debian's python3-sklearn ships, with the curve and its area computed in plain Octave.
%
%   octave-cli --no-gui --norc scripts/roc_breast_cancer.m [DIR [OUTDIR]]
%
% DIR holds the MEX files (default: build); the picture goes to OUTDIR/roc_breast_cancer.png
% (default: doc). Every second patient of each diagnosis trains the model, the others are
% scored. Without python3-sklearn it says so and ends (exit code 77).

args = argv ();
folder = 'build';
outdir = 'doc';
if (numel (args) >= 1)
  folder = args{1};
end
if (numel (args) >= 2)
  outdir = args{2};
end
root = fileparts (fileparts (make_absolute_filename (mfilename ('fullpath'))));
addpath (fullfile (root, 'octave'));
addpath (make_absolute_filename (folder));

data_file = '/usr/lib/python3/dist-packages/sklearn/datasets/data/breast_cancer.csv';
if (! exist (data_file, 'file'))
  printf ('roc_breast_cancer: %s is missing; apt-get install python3-sklearn to run this script\n', data_file);
  exit (77);
end
data = dlmread (data_file, ',', 1, 0);   % the first line holds counts and class names
X = data(:,1:30);
malignant = data(:,31) == 0;             % 212 malignant, 357 benign

% Every second patient of each diagnosis trains, the rest are held out.
train = false (size (malignant));
for group = {find(malignant), find(! malignant)}
  train(group{1}(1:2:end)) = true;
end
held_out = ! train;

warning ('off', 'vorla:predict:clipped');
model = vorla_train (X(train,:), malignant(train));
[predicted, scores] = vorla_predict (model, X(held_out,:), 'Scores', 'choice');
printf ('%d nodes; %d of %d held-out patients classified correctly\n', ...
        numel (vertcat (model.NLabels{:})), sum (predicted == malignant(held_out)), sum (held_out));

% ROC of the score of class true (malignant, the second class): sort by score, step
% through the distinct scores, area by the trapezoid rule (ties make a slanted step).
s = scores(:,2);
positive = malignant(held_out);
[s, order] = sort (s, 'descend');
positive = positive(order);
last = [s(1:end-1) != s(2:end); true];   % the last pattern of each distinct score
tpr = [0; cumsum(positive)(last) / sum(positive)];
fpr = [0; cumsum(!positive)(last) / sum(!positive)];
auc = trapz (fpr, tpr);
printf ('area under the ROC curve: %.4f\n', auc);

if (isempty (file_in_path (getenv ('PATH'), 'gnuplot')))
  printf ('no picture: headless plotting needs gnuplot (apt-get install gnuplot-nox fonts-freefont-otf)\n');
  return;
end
graphics_toolkit ('gnuplot');
f = figure ('visible', 'off');
% The labels themselves (the voters' choice) are one point of the curve.
truth = malignant(held_out);
plot (fpr, tpr, 'LineWidth', 2, [0 1], [0 1], 'k:', ...
      mean (predicted(! truth)), mean (predicted(truth)), 'ko', 'MarkerSize', 8);
axis ([0 1 0 1], 'square');
xlabel ('false positive rate (benign called malignant)');
ylabel ('true positive rate (malignant found)');
title (sprintf ('%d held-out patients, area %.3f', sum (held_out), auc));
print (f, fullfile (outdir, 'roc_breast_cancer.png'), '-dpngcairo', '-S560,520');
printf ('wrote %s\n', fullfile (outdir, 'roc_breast_cancer.png'));
