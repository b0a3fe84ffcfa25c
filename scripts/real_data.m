function [X, y, names] = real_data (name)
% [X, y, names] = real_data (NAME): a real data set for the measuring scripts,
% or X = [] where it is not installed. 'iris' comes from octave-statistics;
% 'wine', 'breast_cancer' and 'digits' are the tables that Debian's
% python3-sklearn ships (no Python is run: the CSV files are read here).
% Three more sets of octave-statistics played no part in choosing the
% defaults: 'heart' (heart_scale.dat: 270 patients, 13 features as the file
% scales them, 2 classes), 'arrhythmia' (452 patients, 279 features, 408
% values missing, 13 classes of 2 to 245 patients) and 'cars' (carbig.mat:
% the region of origin of 406 cars from 7 measurements, 14 missing).
% y holds class numbers from 1, in the files' order (sorted by class, except
% the digits); names the class names where the file gives them.
  X = [];
  y = [];
  names = {};
  if any (strcmp (name, {'iris', 'heart', 'arrhythmia', 'cars'}))
    stats = pkg ('list', 'statistics');
    if isempty (stats)
      return;
    end
    [X, y, names] = statistics_set (fullfile (stats{1}.dir, 'datasets'), name);
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

function [X, y, names] = statistics_set (folder, name)
  switch name
    case 'iris'
      iris = load (fullfile (folder, 'fisheriris.mat'));
      X = iris.meas;
      [names, ~, y] = unique (iris.species);
    case 'heart'
      % One patient a line: the class (+1 or -1), then index:value pairs; an
      % index left out holds 0.
      text = strsplit (strtrim (fileread (fullfile (folder, 'heart_scale.dat'))), "\n");
      X = zeros (numel (text), 13);
      label = zeros (numel (text), 1);
      for i = 1:numel (text)
        words = strsplit (strtrim (text{i}));
        label(i) = str2double (words{1});
        pairs = sscanf (strjoin (words(2:end), ' '), '%d:%f', [2, Inf]);
        X(i, pairs(1,:)) = pairs(2,:);
      end
      [values, ~, y] = unique (label);
      names = arrayfun (@(v) sprintf ('%+d', v), values, 'UniformOutput', false);
    case 'arrhythmia'
      data = load (fullfile (folder, 'arrhythmia.mat'));
      X = data.X;
      [values, ~, y] = unique (data.Y);
      names = arrayfun (@num2str, values, 'UniformOutput', false);
    case 'cars'
      cars = load (fullfile (folder, 'carbig.mat'));
      X = [cars.Acceleration, cars.Cylinders, cars.Displacement, cars.Horsepower, cars.MPG, ...
           cars.Model_Year, cars.Weight];
      [names, ~, y] = unique (cellstr (strtrim (cars.Origin)));
  end
end
