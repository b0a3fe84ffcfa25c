function how = missing_option (who, given)
% The MissingValues option as one of 'inside', 'impute' and 'error'.
  if isa (given, 'string') && isscalar (given)
    given = char (given);
  end
  choices = {'inside', 'impute', 'error'};
  if ~(ischar (given) && isrow (given) && any (strcmpi (given, choices)))
    error (['vorla:' who ':MissingValues'], ...
           'vorla_%s: MissingValues must be ''inside'', ''impute'' or ''error''; %s given', who, describe (given));
  end
  how = lower (given);
end
