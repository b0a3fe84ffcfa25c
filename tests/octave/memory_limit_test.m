function memory_limit_test ()
  % Each compiled function run out of memory under a limit on this Octave's address space
  % (set through prlimit on its own process): the call ends with its own out-of-memory
  % message, not Octave's, a try/catch takes it, repeated failures leave no memory behind,
  % and once the limit is lifted the next call works.
  [status, ~] = system ("prlimit --version");
  if (status != 0)
    printf ("memory_limit_test: skipped, no prlimit\n");
    return;
  end
  % Headroom above what this Octave holds: room for Octave's own work during a call, and
  % far less than each call below needs for its largest block.
  headroom = 96 * 2^20;
  n = 2e7;                   % 160 MB for each block of n doubles or pointers
  P1 = zeros (n, 1) + 0.5;   % one feature: the patterns' row pointers come first
  L = ones (n, 1);
  P4 = zeros (n / 4, 4);     % four features: the pointers fit, the values do not
  T = [0.25 0.75];
  cases = {
    "VORLA_FIT",   @() vorla_fit (P1, L, 1, 0, 0.001, 1, 1, 0, 0, 0), 3
    "VORLA_FIT",   @() vorla_fit (P4, L(1:n/4), 4, 0, 0.001, 1, 1, 0, 0, 0), 3
    "VORLA_LEARN", @() vorla_learn (P1, L, 1, 0, 0.001, 1, 1, 0, 0, 0), 3
    "VORLA_EVAL",  @() vorla_eval (T, 1, 1, 0, 0.001, 0, P1, 0, 0), 1
    "VORLA_SCORE", @() vorla_score (T, 1, 1, 0, 0.001, 0, [0.5; 0.6], n), 1
    "VORLA_SCORE", @() vorla_score (T, 1, 1, 0, 0.001, 0, P1, 1), 2
  };
  before = small_calls ();
  r = [];
  for k = 1:rows (cases)
    [name, call, nout] = cases{k, :};
    expected = [name ": Not enough memory available; unable to run!"];
    held = [];
    for attempt = 1:4
      limit_address_space (vm_size () + headroom);
      got = raised (call, nout);
      limit_address_space (Inf);
      held(end+1) = vm_size ();
      if (! strcmp (got, expected))
        break;
      end
    end
    what = sprintf ("case %d (%s)", k, name);
    r(end+1) = check_case ([what " message"], strcmp (got, expected), got);
    % A leaked block of a call would show as growth by its size at every attempt.
    grown = (held(end) - held(1)) / 2^20;
    r(end+1) = check_case ([what " holds nothing after failing"], grown < 64, sprintf ("%.0f MB more", grown));
  end
  % An output that the call made but Octave cannot copy into its own value on return ends
  % with Octave's error, outside the call (as doc/reference.md says); Octave goes on.
  limit_address_space (vm_size () + 250 * 2^20);
  try
    x = vorla_eval (T, 1, 1, 0, 0.001, 0, P1, 0, 0);
    got = "no error";
  catch err
    got = err.identifier;
  end
  limit_address_space (Inf);
  r(end+1) = check_case ("output not taken over on return", strcmp (got, "Octave:bad-alloc"), got);
  r(end+1) = check_case ("calls after the failures", isequal (small_calls (), before), "");
  if (! all (r))
    error ("memory_limit_test: %d failed", sum (! r));
  end
end

function out = small_calls ()
  out = cell (1, 4);
  [out{1:3}] = vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 100, 0, 0, 0);
  out{4} = vorla_score ([0.25 0.75], 1, 1, 0, 0.001, 0, [0.5; 0.9], 2);
end

function msg = raised (call, nout)
  msg = "";
  out = cell (1, nout);
  try
    [out{:}] = call ();
  catch err
    msg = regexprep (err.message, '^[a-z_]+: ', '');
  end
end

function bytes = vm_size ()
  status = fileread ("/proc/self/status");
  kb = str2double (regexp (status, 'VmSize:\s*(\d+)', 'tokens', 'once'){1});
  bytes = kb * 1024;
end

% Sets the soft limit of this process's address space; Inf lifts it (the hard limit stays).
function limit_address_space (bytes)
  if (isinf (bytes))
    value = "unlimited";
  else
    value = sprintf ("%d", round (bytes));
  end
  [status, text] = system (sprintf ("prlimit --pid %d --as=%s:", getpid (), value));
  if (status != 0)
    error ("memory_limit_test: prlimit failed: %s", text);
  end
end
