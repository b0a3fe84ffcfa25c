function notify (id, varargin)
% A warning without the "called from" stack: it reports on the caller's data,
% not on a fault in the code that raised it.
  saved = warning ('query', 'backtrace');
  warning ('off', 'backtrace');
  restore = onCleanup (@() warning (saved.state, 'backtrace'));
  warning (id, varargin{:});
end
