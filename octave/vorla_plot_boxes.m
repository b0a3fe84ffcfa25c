function [hbox, hpoint] = vorla_plot_boxes (varargin)
% VORLA_PLOT_BOXES  Draw the boxes of a two-feature model over its data.
%
%   vorla_plot_boxes (Templates, NLabels)
%   vorla_plot_boxes (Templates, NLabels, Patterns, PLabels)
%   vorla_plot_boxes (model)
%   vorla_plot_boxes (model, X, labels)
%   vorla_plot_boxes (model, ..., 'Network', v)
%   vorla_plot_boxes (ax, ...)
%   [hbox, hpoint] = vorla_plot_boxes (...)
%
%   Draws each node of a model trained by vorla_fit on two features as the
%   outline of its box, one colour per label. Templates is K x 4, each row
%   [lower_x lower_y upper_x upper_y]; NLabels holds the K node labels. A
%   box of zero size in both features (a node that took a single point)
%   shows as a small square marker.
%
%   With Patterns (N x 2) and PLabels (N labels) the data are drawn first,
%   as dots in a lighter shade of their label's colour, so that the boxes
%   stay on top. Without PLabels the dots are grey. A label has the same
%   colour in the boxes and in the dots.
%
%   A two-feature model from vorla_train is drawn in the units of its data:
%   its boxes are scaled back by the model's range, X is given as it was to
%   vorla_train, labels in their own kind, and the legend names the classes.
%   Of a model with several voters one network is drawn: the one that
%   'Network', v names, otherwise the first with a warning
%   (vorla:plot_boxes:network).
%
%   The drawing goes into the axes ax when it is given, otherwise into the
%   current axes as plot does (a new figure when there is none; the axes
%   are cleared unless hold is on).
%
%   hbox holds one line object per label of the boxes, in increasing label
%   order, each with the DisplayName "label <value>", so that legend (hbox)
%   names them; hpoint holds the line objects of the dots.
%
%   Errors carry identifiers vorla:plot_boxes:arguments, :Templates,
%   :NLabels, :Patterns, :PLabels, :model, :features, :labels and :Network.
%
%   Example:
%     P = rand (300, 2);  c = 1 + (P(:,2) > 0.5 + 0.2 * sin (6 * P(:,1)));
%     [T, L, n] = vorla_fit (P, c, 2, 0, 0.001, 1, 100, 0, 0, 0);
%     h = vorla_plot_boxes (T, L, P, c);
%     legend (h);  axis equal tight
%
%   See also: vorla_fit, vorla_eval, vorla_demo.

  args = text_args (varargin);
  ax = [];
  if ~isempty (args) && (isnumeric (args{1}) || isobject (args{1})) && isscalar (args{1}) && ishghandle (args{1}) ...
     && strcmp (get (args{1}, 'type'), 'axes')
    ax = args{1};
    args(1) = [];
  end
  label_text = @(value) sprintf ('label %g', value);
  if ~isempty (args) && isstruct (args{1})
    [args, label_text] = model_arguments (args);
  end
  if numel (args) < 2 || numel (args) > 4
    error ('vorla:plot_boxes:arguments', ['vorla_plot_boxes: expected (Templates, NLabels), ' ...
           '(Templates, NLabels, Patterns, PLabels) or (model, X, labels); %d arguments given'], numel (varargin));
  end

  T = args{1};
  labels = args{2};
  if ~(is_real_matrix (T) && size (T, 2) == 4)
    error ('vorla:plot_boxes:Templates', ...
           'vorla_plot_boxes: Templates must be a K x 4 matrix, the boxes of a model of two features; %s given', ...
           describe (T));
  end
  if ~(is_real_matrix (labels) && numel (labels) == size (T, 1))
    error ('vorla:plot_boxes:NLabels', 'vorla_plot_boxes: NLabels must hold one label for each of the %d rows of Templates; %s given', ...
           size (T, 1), describe (labels));
  end
  T = full (double (T));
  labels = full (double (labels(:)));
  P = zeros (0, 2);
  plabels = zeros (0, 1);
  if numel (args) >= 3
    P = args{3};
    if ~(is_real_matrix (P) && size (P, 2) == 2)
      error ('vorla:plot_boxes:Patterns', 'vorla_plot_boxes: Patterns must be an N x 2 matrix; %s given', describe (P));
    end
    P = full (double (P));
    plabels = NaN (size (P, 1), 1);
  end
  if numel (args) == 4
    plabels = args{4};
    if ~(is_real_matrix (plabels) && numel (plabels) == size (P, 1))
      error ('vorla:plot_boxes:PLabels', 'vorla_plot_boxes: PLabels must hold one label for each of the %d rows of Patterns; %s given', ...
             size (P, 1), describe (plabels));
    end
    plabels = full (double (plabels(:)));
  end

  % Octave's axes fail to find limits and ticks for coordinates near
  % realmax (out of memory); up to 1e307 they draw.
  far = @(A) sum (abs (A(:)) > 1e307);
  if far (T) > 0
    error ('vorla:plot_boxes:Templates', ['vorla_plot_boxes: the boxes hold %d coordinates beyond +-1e307, ' ...
           'which the axes cannot draw'], far (T));
  end
  if far (P) > 0
    error ('vorla:plot_boxes:Patterns', ['vorla_plot_boxes: Patterns hold %d coordinates beyond +-1e307, ' ...
           'which the axes cannot draw'], far (P));
  end

  if isempty (ax)
    ax = newplot ();
  else
    ax = newplot (ax);
  end
  was_held = ishold (ax);
  hold (ax, 'on');

  palette = [0.00 0.45 0.74; 0.85 0.33 0.10; 0.47 0.67 0.19; 0.49 0.18 0.56;
             0.93 0.69 0.13; 0.30 0.75 0.93; 0.64 0.08 0.18; 0.25 0.25 0.25];
  known = unique ([labels; plabels(~isnan (plabels))]);
  colour_of = @(value) palette(mod (find (known == value, 1) - 1, rows_of (palette)) + 1, :);

  % Handles are gathered by concatenation, which suits both numeric handles
  % and graphics objects.
  hpoint = [];
  if any (isnan (plabels))
    unlabelled = isnan (plabels);
    hpoint = [hpoint; line(P(unlabelled,1), P(unlabelled,2), 'parent', ax, 'linestyle', 'none', ...
                          'marker', '.', 'markersize', 6, 'color', [0.6 0.6 0.6])];
  end
  point_labels = unique (plabels(~isnan (plabels)));
  for i = 1:numel (point_labels)
    mine = (plabels == point_labels(i));
    shade = 0.45 * colour_of (point_labels(i)) + 0.55;
    hpoint = [hpoint; line(P(mine,1), P(mine,2), 'parent', ax, 'linestyle', 'none', ...
                           'marker', '.', 'markersize', 6, 'color', shade)];
  end

  box_labels = unique (labels);
  hbox = [];
  for i = 1:numel (box_labels)
    B = T(labels == box_labels(i), :);
    x = [B(:,1), B(:,3), B(:,3), B(:,1), B(:,1), NaN(size (B, 1), 1)]';
    y = [B(:,2), B(:,2), B(:,4), B(:,4), B(:,2), NaN(size (B, 1), 1)]';
    colour = colour_of (box_labels(i));
    hbox = [hbox; line(x(:), y(:), 'parent', ax, 'color', colour, 'linewidth', 1.5, ...
                       'displayname', label_text (box_labels(i)))];
    % Slow learning can leave a point box's corners a rounding step apart
    % the wrong way round: still a point.
    point = (B(:,1) >= B(:,3)) & (B(:,2) >= B(:,4));
    if any (point)
      line (B(point,1), B(point,2), 'parent', ax, 'linestyle', 'none', 'marker', 's', ...
            'markersize', 4, 'color', colour, 'handlevisibility', 'off');
    end
  end

  if ~was_held
    hold (ax, 'off');
  end
  if nargout == 0
    clear hbox;
  end
