function [labels, scores] = vorla_predict (model, X, varargin)
% VORLA_PREDICT  Classify patterns with a model from vorla_train.
%
%   labels = vorla_predict (model, X)
%   [labels, scores] = vorla_predict (model, X, Name, Value, ...)
%
%   X holds one pattern per row with the model's M features, in the units of
%   the training data. They are scaled with the model's range; values outside
%   it are clipped to it (a warning, vorla:predict:clipped, says how many).
%   NaN marks a missing feature: such a pattern is not classified.
%
%   labels (N x 1) come back in the kind the training labels had: numeric of
%   the same class, logical, cellstr or char rows; string labels as strings
%   in MATLAB and as a cellstr in Octave ('' where none). scores is N x C, one
%   column per class of model.ClassNames: the share of the voters that chose
%   each class (for one network 1 for the chosen class, 0 elsewhere). The
%   class with the most votes wins; of tied classes the first in ClassNames.
%   A voter that classifies nothing does not vote; a pattern that no voter
%   classifies gets UnknownLabel and a row of zeros.
%
%   Options (names are case-insensitive):
%     'Vigilance'     0   vigilance of the performance phase, in [0, 1]. The
%                         training vigilance bounds the size of the boxes
%                         while they are learned; here it would refuse every
%                         pattern whose enlarged box match falls below it,
%                         leaving patterns between the boxes unclassified.
%                         With 0 every pattern goes to the box that chooses
%                         it best.
%     'UnknownLabel'  []  the label of a pattern that no node accepts. []
%                         gives the missing value of the labels' kind: NaN
%                         for double and single, '' for cellstr, a blank row
%                         for char. Integer and logical labels have no missing
%                         value: when a pattern is not classified, labels
%                         come back as double with NaN (warning
%                         vorla:predict:missing). A given value must be of
%                         the labels' kind and must not be a class.
%     'Trace'         0   oflag of the vorla_eval calls (0 to 3).
%     'Parallel'      false  classify pieces of X in worker processes, as
%                         vorla_train does; the labels are the same.
%
%   Each network gives the class numbers of
%     vorla_eval (Templates, NLabels, D, Vigilance, Alpha, ChoiceTest,
%                 Xs, 0, Trace)
%   with the D, Alpha and ChoiceTest of training and Xs the scaled X.
%
%   Errors carry identifiers vorla:predict:model, vorla:predict:features,
%   vorla:predict:X, vorla:predict:options, vorla:predict:UnknownLabel and
%   vorla:predict:<Option>.
%
%   Example:
%     model = vorla_train ([1 1; 2 2; 8 9; 9 9], {'small'; 'small'; 'big'; 'big'});
%     vorla_predict (model, [1.5 1; 8.5 8])        % {'small'; 'big'}
%
%   See also: vorla_train, vorla_crossval, vorla_eval.

  opts = parse_options (train_parser ('predict'), 'predict', varargin);
  check_model ('predict', model);
  X = check_patterns ('predict', X, 'X');
  if size (X, 2) ~= model.Features
    error ('vorla:predict:features', 'vorla_predict: model has %d features but X has %d columns', ...
           model.Features, size (X, 2));
  end
  vigilance = check_option ('predict', 'Vigilance', opts.Vigilance, model.Features);
  parallel = check_option ('predict', 'Parallel', opts.Parallel, model.Features);
  trace = opts.Trace;
  if ~((isnumeric (trace) || islogical (trace)) && isscalar (trace) && any (trace == 0:3))
    error ('vorla:predict:Trace', 'vorla_predict: Trace must be one of 0, 1, 2, 3; %s given', describe (trace));
  end
  [unknown, kind] = unknown_label (model, opts.UnknownLabel);

  Xs = X;
  if ~strcmp (model.Scale, 'none')
    outside = bsxfun (@lt, X, model.Range(1,:)) | bsxfun (@gt, X, model.Range(2,:));
    if any (outside(:))
      warning ('vorla:predict:clipped', ...
               'vorla_predict: %d values in %d patterns of X lie outside the training range and were clipped to it', ...
               sum (outside(:)), sum (any (outside, 2)));
    end
    Xs = vorla_scale (X, model.Range);
  end

  N = size (Xs, 1);
  pieces = {1:N};
  if parallel && N > 1
    bounds = round (linspace (0, N, min (N, 8) + 1));
    pieces = arrayfun (@(k) bounds(k)+1:bounds(k+1), 1:numel (bounds) - 1, 'UniformOutput', false);
  end
  [templates, nlabels] = network_list (model);
  args = {model.D, vigilance, model.Alpha, double(model.ChoiceTest)};
  tasks = cellfun (@(rows) struct ('templates', {templates}, 'nlabels', {nlabels}, 'args', {args}, ...
                                   'Xs', Xs(rows,:), 'trace', trace), pieces, 'UniformOutput', false);
  chosen = run_tasks ('classify_piece', tasks, parallel, 'predict');
  chosen = vertcat (chosen{:});

  C = size (model.ClassNames, 1);
  V = numel (templates);
  if V == 1
    index = chosen;
    if nargout > 1
      scores = zeros (N, C);
      scores(sub2ind ([N, max(C, 1)], find (index > 0), index(index > 0))) = 1;
    end
  else
    votes = zeros (N, max (C, 1));
    for v = 1:V
      voted = find (chosen(:,v) > 0);
      votes = votes + full (sparse (voted, chosen(voted,v), 1, N, max (C, 1)));
    end
    [most, index] = max (votes, [], 2);
    index(most == 0) = 0;
    scores = votes(:, 1:C) / V;
  end

  if isempty (opts.UnknownLabel) && ~strcmp (kind, model.LabelKind)
    if any (index == 0)
      warning ('vorla:predict:missing', ...
               ['vorla_predict: %d patterns were not classified and %s labels have no missing value; ' ...
                'labels come back as double with NaN for them (give UnknownLabel to keep %s)'], ...
               sum (index == 0), model.LabelKind, model.LabelKind);
      labels = label_values (double (model.ClassNames), 'double', index, unknown);
      return;
    end
    unknown = model.ClassNames([]);
  end
  labels = label_values (model.ClassNames, model.LabelKind, index, unknown);
