function show (varargin)
% Prints a progress line at once (Octave buffers its output; MATLAB does not).
  fprintf (varargin{:});
  if exist ('OCTAVE_VERSION', 'builtin')
    fflush (stdout);
  end
end
