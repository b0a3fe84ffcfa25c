function chosen = classify_piece (task)
% The class number that each network of vorla_predict gives each pattern of a
% piece of X (0: not classified), one column per network; with task.classes
% C > 0, then C columns more: the networks' choice scores (vorla_score) summed.
  N = size (task.Xs, 1);
  V = numel (task.templates);
  chosen = zeros (N, V + task.classes);
  for v = 1:V
    chosen(:,v) = vorla_eval (task.templates{v}, task.nlabels{v}, task.args{:}, task.Xs, 0, task.trace);
    if task.classes > 0
      chosen(:,V+1:end) = chosen(:,V+1:end) + vorla_score (task.templates{v}, task.nlabels{v}, task.args{:}, ...
                                                           task.Xs, task.classes);
    end
  end
end