end

function [unknown, kind] = unknown_label (model, given)
% The label of unclassified patterns: the kind's missing value, or the one
% given, which must be of the labels' kind and no class.
  names = model.ClassNames;
  kind = model.LabelKind;
  if isempty (given)
    [unknown, kind] = missing_label (kind);
    return;
  end
  unknown = given;
  switch kind
    case {'cellstr', 'char', 'string'}
      if isa (given, 'string') && isscalar (given)
        given = char (given);
      end
      ok = ischar (given) && isrow (given);
      if ok && strcmp (kind, 'char')
        taken = any (strcmp (cellstr (names), deblank (given)));
      elseif ok
        taken = any (strcmp (names, given));
      end
      expected = 'a text';
      unknown = given;
    otherwise
      ok = (isnumeric (given) || islogical (given)) && isreal (given) && isscalar (given) ...
           && isequal (double (cast (given, kind)), double (given));
      if ok
        unknown = cast (given, kind);
        taken = any (names == unknown);
      end
      expected = ['a scalar that ' kind ' holds exactly'];
  end
  if ~ok
    error ('vorla:predict:UnknownLabel', 'vorla_predict: UnknownLabel must be %s, like the %s labels of the model; %s given', ...
           expected, kind, describe (given));
  end
  if taken
    error ('vorla:predict:UnknownLabel', 'vorla_predict: UnknownLabel %s is a class of the model; choose a value that no class uses', ...
           describe (given));
  end
end

%!shared X, y, model
%! X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35];
%! y = [1; 2; 1; 2; 1; 2];
%! model = vorla_train (X, y, "Alpha", 0.01, "ChoiceTest", true, "D", 2.5);

%!test
%! ## the same labels as vorla_eval on the data scaled by the training range
%! Q = [1.5 12; 5.5 38; 3 27; 4.2 22];
%! [T, L] = deal (model.Templates, model.NLabels);
%! expect = vorla_eval (T, L, 2.5, 0, 0.01, 1, vorla_scale (Q, model.Range), 0, 0);
%! assert (expect > 0);
%! [labels, scores] = vorla_predict (model, Q);
%! assert (labels, expect);
%! assert (scores, double ([expect == 1, expect == 2]));
%! expect = vorla_eval (T, L, 2.5, 0.8, 0.01, 1, vorla_scale (Q, model.Range), 0, 0);
%! assert (any (expect == 0));
%! labels = vorla_predict (model, Q, "Vigilance", 0.8);
%! assert (isnan (labels), expect == 0);
%! assert (labels(expect > 0), expect(expect > 0));
%! assert (vorla_predict (model, Q, "Vigilance", 0.8, "UnknownLabel", -1), ...
%!         expect - (expect == 0));
%! direct = evalc ("p = vorla_eval (T, L, 2.5, 0.8, 0.01, 1, vorla_scale (Q, model.Range), 0, 2);");
%! layer = evalc ("p = vorla_predict (model, Q, 'Vigilance', 0.8, 'Trace', 2);");
%! assert (regexprep (layer, "in \\d+ seconds", ""), regexprep (direct, "in \\d+ seconds", ""));

