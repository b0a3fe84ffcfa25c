function [opts, given] = parse_options (p, who, args)
% Parses name-value pairs, raising the parser's complaints with an identifier.
% given lists the options that the caller named, in the parser's spelling.
  if mod (numel (args), 2) ~= 0
    error (['vorla:' who ':options'], ...
           'vorla_%s: options must come in Name, Value pairs; %d arguments given after the data', ...
           who, numel (args));
  end
  args = text_args (args);
  try
    p.parse (args{:});
  catch err
    names = sprintf (' %s', p.Parameters{:});
    error (['vorla:' who ':options'], 'vorla_%s: %s (options:%s)', who, ...
           regexprep (err.message, '^[^:]*: *', ''), names);
  end
  opts = p.Results;
  given = setdiff (fieldnames (opts), p.UsingDefaults);
end
