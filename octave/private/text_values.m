function names = text_values (X)
% A cellstr matrix of the categories of text patterns, '' where one is missing
% (an undefined element of a categorical array).
  if isa (X, 'categorical')
    undefined = isundefined (X);
    names = cellstr (X);
    names(undefined) = {''};
  else
    names = X;
  end
  if ndims (names) ~= 2
    error ('vorla:internal', 'text patterns must be a matrix, one row per pattern');
  end
end
