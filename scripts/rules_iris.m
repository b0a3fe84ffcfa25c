% The page of rules of the user guide (doc/guide.md): a model of Fisher's iris data as if-then rules in
% centimetres, each with the number of flowers its box holds.
%
%   octave-cli --no-gui --norc scripts/rules_iris.m [DIR]
%
% DIR holds the MEX files (default: build). The data come with octave-statistics; without
% it the script says so and ends (exit code 77).

args = argv ();
folder = 'build';
if (numel (args) >= 1)
  folder = args{1};
end
root = fileparts (fileparts (make_absolute_filename (mfilename ('fullpath'))));
addpath (fullfile (root, 'octave'));
addpath (make_absolute_filename (folder));

stats = pkg ('list', 'statistics');
if (isempty (stats))
  printf ('rules_iris: the iris data come with octave-statistics: apt-get install octave-statistics\n');
  exit (77);
end
load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'));   % meas 150 x 4, species 150 x 1

model = vorla_train (meas, species, 'Vigilance', 0.75);
vorla_rules (model, 'X', meas, 'Digits', 3, ...
             'FeatureNames', {'sepal length', 'sepal width', 'petal length', 'petal width'})
