function [X, index, fill] = prepare_missing (X, index, how, fill, categorical)
% The training patterns under MissingValues: 'impute' fills each NaN with its
% feature's training median, or for a categorical feature its most frequent
% category (fill, kept in the model; given when continuing);
% 'inside' leaves NaN to the rule of vorla_learn, but a pattern with every
% feature missing says nothing and is left out, with a warning.
  if strcmp (how, 'impute')
    [X, fill] = fill_missing (X, fill, categorical);
    return;
  end
  fill = [];
  gone = all (isnan (X), 2) & size (X, 2) > 0;
  if any (gone)
    warning ('vorla:train:gone', 'vorla_train: %d patterns have every feature missing and are left out', sum (gone));
    X = X(~gone,:);
    index = index(~gone);
  end
end