end

% The boxes of a model in the units of its data, its classes as numbers 1..C
% and their names for the legend.
function [args, label_text] = model_arguments (args)
  model = check_model ('plot_boxes', args{1});
  if model.Features ~= 2
    error ('vorla:plot_boxes:features', 'vorla_plot_boxes: the model must have 2 features; it has %d', model.Features);
  end
  features = categorical_features (model);
  if ~isempty (features)
    % A set of categories has no place on an axis: vorla_rules lists it.
    error ('vorla:plot_boxes:features', ['vorla_plot_boxes: the model''s features must be numeric; feature %d is ' ...
           'categorical (vorla_rules lists its boxes)'], features(1));
  end
  network = 1;
  chosen = numel (args) >= 3 && ischar (args{end-1}) && strcmpi (args{end-1}, 'Network');
  if chosen
    network = args{end};
    if ~(isnumeric (network) && isreal (network) && isscalar (network) && ~issparse (network) ...
         && any (network == 1:model.Voters))
      error ('vorla:plot_boxes:Network', 'vorla_plot_boxes: Network must be one of the model''s networks, 1 to %d; %s given', ...
             model.Voters, describe (network));
    end
    network = double (network);
    args(end-1:end) = [];
  end
  if ~any (numel (args) == [1 3])
    error ('vorla:plot_boxes:arguments', ...
           'vorla_plot_boxes: expected (model), (model, X, labels), each optionally followed by ''Network'', v');
  end
  if model.Voters > 1 && ~chosen
    warning ('vorla:plot_boxes:network', ...
             'vorla_plot_boxes: the model has %d voting networks; drawing network 1 (give ''Network'', v for another)', ...
             model.Voters);
  end
  [templates, nlabels] = network_list (model);
  T = templates{network};
  if ~strcmp (model.Scale, 'none')
    lo = model.Range(1,:);
    hi = model.Range(2,:);
    width = hi - lo;
    if all (isfinite (width))
      T = [lo + T(:,1:2) .* width, lo + T(:,3:4) .* width];
    else
      % A range wider than the largest double: the blend stays finite.
      T = [lo .* (1 - T(:,1:2)) + hi .* T(:,1:2), lo .* (1 - T(:,3:4)) + hi .* T(:,3:4)];
    end
  end
  names = model.ClassNames;
  if iscell (names)
    % The legend typesets TeX: class_0 must not become a subscript.
    names = regexprep (deblank (names), '([\\_^{}])', '\\$1');
  else
    names = arrayfun (@(v) describe (v), names, 'UniformOutput', false);
  end
  label_text = @(i) ['label ' names{i}];
  if numel (args) == 3
    args = {T, nlabels{network}, args{2}, class_numbers(model, args{3})};
  else
    args = {T, nlabels{network}};
  end
