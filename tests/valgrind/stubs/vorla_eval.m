function varargout = vorla_eval (varargin)
  % Stand-in for the MEX file while Octave's own memcheck noise is recorded (run.sh --baseline).
  error ("vorla_eval: VORLA_EVAL: stub");
end
