function first_call (builddir, n, repeats)
  % The first call of a process against the same call repeated: classifies n patterns
  % (default 10^7, M = 2) with the 13 nodes of the circle in the square, once as the first
  % vorla_eval call of a fresh Octave process and then `repeats` times more (default 5), and
  % prints the times, their ratio and a checksum of the predictions. bench/first_call.sh runs
  % it in fresh processes for two builds in turn and compares the checksums.
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
  tic;
  p = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
  first = toc;
  later = inf;
  for k = 1:repeats
    tic;
    q = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
    later = min (later, toc);
    if (! isequal (p, q))
      error ("first_call: a repeated call gave other predictions");
    end
  end
  printf ("nodes %d  first %.3f s  repeated %.3f s  ratio %.2f  checksum %.17g\n", rows (T), first, later, ...
          first / later, sum (p .* mod ((1:n)', 9973)));
end

function [X, y] = circle (n)
  X = rand (n, 2);
  y = 1 + ((X(:, 1) - 0.5) .^ 2 + (X(:, 2) - 0.5) .^ 2 > 1 / (2 * pi));
end
