function chosen = classify_piece (task)
% The class number that each network of vorla_predict gives each pattern of a
% piece of X (0: not classified), one column per network; with task.classes
% C > 0, then C columns more: the networks' choice margins summed, each
% (1 + the class's best choice value - the best of the other classes) / 2.
  N = size (task.Xs, 1);
  V = numel (task.templates);
  C = task.classes;
  chosen = zeros (N, V + C);
  for v = 1:V
    if C > 0 && task.trace == 0
      % One search gives both the classes and the scores.
      [best, chosen(:,v)] = vorla_score (task.templates{v}, task.nlabels{v}, task.args{:}, task.Xs, C, task.threads);
    else
      chosen(:,v) = net_classes (task.templates{v}, task.nlabels{v}, task.args, task.Xs, task.trace, task.threads);
    end
    if C > 0
      if task.trace ~= 0
        best = vorla_score (task.templates{v}, task.nlabels{v}, task.args{:}, task.Xs, C, task.threads);
      end
      chosen(:,V+1:end) = chosen(:,V+1:end) + (1 + best - best_of_others (best)) / 2;
    end
  end
end

function others = best_of_others (best)
% Per pattern and class, the best choice value of the other classes (0 for one class).
  [N, C] = size (best);
  if C == 2
    % The other column, as the general case below gives it.
    others = best(:, [2 1]);
    return;
  end
  [top, at] = max (best, [], 2);
  others = repmat (top, 1, C);
  if C > 1
    runner_up = best;
    runner_up(sub2ind ([N, C], (1:N)', at)) = -Inf;
    others(sub2ind ([N, C], (1:N)', at)) = max (runner_up, [], 2);
  else
    others(:) = 0;
  end
end
