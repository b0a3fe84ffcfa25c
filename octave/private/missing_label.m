function [value, kind] = missing_label (kind)
% The missing value of a label kind. Integer and logical labels have none:
% their labels then come back as double, with NaN for the missing ones.
  switch kind
    case {'double', 'single'}
      value = NaN (1, 1, kind);
    case 'cellstr'
      value = '';
    case 'char'
      value = '';
    case 'string'
      % Octave has no strings; its cellstr predictions mark a missing label with ''.
      if exist ('OCTAVE_VERSION', 'builtin')
        value = '';
      else
        value = string (NaN);
      end
    otherwise
      value = NaN;
      kind = 'double';
  end
end