end

% Class numbers of labels of the model's kind; NaN for labels of no class.
function index = class_numbers (model, labels)
  names = model.ClassNames;
  if iscell (names) && (iscellstr (labels) || (ischar (labels) && ndims (labels) == 2))
    [~, index] = ismember (deblank (cellstr (labels)), deblank (names));
  elseif ~iscell (names) && (isnumeric (labels) || islogical (labels)) && isreal (labels)
    % Matched in the model's class: through double, int64 and uint64 labels
    % beyond 2^53 would take a neighbour's colour.
    [same, exact] = exact_cast (labels(:), class (names));
    [~, index] = ismember (same, names);
    index(~exact) = 0;
  else
    error ('vorla:plot_boxes:labels', 'vorla_plot_boxes: labels must be %s labels like those of the model; %s given', ...
           model.LabelKind, describe (labels));
  end
  index = double (index(:));
  index(index == 0) = NaN;
end

function ok = is_real_matrix (value)
  ok = (isnumeric (value) || islogical (value)) && isreal (value) && ndims (value) == 2;
end

function n = rows_of (A)
  n = size (A, 1);
end

%!shared f, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
%! warning ("off", "Octave:gnuplot-graphics");
%! f = figure ("visible", "off");

%!test
%! clf (f);
%! ax = axes ("parent", f);
%! T = [0 0 1 1; 2 2 3 4; 5 5 5 5];
%! [hb, hp] = vorla_plot_boxes (ax, T, [2; 7; 2], [0.5 0.5; 2.5 3; 9 9], [2; 7; 4]);
%! assert (numel (hb), 2);
%! assert (get (hb, "displayname"), {"label 2"; "label 7"});
%! x = get (hb(1), "xdata");
%! y = get (hb(1), "ydata");
%! assert ([x(1:5); y(1:5)], [0 1 1 0 0; 0 0 1 1 0]);
%! assert (isnan ([x(6), y(6)]));
%! assert ([get(hb(2), "xdata")(1:5); get(hb(2), "ydata")(1:5)], [2 3 3 2 2; 2 2 4 4 2]);
%! assert (numel (hp), 3);
%! ## one colour per label, shared by boxes and dots
%! assert (! isequal (get (hb(1), "color"), get (hb(2), "color")));
%! dots = get (hp, "color");
%! assert (dots{1}, 0.45 * get (hb(1), "color") + 0.55, 1e-12);
%! assert (dots{3}, 0.45 * get (hb(2), "color") + 0.55, 1e-12);
%! ## the point box [5 5] is drawn as a marker
%! markers = findall (ax, "marker", "s");
%! assert ([get(markers, "xdata"), get(markers, "ydata")], [5 5]);

%!test
%! ## without labels the dots are grey; hold is left as it was
%! clf (f);
%! ax = axes ("parent", f);
%! hold (ax, "on");
%! line ([0 1], [0 1], "parent", ax);
%! [hb, hp] = vorla_plot_boxes (ax, [0 0 1 1], 1, rand (5, 2));
%! assert (get (hp, "color"), [0.6 0.6 0.6]);
%! assert (ishold (ax));
%! assert (numel (get (ax, "children")), 3);

