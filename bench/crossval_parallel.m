function results = crossval_parallel (repeats, points)
  % vorla_crossval with 'Parallel', true against the serial run, on a grid large
  % enough to matter: `points` (default 20,000) circle-in-the-square patterns,
  % 10 folds, 4 vigilance levels x voters 1 and 5 (240 networks). The runs
  % alternate, the fastest of `repeats` (default 2) counts, and the results are
  % asserted equal (but Time). On Linux it also prints the CPU time of the serial
  % run: against its wall-clock time it shows how much of a core the run got, which
  % tells whether the machine had two cores to give the workers at all.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); crossval_parallel()"
  if nargin < 1
    repeats = 2;
  end
  if nargin < 2
    points = 20000;
  end
  rand ('state', 42);
  [X, y] = circle_data (points);
  grid = {'Vigilance', [0 0.3 0.6 0.8], 'Voters', [1 5]};
  serial = Inf;
  parallel = Inf;
  for r = 1:repeats
    cpu = cpu_seconds ();
    started = tic ();
    one = vorla_crossval (X, y, grid{:});
    serial_run = toc (started);
    serial_cpu = cpu_seconds () - cpu;
    started = tic ();
    two = vorla_crossval (X, y, grid{:}, 'Parallel', true);
    parallel_run = toc (started);
    printf ('run %d: serial %.2f s (CPU %.2f s: %.0f%% of a core), Parallel %.2f s\n', ...
            r, serial_run, serial_cpu, 100 * serial_cpu / serial_run, parallel_run);
    serial = min (serial, serial_run);
    parallel = min (parallel, parallel_run);
    [two.Time] = one.Time;
    assert (isequal (one, two));
  end
  results = struct ('serial_s', serial, 'parallel_s', parallel, 'speedup', serial / parallel, ...
                    'workers', nproc ());
  printf ('vorla_crossval, %d patterns, %d settings x 10 folds: serial %.2f s, Parallel %.2f s on %d workers: %.2f times faster\n', ...
          points, numel (one), serial, parallel, nproc (), serial / parallel);
end

function seconds = cpu_seconds ()
  % User and system time of this process (Linux, 100 clock ticks a second).
  text = fileread ('/proc/self/stat');
  fields = strsplit (strtrim (text(find (text == ')', 1, 'last') + 2:end)), ' ');
  ticks = str2double (fields(12:13));
  seconds = sum (ticks) / 100;
end
