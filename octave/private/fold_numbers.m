function folds = fold_numbers (who, given, N, name)
% The fold of each of N patterns as a column of whole numbers: k > 0 holds
% the pattern out in test k, 0 keeps it in every training part. given is a
% cvpartition (MATLAB's, or the statistics package's in Octave) or a vector
% of N fold numbers.
  id = ['vorla:' who ':' strtok(name, '.')];
  fn = ['vorla_' who];
  if isobject (given) && strcmp (class (given), 'cvpartition')
    K = property (given, 'NumTestSets');
    if property (given, 'NumObservations') ~= N
      error (id, '%s: %s is a partition of %d patterns; X has %d', fn, name, property (given, 'NumObservations'), N);
    end
    folds = zeros (N, 1);
    for k = 1:K
      held = logical (test (given, k));
      if any (folds(held) > 0)
        error (id, '%s: %s holds a pattern out in two tests; each pattern may be held out once', fn, name);
      end
      folds(held) = k;
    end
  elseif (isnumeric (given) || islogical (given)) && isreal (given) && isvector (given) && ~issparse (given) ...
         && numel (given) == N && all (isfinite (given(:))) && all (given(:) >= 0) && all (given(:) == fix (given(:)))
    folds = double (given(:));
  else
    error (id, '%s: %s must be a cvpartition or a vector of %d whole fold numbers >= 0; %s given', fn, name, N, ...
           describe (given));
  end
  K = max ([folds; 0]);
  used = unique (folds(folds > 0));
  if K == 0 || numel (used) ~= K
    error (id, '%s: %s must hold out patterns in tests 1 to K, each test at least one pattern; tests %s given', ...
           fn, name, mat2str (used(:)'));
  end
  if all (folds > 0) && K == 1
    error (id, '%s: %s holds every pattern out in one test, which leaves nothing to train on', fn, name);
  end
end

function value = property (partition, name)
% MATLAB's cvpartition is a classdef object; that of the statistics package
% of Octave 7 an old-style class, read through its get method.
  try
    value = partition.(name);
  catch
    value = get (partition, name);
  end
end
