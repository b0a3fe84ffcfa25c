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
      value = string (NaN);
    otherwise
      value = NaN;
      kind = 'double';
  end
end
