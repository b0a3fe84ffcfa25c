function [X, coding] = learn_coding (who, X, option, gaps)
% The training patterns with each categorical feature as the position of its
% category in the sorted list of those seen (NaN where missing), and the
% coding that vorla_train keeps in the model: CategoricalPredictors (the
% features' indices) and Categories (their lists: doubles, or a cellstr for
% text). Text X (a cellstr matrix, or MATLAB's categorical) is categorical in
% every feature. gaps true accepts missing values (MissingValues other than
% 'error').
  text = is_text (X);
  if text
    names = text_values (X);
    X = zeros (size (names));
  else
    X = check_patterns (who, X, 'X', true, gaps);
  end
  M = size (X, 2);
  if isempty (option) && text
    option = 'all';
  end
  mask = check_option (who, 'CategoricalPredictors', option, M);
  if text && ~all (mask)
    error (['vorla:' who ':CategoricalPredictors'], ['vorla_%s: X holds text, so every feature is categorical; ' ...
           'CategoricalPredictors leaves out %d of %d'], who, sum (~mask), M);
  end
  features = find (mask);
  categories = cell (1, numel (features));
  for i = 1:numel (features)
    j = features(i);
    if text
      missing = cellfun ('isempty', names(:,j));
      [categories{i}, ~, position] = unique (names(~missing,j));
    else
      missing = isnan (X(:,j));
      [categories{i}, ~, position] = unique (X(~missing,j));
    end
    X(:,j) = NaN;
    X(~missing,j) = position;
  end
  if text && ~gaps && any (isnan (X(:)))
    error (['vorla:' who ':X'], ['vorla_%s: X holds %d missing categories; training needs every feature of every pattern ' ...
           'under MissingValues ''error'''], who, sum (isnan (X(:))));
  end
  coding = struct ('CategoricalPredictors', features, 'Categories', {categories});
  if isempty (features)
    coding = struct ('CategoricalPredictors', [], 'Categories', {{}});
  end
end
