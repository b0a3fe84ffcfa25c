function one_class (who, names)
% Warns when the labels name a single class: training is then sound, but
% every pattern the model classifies gets that class.
  if numel (names) == 1
    if iscell (names)
      name = ['''' names{1} ''''];
    else
      name = describe (names);
    end
    warning (['vorla:' who ':oneclass'], ...
             'vorla_%s: every pattern carries the one class %s; the model gives it to every pattern it classifies', ...
             who, name);
  end
end
