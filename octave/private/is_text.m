function text = is_text (X)
% Patterns given as text: a cellstr matrix, or a categorical array where the host has one.
  text = iscellstr (X) || isa (X, 'categorical');
end
