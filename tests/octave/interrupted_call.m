function interrupted_call (build, which, signal, delay)
  % INTERRUPTED_CALL  A long vorla_fit, vorla_learn (also a batch) or vorla_eval call that a signal sent to
  % this Octave process stops: for the valgrind run, which then looks for leaks and bad
  % accesses in the unwinding. signal is 'INT' (the default, as Ctrl-C), 'TERM' or 'HUP'.
  % Octave started with --eval leaves with status 1 after either; a call that returns
  % instead makes the script exit with status 3. The trace (oflag 2) shows that the signal
  % came while the call was running. delay: seconds before the signal (10 by default, for
  % a call slowed by valgrind).
  if nargin < 3
    signal = 'INT';
  end
  if nargin < 4
    delay = 10;
  end
  addpath (build);
  rand ('seed', 7);
  % Pairs of equal patterns with different labels never settle: a run without a cap.
  P = rand (200, 3);
  P(2:2:end, :) = P(1:2:end, :);
  L = repmat ([1; 2], 100, 1);
  if strcmp (which, 'fit')
    args = {P, L, 3, 0.3, 0.001, 0.5, Inf, 0, 0, 2};
    fcn = @vorla_fit;
    nout = 3;
  elseif strcmp (which, 'learn')
    args = {P, L, 3, 0.3, 0.001, 0.5, Inf, 0, 0, 2, 0, 1, [0 0 0 0.5 0.5 0.5], 1};
    fcn = @vorla_learn;
    nout = 4;
  elseif strcmp (which, 'batch')
    % Three networks on two threads: their texts come only once all have ended, so the
    % signal comes while nothing has been printed.
    args = {P, L, 3, 0.3, 0.001, 0.5, Inf, 0, 0, 2, 0, 1, {[0 0 0 0.5 0.5 0.5], [], []}, {1, [], []}, ...
            {1:200, 200:-1:1, 1:2:200}, 2};
    fcn = @vorla_learn;
    nout = 4;
  else
    T = rand (3000, 8);
    T = [T, T + 0.05];
    % No space before an argument list inside braces: it would split the cell's elements.
    args = {T, 1 + mod((1:3000)', 3), 8, 0.5, 0.001, 1, rand(100000, 8), -1, 2};
    fcn = @vorla_eval;
    nout = 1;
  end
  % Octave would save its workspace into the current folder on the way out.
  sigterm_dumps_octave_core (false);
  sighup_dumps_octave_core (false);
  system (sprintf ('(sleep %g; kill -%s %d) &', delay, signal, getpid ()));
  out = cell (1, nout);
  [out{:}] = fcn (args{:});
  disp ('the call returned: it was not interrupted');
  exit (3);
end
