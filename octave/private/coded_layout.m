function [first, count] = coded_layout (coding, M)
% Where each feature sits among the columns that the networks see: a numeric
% feature is one column; a categorical feature of L categories is one column
% for L <= 2 (its two categories at 0 and 1) and L columns otherwise, one per
% category. first(j) is feature j's first column, count(j) its columns.
  count = ones (1, M);
  features = categorical_features (coding);
  for i = 1:numel (features)
    count(features(i)) = max (1, numel (coding.Categories{i}) * (numel (coding.Categories{i}) > 2));
  end
  first = cumsum ([1, count(1:end-1)]);
end
