function first_call (builddir, n, repeats, cold)
  % The first call of a process against the same call repeated: classifies n patterns
  % (default 10^7, M = 2) with the 13 nodes of the circle in the square, once as the first
  % vorla_eval call of a fresh Octave process and then `repeats` times more (default 5), and
  % prints the real and processor times (the fastest and the median of the repeated calls),
  % the ratios of the first to them, the first call's peak memory and a checksum of the
  % predictions, which every repeated call must match. With cold true, the memory that the
  % first call will be given is made cold first: 1.6 GB are written and freed, and the call
  % waits for the virtual machine's next hand-back of free memory to its host (its page
  % reporting pass, where the kernel counts them; 5 s where it does not).
  % bench/first_call.sh runs it in fresh processes for two builds in turn and compares the
  % checksums.
  %   octave-cli --eval "addpath('bench'); first_call('build')"
  if (nargin < 2)
    n = 1e7;
  end
  if (nargin < 3)
    repeats = 5;
  end
  if (nargin < 4)
    cold = false;
  end
  addpath (builddir);
  rand ("state", 42);
  [X, y] = circle_data (300);
  [T, NL, ~] = vorla_fit (X, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
  X = circle_data (n);
  if (cold)
    make_free_memory_cold ();
  end
  % The peak of the first call above what was resident before it (Linux: the peak of the
  % process is reset just before the call).
  kb = @(what) str2double (regexp (fileread ("/proc/self/status"), [what ":\\s*(\\d+)"], "tokens", "once"){1});
  fid = fopen ("/proc/self/clear_refs", "w");
  if (fid >= 0)
    fprintf (fid, "5");
    fclose (fid);
    resident = kb ("VmRSS");
  end
  c0 = cputime ();
  tic;
  p = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
  first = [toc, cputime() - c0];
  peak = NaN;
  if (fid >= 0)
    peak = (kb ("VmHWM") - resident) / 1024;
  end
  later = zeros (repeats, 2);
  for k = 1:repeats
    c0 = cputime ();
    tic;
    q = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
    later(k, :) = [toc, cputime() - c0];
    if (! isequal (p, q))
      error ("first_call: a repeated call gave other predictions");
    end
  end
  fastest = min (later, [], 1);
  middle = median (later, 1);
  printf (["nodes %d  real: first %.3f s  repeated %.3f s (fastest %.3f)  ratio %.2f (to fastest %.2f)  " ...
           "processor: first %.3f s  repeated %.3f s  ratio %.2f  first call's peak %.0f MB  checksum %.17g\n"], ...
          rows (T), first(1), middle(1), fastest(1), first(1) / middle(1), first(1) / fastest(1), ...
          first(2), middle(2), first(2) / middle(2), peak, sum (p .* mod ((1:n)', 9973)));
end


function make_free_memory_cold ()
  A = ones (2e8, 1);
  clear A
  counter = "/sys/module/page_reporting/parameters/passes";
  if (exist (counter, "file"))
    passes = str2double (fileread (counter));
    waited = 0;
    while (str2double (fileread (counter)) == passes && waited < 30)
      pause (0.1);
      waited += 0.1;
    end
    pause (0.5);
  else
    pause (5);
  end
end
