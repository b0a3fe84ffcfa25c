function values = label_values (names, kind, index, unknown)
% Labels of the given kind for class indices; index 0 takes unknown.
  known = (index > 0);
  n = numel (index);
  switch kind
    case 'char'
      if iscell (names)
        names = char (names);
      end
      width = max (size (names, 2), size (unknown, 2));
      names = [names, repmat(' ', size (names, 1), width - size (names, 2))];
      values = repmat ([unknown, repmat(' ', 1, width - size (unknown, 2))], n, 1);
      values(known,:) = names(index(known),:);
    case 'cellstr'
      values = repmat ({unknown}, n, 1);
      values(known) = names(index(known));
    case 'string'
      % Octave has no strings: there the labels come back as a cellstr.
      values = repmat ({unknown}, n, 1);
      values(known) = names(index(known));
      if ~exist ('OCTAVE_VERSION', 'builtin')
        values = string (values);
      end
    otherwise
      if isempty (names)
        values = repmat (unknown, n, 1);
      else
        values = names(max (index, 1));
        % Logical and integer classes hold no NaN: only a pattern left
        % unclassified may ask for the missing value.
        if any (~known)
          values(~known) = unknown;
        end
      end
  end
end
