function varargout = vorla_fit (varargin)
  % Stand-in for the MEX file while Octave's own memcheck noise is recorded (run.sh --baseline).
  error ("vorla_fit: VORLA_FIT: stub");
end
