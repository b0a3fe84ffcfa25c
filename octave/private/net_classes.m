function classes = net_classes (templates, nlabels, args, Xs, trace)
% The class number that one network gives each row of Xs (0: none), as
% vorla_eval (templates, nlabels, args{:}, Xs, 0, trace) gives it; a row with
% a missing feature (NaN), which vorla_eval leaves unclassified, gets the
% class of vorla_score's search, where NaN lies inside every box.
  gaps = any (isnan (Xs), 2);
  if ~any (gaps)
    classes = vorla_eval (templates, nlabels, args{:}, Xs, 0, trace);
    return;
  end
  classes = zeros (size (Xs, 1), 1);
  if ~all (gaps)
    classes(~gaps) = vorla_eval (templates, nlabels, args{:}, Xs(~gaps,:), 0, trace);
  end
  [~, classes(gaps)] = vorla_score (templates, nlabels, args{:}, Xs(gaps,:), max ([0; nlabels(:)]));
end