%!test
%! ## a model is drawn in the units of its data, its classes named in the legend
%! clf (f);
%! ax = axes ("parent", f);
%! X = [10 100; 20 300; 30 200; 40 400];
%! c = {"low"; "high"; "low"; "high"};
%! model = vorla_train (X, c, one_net{:});
%! [hb, hp] = vorla_plot_boxes (ax, model, X, c);
%! assert (get (hb, "displayname"), {"label high"; "label low"});
%! lo = [10 100];
%! width = [30 300];
%! T = model.Templates;
%! for i = 1:2
%!   B = [lo + T(model.NLabels == i, 1:2) .* width, lo + T(model.NLabels == i, 3:4) .* width];
%!   x = get (hb(i), "xdata");
%!   y = get (hb(i), "ydata");
%!   assert (x(1:6:end)', B(:,1), 1e-12);
%!   assert (y(3:6:end)', B(:,4), 1e-12);
%! endfor
%! assert (sort ([get(hp(1), "xdata"), get(hp(2), "xdata")]), [10 20 30 40]);

%!test
%! ## TeX characters of class names are escaped; a voting model draws the network asked for
%! clf (f);
%! ax = axes ("parent", f);
%! X = [10 100; 20 300; 30 200; 40 400];
%! model = vorla_train (X, {"class_0"; "x^2"; "class_0"; "x^2"}, "Voters", 3, "Seed", 1, no_search{:});
%! hb = vorla_plot_boxes (ax, model, "Network", 3);
%! assert (get (hb, "displayname"), {'label class\_0'; 'label x\^2'});
%! lastwarn ("");
%! evalc ("vorla_plot_boxes (ax, model);");
%! assert (lastwarn (), "vorla_plot_boxes: the model has 3 voting networks; drawing network 1 (give 'Network', v for another)");

%!error <Network must be one of the model's networks, 1 to 10; 11 given> vorla_plot_boxes (vorla_train ([1 2; 3 4], [1; 2]), "Network", 11)
%!error <labels must be double labels like those of the model> vorla_plot_boxes (vorla_train ([1 2; 3 4], [1; 2]), [1 2; 3 4], {"a"; "b"})
%!error <the model must have 2 features; it has 3> vorla_plot_boxes (vorla_train (eye (3), [1; 2; 3]))
%!error <model lacks the fields> vorla_plot_boxes (struct ("Templates", 1))
%!error <Templates must be a K x 4 matrix> vorla_plot_boxes (zeros (2, 6), [1; 2])
%!error <feature 2 is categorical> vorla_plot_boxes (vorla_train ([0 1; 1 2], [1; 2], "CategoricalPredictors", 2))
%!error <NLabels must hold one label for each of the 2 rows> vorla_plot_boxes (zeros (2, 4), 1)
%!error <Patterns must be an N x 2 matrix> vorla_plot_boxes (zeros (2, 4), [1; 2], zeros (3, 3))
%!error <PLabels must hold one label for each of the 3 rows> vorla_plot_boxes (zeros (2, 4), [1; 2], zeros (3, 2), 1)

%!test
%! ## 64-bit labels beyond 2^53 keep their own colours and names
%! clf (f);
%! ax = axes ("parent", f);
%! names = intmax ("uint64") - [0; 1];
%! model = vorla_train ([0 0; 1 1], names, one_net{:});
%! [hb, hp] = vorla_plot_boxes (ax, model, [0 0; 1 1], names);
%! assert (get (hb, "displayname"), {"label 18446744073709551614"; "label 18446744073709551615"});
%! assert (numel (hp), 2);
%! assert (get (hp(1), "xdata"), 1);
%! ## boxes at +-realmax: a vorla error, not the axes running out of memory
%! clf (f);
%! ax = axes ("parent", f);
%! model = vorla_train ([-realmax 0; realmax 1; 0 0], [1; 2; 1], "Scale", "none", "D", realmax, one_net{:});
%! try
%!   vorla_plot_boxes (ax, model);
%!   error ("no error");
%! catch err
%!   assert ({err.identifier, err.message}, {"vorla:plot_boxes:Templates", ...
%!           "vorla_plot_boxes: the boxes hold 3 coordinates beyond +-1e307, which the axes cannot draw"});
%! end_try_catch
%! try
%!   vorla_plot_boxes (ax, [0 0 1 1], 1, [1e308 0], 1);
%!   error ("no error");
%! catch err
%!   assert (err.identifier, "vorla:plot_boxes:Patterns");
%! end_try_catch

%!test
%! close (f);
