function [names, index, kind] = label_classes (who, labels)
% Maps labels of any usual kind to class indices 1..C: names(index) gives the
% labels back. kind is the class of the labels, 'cellstr' or 'char'.
  id = ['vorla:' who ':labels'];
  if iscellstr (labels)
    kind = 'cellstr';
    labels = labels(:);
    if any (cellfun ('isempty', labels))
      error (id, 'vorla_%s: labels hold %d empty texts; every pattern needs a class ('''' marks a missing label)', ...
             who, sum (cellfun ('isempty', labels)));
    end
    [names, ~, index] = unique (labels);
  elseif ischar (labels)
    kind = 'char';
    if ndims (labels) ~= 2
      error (id, 'vorla_%s: char labels must be a matrix, one label per row; %s given', who, describe (labels));
    end
    blank = all (labels == ' ' | labels == 0, 2);
    if any (blank)
      error (id, 'vorla_%s: labels hold %d blank rows; every pattern needs a class', who, sum (blank));
    end
    [names, ~, index] = unique (labels, 'rows');
  elseif isa (labels, 'string')
    % Kept as a cellstr, so that Octave, which has no strings, can use the model too.
    kind = 'string';
    labels = labels(:);
    if any (ismissing (labels))
      error (id, 'vorla_%s: labels hold %d missing strings; every pattern needs a class', who, sum (ismissing (labels)));
    end
    [names, ~, index] = unique (cellstr (labels));
  elseif (isnumeric (labels) || islogical (labels)) && isreal (labels) && (isvector (labels) || isempty (labels))
    kind = class (labels);
    labels = full (labels(:));
    if any (isnan (labels))
      error (id, 'vorla_%s: labels hold %d NaN values; every pattern needs a class', who, sum (isnan (labels)));
    end
    [names, ~, index] = unique (labels);
  else
    error (id, 'vorla_%s: labels must be a numeric or logical vector, a cellstr or char rows; %s given', ...
           who, describe (labels));
  end
  if ~ischar (names)
    names = names(:);
  end
  index = double (index(:));
end