%!test
%! ## each label kind comes back as it went in, with its own missing value
%! kinds = {0.5 * y, single(y), int16(y), y == 2, {"p"; "q"; "p"; "q"; "p"; "q"}, ...
%!          ["p "; "qq"; "p "; "qq"; "p "; "qq"]};
%! missing = {NaN, single(NaN), NaN, NaN, "", "  "};
%! Q = [X; 9 9; NaN 20];
%! warning ("off", "vorla:predict:clipped", "local");
%! warning ("off", "vorla:predict:missing", "local");
%! for i = 1:numel (kinds)
%!   m = vorla_train (X, kinds{i});
%!   labels = vorla_predict (m, X);
%!   assert (labels, kinds{i});
%!   labels = vorla_predict (m, Q);
%!   if isinteger (kinds{i}) || islogical (kinds{i})
%!     assert (labels(1:6), double (kinds{i}));
%!   else
%!     assert (labels(1:6,:), kinds{i});
%!   endif
%!   if iscell (labels)
%!     assert (labels(8), missing(i));
%!   else
%!     assert (labels(8,:), missing{i});
%!   endif
%! endfor
%! ## integer and logical labels keep their kind with an UnknownLabel of it
%! m = vorla_train (X, int16 (y));
%! assert (vorla_predict (m, [NaN 1], "UnknownLabel", 0), int16 (0));
%! warning ("on", "vorla:predict:missing", "local");
%! lastwarn ("");
%! evalc ("labels = vorla_predict (m, [NaN 1]);");
%! assert (labels, NaN);
%! assert (lastwarn (), ["vorla_predict: 1 patterns were not classified and int16 labels have ", ...
%!                       "no missing value; labels come back as double with NaN for them (give UnknownLabel to keep int16)"]);
%! m = vorla_train (X, {"p"; "q"; "p"; "q"; "p"; "q"});
%! assert (vorla_predict (m, [NaN 1; 1 10], "UnknownLabel", "none"), {"none"; "p"});

%!test
%! ## voting: shares of the voters, ties to the first class
%! rand ("state", 4);
%! P = rand (300, 2);
%! c = 1 + (sum ((P - 0.5) .^ 2, 2) > 0.1);
%! m = vorla_train (P, c, "Voters", 5, "Seed", 3);
%! Q = rand (500, 2);
%! warning ("off", "vorla:predict:clipped", "local");
%! [labels, scores] = vorla_predict (m, Q);
%! each = zeros (500, 5);
%! for v = 1:5
%!   single_net = m;
%!   single_net.Voters = 1;
%!   single_net.Templates = m.Templates{v};
%!   single_net.NLabels = m.NLabels{v};
%!   each(:,v) = vorla_predict (single_net, Q);
%! endfor
%! assert (scores, [mean(each == 1, 2), mean(each == 2, 2)]);
%! assert (labels, 1 + (sum (each == 2, 2) > 2));
%! m.Templates(3:5) = [];
%! m.NLabels(3:5) = [];
%! m.Voters = 2;
%! tied = each(:,1) ~= each(:,2);
%! assert (any (tied));
%! assert (vorla_predict (m, Q(tied,:)), ones (sum (tied), 1));

%!test
%! ## values outside the training range are clipped, with a warning
%! lastwarn ("");
%! evalc ("labels = vorla_predict (model, [0 10; 7 50; 3 20]);");
%! [msg, id] = lastwarn ();
%! assert (id, "vorla:predict:clipped");
%! assert (msg, "vorla_predict: 3 values in 2 patterns of X lie outside the training range and were clipped to it");
%! assert (labels, vorla_predict (model, [1 10; 6 40; 3 20]));

%!error <model has 2 features but X has 3 columns> vorla_predict (model, ones (2, 3))
%!error <model must be the struct that vorla_train returns> vorla_predict ({model}, X)
%!error <model lacks the fields Templates> vorla_predict (rmfield (model, "Templates"), X)
%!error <UnknownLabel 2 is a class of the model> vorla_predict (model, X, "UnknownLabel", 2)
%!error <UnknownLabel must be a scalar that double holds exactly> vorla_predict (model, X, "UnknownLabel", "x")
%!error <Vigilance must be a number in \[0, 1\]; -1 given> vorla_predict (model, X, "Vigilance", -1)
%!error <X holds 1 Inf values> vorla_predict (model, [1 Inf])
%!error <Trace must be one of 0, 1, 2, 3> vorla_predict (model, X, "Trace", 4)

%!demo
%! ## the share of five voters that chose class 2, over the square
%! rand ("state", 6);
%! P = 4 * rand (500, 2) - 2;
%! c = 1 + (P(:,2) > sin (2 * P(:,1)));
%! model = vorla_train (P, c, "Voters", 5);
%! ## the grid reaches a little beyond the training points: no clipping warning
%! warning ("off", "vorla:predict:clipped", "local");
%! [gx, gy] = meshgrid (linspace (-2, 2, 150));
%! [~, scores] = vorla_predict (model, [gx(:), gy(:)]);
%! imagesc ([-2 2], [-2 2], reshape (scores(:,2), size (gx)));
%! axis xy equal tight;  colorbar;
%! title ("Share of 5 voters that chose class 2");
