function first_call (builddir, n, repeats)
  % The first call of a process against the same call repeated: classifies n patterns
  % (default 10^7, M = 2) with the 13 nodes of the circle in the square, once as the first
  % vorla_eval call of a fresh Octave process and then `repeats` times more (default 5), and
  % prints the times, their ratio, the first call's peak memory and a checksum of the
  % predictions. bench/first_call.sh runs it in fresh processes for two builds in turn and
  % compares the checksums.
  %   octave-cli --eval "addpath('bench'); first_call('build')"
  if (nargin < 2)
    n = 1e7;
  end
  if (nargin < 3)
    repeats = 5;
  end
  addpath (builddir);
  rand ("state", 42);
  [X, y] = circle (300);
  [T, NL, ~] = vorla_fit (X, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
  X = circle (n);
  % The peak of the first call above what was resident before it (Linux: the peak of the
  % process is reset just before the call).
  kb = @(what) str2double (regexp (fileread ("/proc/self/status"), [what ":\\s*(\\d+)"], "tokens", "once"){1});
  fid = fopen ("/proc/self/clear_refs", "w");
  if (fid >= 0)
    fprintf (fid, "5");
    fclose (fid);
    resident = kb ("VmRSS");
  end
  tic;
  p = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
  first = toc;
  peak = NaN;
  if (fid >= 0)
    peak = (kb ("VmHWM") - resident) / 1024;
  end
  later = inf;
  for k = 1:repeats
    tic;
    q = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
    later = min (later, toc);
    if (! isequal (p, q))
      error ("first_call: a repeated call gave other predictions");
    end
  end
  printf ("nodes %d  first %.3f s  repeated %.3f s  ratio %.2f  first call's peak %.0f MB  checksum %.17g\n", ...
          rows (T), first, later, first / later, peak, sum (p .* mod ((1:n)', 9973)));
end

function [X, y] = circle (n)
  X = rand (n, 2);
  y = 1 + ((X(:, 1) - 0.5) .^ 2 + (X(:, 2) - 0.5) .^ 2 > 1 / (2 * pi));
end
