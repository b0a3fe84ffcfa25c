function [names, index, kind] = label_classes (who, labels)
% Maps labels of any usual kind to class indices 1..C: names(index) gives the
% labels back. kind is the class of the labels, 'cellstr' or 'char'. Text
% classes are a C x 1 cellstr whatever the kind (char rows without their
% trailing blanks), since every save format keeps a cellstr; a struct field
% holding a char matrix of several rows does not survive save -v7 in Octave 7.
  id = ['vorla:' who ':labels'];
  if iscellstr (labels)
    kind = 'cellstr';
    labels = labels(:);
    if any (cellfun ('isempty', labels))
      error (id, 'vorla_%s: labels hold %d empty texts; every pattern needs a class ('''' marks a missing label)', ...
             who, sum (cellfun ('isempty', labels)));
    end
    rows = cellfun ('size', labels, 1) ~= 1 | cellfun ('ndims', labels) ~= 2;
    if any (rows)
      error (id, 'vorla_%s: cellstr labels must hold one row of text each; label %d is %s', ...
             who, find (rows, 1), describe (labels{find (rows, 1)}));
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
    % A row's padding is no part of its name: rows that differ only in
    % trailing blanks are one class.
    [rows, ~, index] = unique (labels, 'rows');
    [names, ~, merged] = unique (deblank (num2cell (rows, 2)));
    index = merged(index);
  elseif isa (labels, 'string')
    % Kept as a cellstr, so that Octave, which has no strings, can use the model too.
    kind = 'string';
    labels = labels(:);
    if any (ismissing (labels))
      error (id, 'vorla_%s: labels hold %d missing strings; every pattern needs a class', who, sum (ismissing (labels)));
    end
    [names, ~, index] = unique (cellstr (labels));
  elseif (isnumeric (labels) || islogical (labels)) && isreal (labels) && (isvector (labels) || isempty (labels)) ...
         && ndims (labels) == 2
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
  names = names(:);
  index = double (index(:));
end
