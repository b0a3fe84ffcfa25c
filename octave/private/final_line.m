function final_line (name, n, cap, nodes, seconds)
% The line of Display 'final' for one network of vorla_train, counted as
% 'iter' counts: a converged run's last presentation only confirmed it, and
% is named, not counted.
  plural = 's';
  if n == 1
    plural = '';
  end
  if n < cap
    how = sprintf ('converged after %d list presentation%s (presentation %d changed nothing)', n, plural, n + 1);
  else
    how = sprintf ('stopped at its cap of %d list presentation%s', n, plural);
  end
  show ('vorla_train: %s%s, %d nodes, %.2f s\n', name, how, nodes, seconds);
end
