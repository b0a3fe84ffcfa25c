function t = mask (t)
  % The printed text with the seconds of the closing summary masked.
  t = regexprep (t, 'in -?\d+ seconds', 'in N seconds');
end
