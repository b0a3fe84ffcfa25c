function X = check_patterns (who, X, name, complete, gaps)
% X as double: a real numeric or logical matrix without Inf; with complete true (training)
% not empty, and without NaN unless gaps is true (MissingValues other than 'error').
  if ~((isnumeric (X) || islogical (X)) && isreal (X) && ndims (X) == 2)
    error (['vorla:' who ':X'], 'vorla_%s: %s must be a real numeric or logical matrix, one row per pattern; %s given', ...
           who, name, describe (X));
  end
  X = full (double (X));
  if any (isinf (X(:)))
    % Only where NaN is accepted may the message offer it.
    if nargin > 3 && complete
      need = 'training needs a finite value for every feature of every pattern';
    else
      need = 'features must be finite (NaN marks a missing value)';
    end
    error (['vorla:' who ':X'], 'vorla_%s: %s holds %d Inf values; %s', who, name, sum (isinf (X(:))), need);
  end
  if nargin > 3 && complete && isempty (X)
    error (['vorla:' who ':X'], 'vorla_%s: %s is %d x %d; training needs at least one pattern (row) and one feature (column)', ...
           who, name, size (X, 1), size (X, 2));
  end
  if nargin > 3 && complete && ~(nargin > 4 && gaps) && any (isnan (X(:)))
    error (['vorla:' who ':X'], ['vorla_%s: %s holds %d NaN values; training needs every feature of every pattern ' ...
           'under MissingValues ''error'' (''inside'' or ''impute'' take them as missing values)'], ...
           who, name, sum (isnan (X(:))));
  end
end
