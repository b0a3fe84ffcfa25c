function msg = raised_message (fn, varargin)
  % The message a call raises, without the "name: " that Octave puts in front of
  % errors raised by a MEX file; "" when the call raises nothing.
  msg = "";
  try
    fn (varargin{:});
  catch err
    msg = regexprep (err.message, '^[a-z_]+: ', '');
  end
end
