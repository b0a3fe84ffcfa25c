function [labels, scores] = vorla_predict (model, X, varargin)
% VORLA_PREDICT  Classify patterns with a model from vorla_train.
%
%   labels = vorla_predict (model, X)
%   [labels, scores] = vorla_predict (model, X, Name, Value, ...)
%
%   X holds one pattern per row with the model's M features, in the units of
%   the training data. They are scaled with the model's range; values outside
%   it are clipped to it. An ordinary held-out set has a few such values, and
%   they are clipped silently; the warning vorla:predict:clipped comes when
%   a feature lies beyond the range by more than the range's width in more
%   than a tenth of the patterns (in every pattern, for one pattern), as
%   when that feature is in other units than the training data, or varies
%   where it was constant in training (the warning says which). A model
%   trained with Scale 'none' warns instead (vorla:predict:unscaled) of
%   values outside [0, 1] that its D does not hold. warning ('off', ID)
%   silences either.
%   NaN marks a missing feature, taken as the model's MissingValues says
%   (vorla_train): 'inside' classifies the pattern by the features observed,
%   'impute' fills in the training median (for a categorical feature its
%   most frequent category), 'error' refuses it. A pattern with every
%   feature missing gets UnknownLabel, with the warning vorla:predict:gone
%   that counts them.
%   Categorical features (vorla_train's CategoricalPredictors) are coded as
%   in training: X holds their codes, or is text (a cellstr matrix, or
%   MATLAB's categorical) for a model trained on text. A category that
%   training never saw is a missing value, with the warning
%   vorla:predict:category that counts them; so is a missing one (NaN, ''
%   or undefined).
%
%   labels (N x 1) come back in the kind the training labels had: numeric of
%   the same class, logical, cellstr or char rows; string labels as strings
%   in MATLAB and as a cellstr in Octave ('' where none). The class with the most
%   votes wins; of tied classes the first in ClassNames. A voter that
%   classifies nothing does not vote; a pattern that no voter classifies gets
%   UnknownLabel.
%
%   scores is N x C, one column per class of model.ClassNames, as the option
%   Scores chooses:
%     'votes'   the share of the voters that chose each class (for one
%               network 1 for the chosen class, 0 elsewhere); a row of zeros
%               where no voter classifies the pattern.
%     'choice'  a continuous score that ranks patterns, e.g. for a ROC curve:
%               the choice margin. Per network, with b(c) the greatest
%               choice value among the nodes of class c that accept the
%               pattern (vorla_score, with the Vigilance here and the
%               ChoiceTest of training; 0 where none does), the score of c is
%                 (1 + b(c) - max of b over the other classes) / 2
%               (the other classes' max is 0 for a model of one class); with
%               Voters > 1 the mean over the networks. It lies in [0, 1] for
%               features in [0, 1] and the default D, and for one network it
%               is above 1/2 exactly for the class of the label (1/2 for
%               classes that tie, 0 to 1/2 for the others). For voters the
%               labels stay those of the vote. The margin ranks patterns
%               better than b alone, which is high near any box of the class
%               even where a box of another class is nearer.
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
%     'Parallel'      false  classify pieces of X in worker processes where
%                         that pays, as vorla_train does; the labels are the
%                         same (worker processes that could not start: the
%                         warning vorla:predict:workers).
%     'Scores'        'votes'  what scores holds: 'votes' or 'choice'
%                         (see above).
%     'Threads'       0   threads of the vorla_score calls: 0 for every
%                         usable core, 1 for the calling thread alone. The
%                         labels and scores are the same for any number.
%
%   Each network gives the class numbers of
%     vorla_eval (Templates, NLabels, D, Vigilance, Alpha, ChoiceTest,
%                 Xs, 0, Trace)
%   with the D, Alpha and ChoiceTest of training and Xs the scaled X, and
%   with Scores 'choice' the scores of
%     vorla_score (Templates, NLabels, D, Vigilance, Alpha, ChoiceTest,
%                  Xs, C, Threads)
%   which give the same classes: with Threads other than 1 (and Trace 0)
%   the classes come from vorla_score's second output (class_count 0 where
%   no scores are asked for), whose search has threads.
%
%   Errors carry identifiers vorla:predict:arguments, vorla:predict:model, vorla:predict:features,
%   vorla:predict:X, vorla:predict:options, vorla:predict:UnknownLabel and
%   vorla:predict:<Option>.
%
%   Example:
%     model = vorla_train ([1 1; 2 2; 8 9; 9 9], {'small'; 'small'; 'big'; 'big'});
%     vorla_predict (model, [1.5 1; 8.5 8])        % {'small'; 'big'}
%
%   See also: vorla_train, vorla_crossval, vorla_eval.

  if nargin < 2
    error ('vorla:predict:arguments', 'vorla_predict: expected (model, X, Name, Value, ...); %d arguments given', nargin);
  end
  opts = parse_options (train_parser ('predict'), 'predict', varargin);
  model = check_model ('predict', model);
  X = category_positions ('predict', X, model);
  vigilance = check_option ('predict', 'Vigilance', opts.Vigilance, model.Features);
  parallel = check_option ('predict', 'Parallel', opts.Parallel, model.Features);
  threads = check_option ('predict', 'Threads', opts.Threads, model.Features);
  trace = opts.Trace;
  if ~((isnumeric (trace) || islogical (trace)) && isscalar (trace) && ~issparse (trace) && any (trace == 0:3))
    error ('vorla:predict:Trace', 'vorla_predict: Trace must be one of 0, 1, 2, 3; %s given', describe (trace));
  end
  [unknown, kind] = unknown_label (model, opts.UnknownLabel);
  choice_scores = score_kind (opts.Scores) && nargout > 1;

  [how, fill] = model_missing (model);
  gone = false (size (X, 1), 1);
  if strcmp (how, 'error') && any (isnan (X(:)))
    error ('vorla:predict:X', 'vorla_predict: X holds %d missing values, and the model was trained with MissingValues ''error''', ...
           sum (isnan (X(:))));
  elseif strcmp (how, 'impute')
    X = fill_missing (X, fill);
  elseif size (X, 2) > 0
    gone = all (isnan (X), 2);
    if any (gone)
      notify ('vorla:predict:gone', 'vorla_predict: %d patterns have every feature missing and get UnknownLabel', ...
              sum (gone));
    end
  end
  if strcmp (model.Scale, 'none')
    Xs = code_patterns (X, [], model);
    check_unscaled ('predict', Xs, model.D, 'X');
  else
    clip_warning ('predict', X, model.Range, false, categorical_features (model));
    Xs = code_patterns (X, model.Range, model);
  end

  N = size (Xs, 1);
  pieces = {1:N};
  if parallel && N > 1
    bounds = round (linspace (0, N, min (N, 8) + 1));
    pieces = arrayfun (@(k) bounds(k)+1:bounds(k+1), 1:numel (bounds) - 1, 'UniformOutput', false);
  end
  [templates, nlabels] = network_list (model);
  args = {model.D, vigilance, model.Alpha, double(model.ChoiceTest)};
  C = size (model.ClassNames, 1);
  V = numel (templates);
  score_classes = C * choice_scores;
  tasks = cellfun (@(rows) struct ('templates', {templates}, 'nlabels', {nlabels}, 'args', {args}, ...
                                   'Xs', Xs(rows,:), 'trace', trace, 'classes', score_classes, ...
                                   'threads', threads), ...
                   pieces, 'UniformOutput', false);
  chosen = run_tasks ('classify_piece', tasks, parallel, 'predict');
  chosen = vertcat (chosen{:});
  choice = chosen(:, V+1:end) / V;
  chosen = chosen(:, 1:V);
  chosen(gone,:) = 0;
  choice(gone,:) = 0;

  if V == 1
    index = chosen;
    if nargout > 1 && ~choice_scores
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
  if choice_scores
    scores = choice;
  end

  if isempty (opts.UnknownLabel) && ~strcmp (kind, model.LabelKind)
    if any (index == 0)
      notify ('vorla:predict:missing', ...
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

function choice = score_kind (given)
% True for Scores 'choice', false for 'votes'.
  if isa (given, 'string') && isscalar (given)
    given = char (given);
  end
  if ~(ischar (given) && isrow (given) && any (strcmpi (given, {'votes', 'choice'})))
    error ('vorla:predict:Scores', 'vorla_predict: Scores must be ''votes'' or ''choice''; %s given', describe (given));
  end
  choice = strcmpi (given, 'choice');
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
        taken = any (strcmp (deblank (names), deblank (given)));
      elseif ok
        taken = any (strcmp (names, given));
      end
      expected = 'a text';
      unknown = given;
    otherwise
      % NaN is a value of double and single only; logical refuses the cast.
      ok = (isnumeric (given) || islogical (given)) && isreal (given) && isscalar (given) && ~issparse (given);
      if ok
        % Held exactly in the model's class, and compared there.
        [unknown, exact] = exact_cast (given, kind);
        ok = exact || (isnan (given) && any (strcmp (kind, {'double', 'single'})));
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

%!shared X, y, model, one_net, no_search
%! one_net = {"OptimizeHyperparameters", "none", "Voters", 1};
%! no_search = {"OptimizeHyperparameters", "none"};
%! X = [1 10; 2 30; 3 20; 4 40; 5 25; 6 35];
%! y = [1; 2; 1; 2; 1; 2];
%! model = vorla_train (X, y, "Alpha", 0.01, "ChoiceTest", true, "D", 2.5, one_net{:});

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
%! Q = [X; 9 9; NaN NaN];
%! warning ("off", "vorla:predict:clipped", "local");
%! warning ("off", "vorla:predict:missing", "local");
%! warning ("off", "vorla:predict:gone", "local");
%! for i = 1:numel (kinds)
%!   m = vorla_train (X, kinds{i}, one_net{:});
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
%! m = vorla_train (X, int16 (y), one_net{:});
%! assert (vorla_predict (m, [NaN NaN], "UnknownLabel", 0), int16 (0));
%! warning ("on", "vorla:predict:missing", "local");
%! lastwarn ("");
%! evalc ("labels = vorla_predict (m, [NaN NaN]);");
%! assert (labels, NaN);
%! assert (lastwarn (), ["vorla_predict: 1 patterns were not classified and int16 labels have ", ...
%!                       "no missing value; labels come back as double with NaN for them (give UnknownLabel to keep int16)"]);
%! m = vorla_train (X, {"p"; "q"; "p"; "q"; "p"; "q"}, one_net{:});
%! assert (vorla_predict (m, [NaN NaN; 1 10], "UnknownLabel", "none"), {"none"; "p"});

%!test
%! ## voting: shares of the voters, ties to the first class
%! rand ("state", 4);
%! P = rand (300, 2);
%! c = 1 + (sum ((P - 0.5) .^ 2, 2) > 0.1);
%! m = vorla_train (P, c, "Voters", 5, "Seed", 3, no_search{:});
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
%! ## choice scores: the margins of vorla_score's values, the mean over voters
%! Q = [1.5 12; 5.5 38; 3 27; 4.2 22; NaN 20];
%! Qs = vorla_scale (Q, model.Range);
%! [labels, scores] = vorla_predict (model, Q, "Scores", "choice", "Vigilance", 0.3);
%! b = vorla_score (model.Templates, model.NLabels, 2.5, 0.3, 0.01, 1, Qs, 2);
%! assert (scores, (1 + [b(:,1) - b(:,2), b(:,2) - b(:,1)]) / 2, eps);
%! assert (labels, vorla_predict (model, Q, "Vigilance", 0.3));
%! ## a missing feature is scored by the one observed
%! assert ((scores(:,2) > 0.5) + 1, labels);
%! m = vorla_train ([X; 7 7], {"p"; "q"; "p"; "q"; "p"; "q"; "r"}, "Voters", 3, "Seed", 1, no_search{:});
%! [labels, scores] = vorla_predict (m, Q, "scores", "CHOICE");
%! Qs = vorla_scale (Q, m.Range);
%! expect = zeros (5, 3);
%! for v = 1:3
%!   b = vorla_score (m.Templates{v}, m.NLabels{v}, 2, 0, 0.001, 0, Qs, 3);
%!   for c = 1:3
%!     expect(:,c) += (1 + b(:,c) - max (b(:, [1:c-1, c+1:3]), [], 2)) / 6;
%!   endfor
%! endfor
%! assert (scores, expect, 4 * eps);
%! assert (labels, vorla_predict (m, Q));
%! warning ("off", "vorla:train:oneclass", "local");
%! [~, one] = vorla_predict (vorla_train (X, ones (6, 1), "Vigilance", 0.6, one_net{:}), [1 10; 6 40], "Scores", "choice");
%! assert (one > 0.5);
%! if (! isempty (pkg ("list", "parallel")))
%!   warning ("off", "vorla:predict:serial", "local");
%!   [~, again] = vorla_predict (m, Q, "scores", "choice", "Parallel", true);
%!   assert (again, scores);
%! endif

%!test
%! ## threads share the patterns of each network: the same labels and scores for any number
%! rand ("state", 7);
%! P = rand (3000, 4);
%! c = 1 + (sum (P(:,1:2), 2) + 0.2 * sin (9 * P(:,3)) > 1);
%! m = vorla_train (P, c, "Voters", 3, "Seed", 2, no_search{:});
%! Q = rand (90000, 4);
%! Q(3:97:end, 2) = NaN;
%! [labels, votes] = vorla_predict (m, Q, "Threads", 1);
%! [~, choice] = vorla_predict (m, Q, "Threads", 1, "Scores", "choice");
%! for threads = [0 2 3]
%!   [l, v] = vorla_predict (m, Q, "Threads", threads);
%!   [l2, s] = vorla_predict (m, Q, "Threads", threads, "Scores", "choice");
%!   assert (isequal (l, labels) && isequal (v, votes) && isequal (l2, labels) && isequal (s, choice));
%! endfor

%!test
%! ## values outside the training range are clipped; a warning only where a
%! ## feature lies beyond it by more than its width in over a tenth of the patterns
%! inside = [1 10; 6 40; 3 20];
%! cases = {
%!   [0 10; 7 50; 3 20],         ""
%!   [0 10; 7 69; 3 20],         ""
%!   [12 10],                    "1 of the 1 values of feature 1 of X lie beyond the training range [1, 6] by more than its width"
%!   [10 * X; inside],           "6 of the 9 values of feature 2 of X lie beyond the training range [10, 40] by more than its width"
%!   [repmat(inside, 6, 1); 0 71; 7 72],   ""
%!   [12 90; 2 95; 3 99],        "3 of the 3 values of feature 2 of X lie beyond the training range [10, 40] by more than its width: are they in other units than the training data? 4 values in 3 patterns"
%!   [repmat(inside, 6, 1); 0 71; 7 72; 3 90],  "3 of the 21 values of feature 2"
%! };
%! for i = 1:rows (cases)
%!   Q = cases{i,1};
%!   lastwarn ("");
%!   evalc ("labels = vorla_predict (model, Q);");
%!   [msg, id] = lastwarn ();
%!   if isempty (cases{i,2})
%!     assert (msg, "");
%!   else
%!     assert (id, "vorla:predict:clipped");
%!     assert (strfind (msg, ["vorla_predict: " cases{i,2}]), 1);
%!   endif
%!   clipped = min (max (Q, model.Range(1,:)), model.Range(2,:));
%!   assert (labels, vorla_predict (model, clipped));
%! endfor
%! assert (msg, ["vorla_predict: 3 of the 21 values of feature 2 of X lie beyond the training range [10, 40] ", ...
%!               "by more than its width: are they in other units than the training data? 5 values in 3 patterns ", ...
%!               "were clipped to the range"]);

%!test
%! ## a feature constant in training: any other value is beyond its range, and
%! ## the warning says the feature tells the model nothing, not that units differ
%! flat = vorla_train ([X(:,1), 20 * ones(6, 1)], y, one_net{:});
%! cases = {
%!   [1 20; 6 20; 3 20],                     ""
%!   [repmat([1 20; 6 20; 3 20], 4, 1); 2 21],  ""
%!   [1 20; 6 21; 3 25],                     "feature 2 was constant in training (20), and 2 of the 3 values of X differ from it: the model learned nothing from this feature. 2 values in 2 patterns were clipped to the range"
%!   [10 * X(:,1), 20 * ones(6, 1)],         "5 of the 6 values of feature 1 of X lie beyond the training range [1, 6] by more than its width: are they in other units"
%! };
%! for i = 1:rows (cases)
%!   lastwarn ("");
%!   evalc ("vorla_predict (flat, cases{i,1});");
%!   [msg, id] = lastwarn ();
%!   if isempty (cases{i,2})
%!     assert (msg, "");
%!   else
%!     assert (id, "vorla:predict:clipped");
%!     assert (strfind (msg, ["vorla_predict: " cases{i,2}]), 1);
%!   endif
%! endfor
%! ## so is a given Scale range of one value
%! lastwarn ("");
%! evalc ("vorla_train (X, y, 'Scale', [1 20; 6 20], one_net{:});");
%! assert (strfind (lastwarn (), ["vorla_train: the given Scale range of feature 2 is the single value 20, and 5 of the ", ...
%!                                "6 values of X differ from it: the model learns nothing from this feature. "]), 1);

%!test
%! ## a model trained with Scale 'none' warns of patterns outside [0, 1]
%! m = vorla_train (X / 50, y, "Scale", "none", one_net{:});
%! lastwarn ("");
%! evalc ("vorla_predict (m, X);");
%! assert (lastwarn (), ["vorla_predict: with Scale 'none', 11 values in 6 patterns of X lie outside [0, 1] ", ...
%!                       "and the data span 46 against D = 2, so their boxes fail the vigilance test; use 'Scale', ", ...
%!                       "'auto' (the training range), scale the features into [0, 1], or give a D of at least 46"]);

%!error <model has 2 features but X has 3 columns> vorla_predict (model, ones (2, 3))
%!error <model must be the struct that vorla_train returns> vorla_predict ({model}, X)
%!error <model lacks the fields Templates> vorla_predict (rmfield (model, "Templates"), X)
%!error <UnknownLabel 2 is a class of the model> vorla_predict (model, X, "UnknownLabel", 2)
%!error <UnknownLabel must be a scalar that double holds exactly> vorla_predict (model, X, "UnknownLabel", "x")
%!error <Vigilance must be a number in \[0, 1\]; -1 given> vorla_predict (model, X, "Vigilance", -1)
%!error <X holds 1 Inf values> vorla_predict (model, [1 Inf])
%!error <Trace must be one of 0, 1, 2, 3> vorla_predict (model, X, "Trace", 4)
%!error <Scores must be 'votes' or 'choice'> vorla_predict (model, X, "Scores", "rank")
%!error <Threads must be a whole number in \[0, 1024\] \(0: every usable core\); -1 given> vorla_predict (model, X, "Threads", -1)

%!function id = lasterr_of (call)
%! id = "";
%! try
%!   call ();
%! catch err
%!   id = err.identifier;
%! end_try_catch
%!endfunction

%!test
%! ## slow learning can round a point box's corner one step past the other: such models predict
%! v = 0.83757797566257286;
%! m = vorla_train ([0 0; 1 1; v 0.5; v+eps(v) 0.5], [1; 1; 2; 2], "LearningRate", 0.3, "Vigilance", 0.9, one_net{:});
%! assert (any (m.Templates(:,1) > m.Templates(:,3)));
%! assert (vorla_predict (m, [0 0; v 0.5]), [1; 2]);
%! u = 0.1004;
%! m = vorla_train ([0 0; u 0.5; u-eps(u) 0.5; 1 1], [2; 1; 1; 2], "LearningRate", 0.1, "MaxPresentations", 2, ...
%!                  "Scale", "none", "Vigilance", 0.9, "MissingValues", "error", one_net{:});
%! assert (vorla_predict (m, [u 0.5]), 1);
%! ## a reversal beyond what rounding makes is still refused, and fast learning allows none (where no
%! ## missing value may have left a feature open: that closes step by step under slow learning)
%! m.Templates(2,1) = m.Templates(2,3) + 200 * eps (u);
%! assert (lasterr_of (@() vorla_predict (m, [u 0.5])), "vorla:predict:model");
%! m.Templates(2,1) = m.Templates(2,3) + eps (u);
%! m.LearningRate = 1;
%! m.History.LearningRate = 1;
%! assert (lasterr_of (@() vorla_predict (m, [u 0.5])), "vorla:predict:model");

%!test
%! ## UnknownLabel must be held exactly by the model's class, also beyond 2^53
%! m = vorla_train ([0; 1], intmax ("int64") - [1; 2], one_net{:});
%! assert (lasterr_of (@() vorla_predict (m, 0.5, "UnknownLabel", 2^63)), "vorla:predict:UnknownLabel");
%! assert (lasterr_of (@() vorla_predict (m, 0.5, "UnknownLabel", intmax ("int64") - 1)), "vorla:predict:UnknownLabel");
%! assert (vorla_predict (m, [0; 1], "UnknownLabel", intmax ("int64")), intmax ("int64") - [1; 2]);

%!demo
%! ## the share of five voters that chose class 2, over the square
%! rand ("state", 6);
%! P = 4 * rand (500, 2) - 2;
%! c = 1 + (P(:,2) > sin (2 * P(:,1)));
%! model = vorla_train (P, c, "Voters", 5, no_search{:});
%! ## the grid reaches a little beyond the training points: no clipping warning
%! warning ("off", "vorla:predict:clipped", "local");
%! [gx, gy] = meshgrid (linspace (-2, 2, 150));
%! [~, scores] = vorla_predict (model, [gx(:), gy(:)]);
%! imagesc ([-2 2], [-2 2], reshape (scores(:,2), size (gx)));
%! axis xy equal tight;  colorbar;
%! title ("Share of 5 voters that chose class 2");
