function classes = net_classes (templates, nlabels, args, Xs, trace, threads)
% The class number that one network gives each row of Xs (0: none), as
% vorla_eval (templates, nlabels, args{:}, Xs, 0, trace) gives it; a row with
% a missing feature (NaN), which vorla_eval leaves unclassified, gets the
% class of vorla_score's search, where NaN lies inside every box. With no
% trace every class comes from vorla_score asked for the classes alone
% (class_count 0), which costs on one thread what vorla_eval costs, or less
% on models whose classes' searches pay (doc/performance.md), on threads
% (default 1; 0: every usable core, where other processes leave two or more
% idle). Given cells of networks (templates and nlabels) and of their patterns
% (Xs, or one matrix for all), with no trace, the cell of each network's
% classes, from one vorla_score call whose threads share out the networks.
  if nargin < 6
    threads = 1;
  end
  if trace == 0
    if threads == 0 && idle_cores () < 2
      threads = 1;
    end
    [~, classes] = vorla_score (templates, nlabels, args{:}, Xs, 0, threads);
    return;
  end
  gaps = any (isnan (Xs), 2);
  classes = zeros (size (Xs, 1), 1);
  if ~all (gaps)
    classes(~gaps) = vorla_eval (templates, nlabels, args{:}, Xs(~gaps,:), 0, trace);
  end
  if any (gaps)
    [~, classes(gaps)] = vorla_score (templates, nlabels, args{:}, Xs(gaps,:), 0);
  end
end
