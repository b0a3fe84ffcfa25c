function [opts, given] = parse_options (p, who, args)
% Parses name-value pairs, raising the parser's complaints with an identifier.
% given lists the options that the caller named, in the parser's spelling.
  if mod (numel (args), 2) ~= 0
    error (['vorla:' who ':options'], ...
           'vorla_%s: options must come in Name, Value pairs; %d arguments given after the data', ...
           who, numel (args));
  end
  args = text_args (args);
  names = sprintf (' %s', p.Parameters{:});
  for i = 1:2:numel (args)
    if ~(ischar (args{i}) && isrow (args{i}))
      error (['vorla:' who ':options'], 'vorla_%s: option names must be text; option %d is named by %s (options:%s)', ...
             who, (i + 1) / 2, describe (args{i}), names);
    end
  end
  try
    p.parse (args{:});
  catch err
    error (['vorla:' who ':options'], 'vorla_%s: %s (options:%s)', who, ...
           regexprep (err.message, '^[^:]*: *', ''), names);
  end
  opts = p.Results;
  given = setdiff (fieldnames (opts), p.UsingDefaults);
end
