function [X, y, names] = real_data (name)
% [X, y, names] = real_data (NAME): a real data set for the measuring scripts,
% or X = [] where it is not installed. 'iris' comes from octave-statistics;
% 'wine', 'breast_cancer' and 'digits' are the tables that Debian's
% python3-sklearn ships (no Python is run: the CSV files are read here).
% y holds class numbers from 1, in the files' order (sorted by class, except
% the digits); names the class names where the file gives them.
  X = [];
  y = [];
  names = {};
  if strcmp (name, 'iris')
    stats = pkg ('list', 'statistics');
    if isempty (stats)
      return;
    end
    iris = load (fullfile (stats{1}.dir, 'datasets', 'fisheriris.mat'));
    X = iris.meas;
    [names, ~, y] = unique (iris.species);
    return;
  end
  folder = '/usr/lib/python3/dist-packages/sklearn/datasets/data';
  if strcmp (name, 'digits')
    file = fullfile (folder, 'digits.csv.gz');
    if ~exist (file, 'file')
      return;
    end
    % The names reach the shell through its environment, never the text of the
    % command, so that no character of TMPDIR can run or break a command.
    plain = [tempname() '.csv'];
    setenv ('VORLA_DATA_IN', file);
    setenv ('VORLA_DATA_OUT', plain);
    [status, ~] = system ('gzip -dc "$VORLA_DATA_IN" > "$VORLA_DATA_OUT"');
    unsetenv ('VORLA_DATA_IN');
    unsetenv ('VORLA_DATA_OUT');
    if status == 0
      table = dlmread (plain, ',');
      X = table(:,1:end-1);
      y = table(:,end) + 1;
      names = arrayfun (@num2str, 0:9, 'UniformOutput', false)';
    end
    if exist (plain, 'file')
      delete (plain);
    end
    return;
  end
  file = fullfile (folder, [strrep(name, 'wine', 'wine_data') '.csv']);
  if ~exist (file, 'file')
    return;
  end
  fid = fopen (file);
  head = strsplit (fgetl (fid), ',');
  fclose (fid);
  table = dlmread (file, ',', 1, 0);
  X = table(:,1:end-1);
  y = table(:,end) + 1;
  names = head(3:end)';
end
