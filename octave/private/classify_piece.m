function chosen = classify_piece (task)
% The class number that each network of vorla_predict gives each pattern of a
% piece of X (0: not classified), one column per network.
  chosen = zeros (size (task.Xs, 1), numel (task.templates));
  for v = 1:numel (task.templates)
    chosen(:,v) = vorla_eval (task.templates{v}, task.nlabels{v}, task.args{:}, task.Xs, 0, task.trace);
  end
end
