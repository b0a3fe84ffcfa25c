function classes = net_classes (templates, nlabels, args, Xs, trace, threads)
% The class number that one network gives each row of Xs (0: none), as
% vorla_eval (templates, nlabels, args{:}, Xs, 0, trace) gives it; a row with
% a missing feature (NaN), which vorla_eval leaves unclassified, gets the
% class of vorla_score's search, where NaN lies inside every box. threads
% (default 1): for more than one (0: every usable core, where other processes
% leave two or more idle), with no trace, every class comes from vorla_score
% asked for the classes alone (class_count 0) on that many threads, which
% costs on one thread what vorla_eval costs, or less (doc/performance.md).
  if nargin < 6
    threads = 1;
  end
  if trace == 0 && (threads > 1 || (threads == 0 && idle_cores () > 1))
    [~, classes] = vorla_score (templates, nlabels, args{:}, Xs, 0, threads);
    return;
  end
  gaps = any (isnan (Xs), 2);
  if ~any (gaps)
    classes = vorla_eval (templates, nlabels, args{:}, Xs, 0, trace);
    return;
  end
  classes = zeros (size (Xs, 1), 1);
  if ~all (gaps)
    classes(~gaps) = vorla_eval (templates, nlabels, args{:}, Xs(~gaps,:), 0, trace);
  end
  [~, classes(gaps)] = vorla_score (templates, nlabels, args{:}, Xs(gaps,:), 0);
end
