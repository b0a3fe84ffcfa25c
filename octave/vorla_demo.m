function results = vorla_demo (outdir)
% VORLA_DEMO  Train and score the box classifier on two classic tasks.
%
%   vorla_demo
%   vorla_demo (outdir)
%   results = vorla_demo (...)
%
%   1. Circle in the square: a circle of area 1/2 centred in the unit square
%      (radius sqrt (1 / (2*pi))); points inside have label 1, points
%      outside label 2, drawn uniformly with a fixed seed. vorla_fit learns
%      training sets of 100, 1,000, 10,000 and 100,000 points with fast
%      learning (learning rate 1), vigilance 0, alpha 0.001, D = 2 and no CT,
%      for one list presentation and, up to 10,000 points, to convergence
%      (at most 1000 presentations). vorla_eval scores each model on a
%      separate test set of 10,000 points. A table shows the test accuracy,
%      the number of nodes, the list presentations and the training time.
%   2. Fisher's iris data (150 flowers, 4 measurements, 3 species), read from
%      the fisheriris.mat that the octave-statistics package ships: 5-fold
%      cross-validation (every fifth flower in the same fold), features
%      scaled by vorla_scale on each training part, trained to convergence.
%   3. Two pictures:
%        circle_boxes.png    the boxes of the model trained on 1,000 points
%                            to convergence, over those points;
%        circle_regions.png  the label that the 100,000-point model gives to
%                            every point of a 400 x 400 grid.
%      vorla_demo (outdir) writes them as PNG files into the folder outdir
%      (made when missing) and nowhere else. vorla_demo with no folder shows
%      them in figure windows when there is a display; without a display
%      it draws nothing, writes nothing and says so.
%
%   results is a struct with the fields circle (one element per table row:
%   points, cap, presentations, nodes, accuracy, seconds), iris (accuracy,
%   nodes: one entry per fold), pictures (the files written, none when no
%   folder was given) and figures (the handles of the figures shown).
%
%   In Octave without a display the pictures need gnuplot
%   (apt-get install gnuplot-nox fonts-freefont-otf); they are written with
%   its cairo PNG device, which needs no Ghostscript.
%
%   Examples:
%     vorla_demo ('pictures')   % the tables, and two PNG files in ./pictures
%     r = vorla_demo ();        % the tables; the pictures on screen, if any
%
%   See also: vorla_fit, vorla_eval, vorla_scale, vorla_plot_boxes.

  if nargin < 1
    outdir = '';
  end
  outdir = text_args ({outdir});
  outdir = outdir{1};
  if ~(ischar (outdir) && (isempty (outdir) || isrow (outdir)))
    error ('vorla:demo:outdir', ...
           'vorla_demo: outdir must be the name of a folder (a character row), not a %s of size %s', ...
           class (outdir), mat2str (size (outdir)));
  elseif exist (outdir, 'file') && ~exist (outdir, 'dir')
    error ('vorla:demo:outdir', 'vorla_demo: outdir "%s" is a file, not a folder', outdir);
  end
  in_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;

  D = 2;  vigilance = 0;  alpha = 0.001;  rate = 1;  ct = 0;
  radius = sqrt (1 / (2 * pi));
  inside = @(P) 1 + ((P(:,1) - 0.5).^2 + (P(:,2) - 0.5).^2 > radius^2);

  % The layer's own generator: the same points in every host, and the
  % caller's random state untouched.
  [test_set, state] = seeded_uniform (42, 10000, 2);
  test_labels = inside (test_set);
  train_all = seeded_uniform (state, 100000, 2);
  train_labels_all = inside (train_all);

  fprintf ('Circle in the square: test set of %d points, %.1f%% of them inside\n\n', ...
           size (test_set, 1), 100 * mean (test_labels == 1));
  fprintf ('%14s  %9s  %13s  %6s  %14s  %9s\n', 'training set', 'cap', 'presentations', ...
           'nodes', 'test accuracy', 'time (s)');
  table_rows = struct ('points', {}, 'cap', {}, 'presentations', {}, 'nodes', {}, ...
                 'accuracy', {}, 'seconds', {});
  models = struct ();
  for points = [100 1000 10000 100000]
    caps = 1;
    if points <= 10000
      caps = [1 1000];
    end
    for cap = caps
      P = train_all(1:points, :);
      c = train_labels_all(1:points);
      started = tic;
      [T, L, n] = vorla_fit (P, c, D, vigilance, alpha, rate, cap, 0, ct, 0);
      seconds = toc (started);
      predicted = vorla_eval (T, L, D, vigilance, alpha, ct, test_set, 0, 0);
      row = struct ('points', points, 'cap', cap, 'presentations', n, 'nodes', numel (L), ...
                    'accuracy', 100 * mean (predicted == test_labels), 'seconds', seconds);
      table_rows(end+1) = row;
      fprintf ('%14s  %9s  %13d  %6d  %13.2f%%  %9.2f\n', group_digits (points), ...
               group_digits (cap), n, row.nodes, row.accuracy, seconds);
      models.(sprintf ('p%d_cap%d', points, cap)) = struct ('T', T, 'L', L, 'P', P, 'c', c);
    end
  end
  results.circle = table_rows;

  results.iris = iris_scores ();

  results.pictures = {};
  results.figures = [];
  writing = ~isempty (outdir);
  if ~writing && ~can_show (in_octave)
    fprintf ('\nNo output folder given and no figure window can be shown: the pictures are not drawn.\n');
    fprintf ('Give a folder to write them into: vorla_demo (''pictures'')\n');
    if nargout == 0
      clear results;
    end
    return;
  end
  if writing && ~exist (outdir, 'dir')
    mkdir (outdir);
  end
  if writing && in_octave
    % Files are drawn with gnuplot, which needs no display; the caller's toolkit and
    % warning state come back at the end.
    warning_state = warning ('off', 'Octave:gnuplot-graphics');
    restore_warnings = onCleanup (@() warning (warning_state));
    if any (strcmp (available_graphics_toolkits (), 'gnuplot'))
      previous_toolkit = graphics_toolkit ();
      restore_toolkit = onCleanup (@() graphics_toolkit (previous_toolkit));
      graphics_toolkit ('gnuplot');
    end
  end
  circle_x = 0.5 + radius * cos (linspace (0, 2 * pi, 361));
  circle_y = 0.5 + radius * sin (linspace (0, 2 * pi, 361));

  m = models.p1000_cap1000;
  presentations = table_rows([table_rows.points] == 1000 & [table_rows.cap] == 1000).presentations;
  [f, ax] = new_picture (writing);
  h = vorla_plot_boxes (ax, m.T, m.L, m.P, m.c);
  hold (ax, 'on');
  h = [h; line(circle_x, circle_y, 'parent', ax, 'color', 'k', 'linestyle', '--', 'linewidth', 1)];
  hold (ax, 'off');
  set (h, {'displayname'}, {'boxes of label 1'; 'boxes of label 2'; 'the circle'});
  finish_picture (ax, h, sprintf ('%d boxes from %s points, %d list presentations', ...
                                  numel (m.L), group_digits (size (m.P, 1)), presentations));
  results = keep_picture (results, f, writing, fullfile (outdir, 'circle_boxes.png'), in_octave);

  m = models.p100000_cap1;
  [gx, gy] = meshgrid (((1:400) - 0.5) / 400);
  grid_labels = vorla_eval (m.T, m.L, D, vigilance, alpha, ct, [gx(:), gy(:)], 0, 0);
  index = grid_labels;
  index(index == 0) = 3;
  shades = [0.62 0.79 0.92; 0.98 0.80 0.64; 0.6 0.6 0.6];
  [f, ax] = new_picture (writing);
  image ([0 1], [0 1], reshape (index, size (gx)), 'parent', ax, 'cdatamapping', 'direct');
  colormap (ax, shades);
  hold (ax, 'on');
  h = [];
  for k = 1:2
    % Markers that stand for the colours in the legend; they draw nothing.
    h = [h; line(NaN, NaN, 'parent', ax, 'linestyle', 'none', 'marker', 's', 'markersize', 10, ...
                 'color', shades(k,:), 'markerfacecolor', shades(k,:))];
  end
  h = [h; line(circle_x, circle_y, 'parent', ax, 'color', 'k', 'linewidth', 1.5)];
  hold (ax, 'off');
  set (ax, 'ydir', 'normal');
  set (h, {'displayname'}, {'label 1'; 'label 2'; 'the circle'});
  finish_picture (ax, h, sprintf ('Labels given by %d boxes from 100,000 points', numel (m.L)));
  results = keep_picture (results, f, writing, fullfile (outdir, 'circle_regions.png'), in_octave);

  if writing
    fprintf ('\nPictures written:\n');
    fprintf ('  %s\n', results.pictures{:});
  else
    fprintf ('\nPictures shown in figures %s.\n', mat2str (double (results.figures(:)')));
  end
  if nargout == 0
    clear results;
  end
end

function scores = iris_scores ()
  scores = struct ('accuracy', [], 'nodes', []);
  file = find_fisheriris ();
  if isempty (file)
    fprintf ('\nFisher''s iris data: fisheriris.mat not found (apt-get install octave-statistics)\n');
    return;
  end
  data = load (file);
  X = data.meas;
  [species, ~, labels] = unique (data.species);
  folds = mod (0:size (X, 1) - 1, 5)' + 1;
  D = size (X, 2);
  for k = 1:5
    training = (folds ~= k);
    [Xs, range] = vorla_scale (X(training,:));
    [T, L, n] = vorla_fit (Xs, labels(training), D, 0, 0.001, 1, 1000, 0, 0, 0);
    predicted = vorla_eval (T, L, D, 0, 0.001, 0, vorla_scale (X(~training,:), range), 0, 0);
    scores.accuracy(k) = 100 * mean (predicted == labels(~training));
    scores.nodes(k) = numel (L);
  end
  fprintf ('\nFisher''s iris data (%d flowers, %d features, %d species), 5-fold cross-validation:\n', ...
           size (X, 1), D, numel (species));
  fprintf ('  fold      %s\n', sprintf ('%8d', 1:5));
  fprintf ('  accuracy  %s   mean %.2f%%\n', sprintf ('%7.2f%%', scores.accuracy), mean (scores.accuracy));
  fprintf ('  nodes     %s   mean %.1f\n', sprintf ('%8d', scores.nodes), mean (scores.nodes));
end

function file = find_fisheriris ()
  file = '';
  if exist ('fisheriris.mat', 'file')
    file = which ('fisheriris.mat');
  elseif exist ('OCTAVE_VERSION', 'builtin')
    % octave-statistics keeps its data sets beside the package, off the load path.
    found = [glob('/usr/share/octave/packages/statistics-*/datasets/fisheriris.mat');
             glob(fullfile (OCTAVE_HOME (), 'share', 'octave', 'packages', 'statistics-*', 'datasets', 'fisheriris.mat'))];
    if ~isempty (found)
      file = found{end};
    end
  end
end

function [f, ax] = new_picture (writing)
  if writing
    f = figure ('visible', 'off', 'position', [100 100 640 720]);
  else
    f = figure ('position', [100 100 640 720]);
  end
  ax = axes ('parent', f);
end

% Figures can be shown: a window system and a toolkit that draws on it.
function yes = can_show (in_octave)
  if in_octave
    yes = have_window_system () && ~isempty (available_graphics_toolkits ()) ...
          && ~strcmp (graphics_toolkit (), 'gnuplot');
  else
    yes = usejava ('awt');
  end
end

function results = keep_picture (results, f, writing, file, in_octave)
  if writing
    results.pictures{end+1} = write_png (f, file, in_octave);
    close (f);
  else
    results.figures(end+1) = f;
  end
end

% The legend sits in a band above the unit square, where it hides no data.
function finish_picture (ax, h, heading)
  axis (ax, [0 1 0 1.14]);
  set (ax, 'dataaspectratio', [1 1 1], 'ytick', 0:0.2:1, 'box', 'on');
  legend (h, 'location', 'north', 'orientation', 'horizontal');
  title (ax, heading, 'fontweight', 'normal', 'fontsize', 12);
  xlabel (ax, 'feature 1');
  ylabel (ax, 'feature 2');
end

function file = write_png (f, file, in_octave)
  if in_octave && strcmp (get (f, '__graphics_toolkit__'), 'gnuplot')
    % Octave warns of a missing Ghostscript at its first print whatever the device;
    % the cairo device does not use it.
    state = warning ('off', 'print:nogs');
    restore = onCleanup (@() warning (state));
    print (f, file, '-dpngcairo', '-S640,720');
  else
    print (f, file, '-dpng', '-r100');
  end
end

function text = group_digits (value)
  text = sprintf ('%d', value);
  for k = numel (text) - 3:-3:1
    text = [text(1:k), ',', text(k+1:end)];
  end
end

%!error <vorla_demo: outdir must be the name of a folder \(a character row\), not a double of size \[1 1\]> vorla_demo (3)
%!error <vorla_demo: outdir ".*vorla_demo.m" is a file, not a folder> vorla_demo (which ('vorla_demo'))

%!test
%! ## Without a folder and without a display nothing is written, and the demo says so.
%! if (! have_window_system ())
%!   here = pwd ();
%!   folder = tempname ();
%!   mkdir (folder);
%!   unwind_protect
%!     cd (folder);
%!     [text, r] = evalc ('vorla_demo ()');
%!     assert (dir (folder)(3:end), struct ("name", {}, "folder", {}, "date", {}, ...
%!             "bytes", {}, "isdir", {}, "datenum", {}, "statinfo", {})(:));
%!   unwind_protect_cleanup
%!     cd (here);
%!     confirm_recursive_rmdir (false, "local");
%!     rmdir (folder, "s");
%!   end_unwind_protect
%!   assert (! isempty (strfind (text, "the pictures are not drawn")));
%!   assert ({r.pictures, r.figures}, {{}, []});
%!   assert ([r.circle.points], [100 100 1000 1000 10000 10000 100000]);
%!   assert (r.circle(4).accuracy > 90);
%! endif

%!test
%! ## With a folder the two pictures land there, and nowhere else.
%! if (any (strcmp (available_graphics_toolkits (), "gnuplot")))
%!   here = pwd ();
%!   folder = tempname ();
%!   mkdir (folder);
%!   unwind_protect
%!     cd (folder);
%!     [text, r] = evalc ('vorla_demo (fullfile (folder, "out"))');
%!     assert (sort ({dir(folder)(3:end).name}), {"out"});
%!     assert (sort ({dir(fullfile (folder, "out"))(3:end).name}), {"circle_boxes.png", "circle_regions.png"});
%!     assert (r.pictures, {fullfile(folder, "out", "circle_boxes.png"), fullfile(folder, "out", "circle_regions.png")});
%!   unwind_protect_cleanup
%!     cd (here);
%!     confirm_recursive_rmdir (false, "local");
%!     rmdir (folder, "s");
%!   end_unwind_protect
%!   assert (isempty (strfind (text, "warning")));
%! endif

%!demo
%! ## The tables; the pictures in figure windows when there is a display.
%! vorla_demo ();
