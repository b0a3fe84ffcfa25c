function v = pick (list)
  % One element of list (a vector or a cell array), drawn at random.
  if (iscell (list))
    v = list{randi (numel (list))};
  else
    v = list(randi (numel (list)));
  end
end
