function results = threads_training (repeats, points)
  % Training on threads against one thread, in one process: vorla_train with 'Voters', 4,
  % vorla_crossval of 10 folds x 4 vigilance levels (Voters 5 in each fold, so each fold's
  % training is a batch) and vorla_train's default call (the search's networks in batches) on
  % the noisy problem of noisy_data.m, each with 'Threads', 1 and 'Threads', 0 (every usable core). The
  % runs alternate, the fastest of `repeats` (default 3) counts, and the outputs are asserted
  % identical (but crossval's Time). `points` (default 40,000) circle-in-the-square patterns.
  % It prints the CPU time of each run beside its wall-clock time, the load average and the
  % process's autogroup: on a shared Linux machine the scheduler gives each session
  % (autogroup) an equal share of the cores, so threads gain only where the other sessions
  % leave cores idle; the CPU time tells whether the run got them.
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); threads_training()"
  if nargin < 1
    repeats = 3;
  end
  if nargin < 2
    points = 40000;
  end
  rand ('state', 42);
  [X, y] = circle_data (points);
  voters = {'Voters', 4, 'Vigilance', 0.5, 'OptimizeHyperparameters', 'none'};
  folds = {'KFold', 10, 'Vigilance', [0 0.3 0.6 0.8], 'Voters', 5, 'OptimizeHyperparameters', 'none'};
  n = floor (points / 4);
  [Xn, yn] = noisy_data (2000, 1);
  cases = cell (3, 3);
  cases(1,:) = {@() vorla_train(X, y, voters{:}, 'Threads', 1), @() vorla_train(X, y, voters{:}, 'Threads', 0), ...
                sprintf('vorla_train, Voters 4, %d patterns', points)};
  cases(2,:) = {@() untimed(vorla_crossval (X(1:n,:), y(1:n), folds{:}, 'Threads', 1)), ...
                @() untimed(vorla_crossval (X(1:n,:), y(1:n), folds{:}, 'Threads', 0)), ...
                sprintf('vorla_crossval, 10 folds x 4 settings, Voters 5, %d patterns', n)};
  cases(3,:) = {@() vorla_train(Xn, yn, 'Threads', 1), @() vorla_train(Xn, yn, 'Threads', 0), ...
                'vorla_train, the default call (the search), noisy_data (2000, 1)'};
  printf ('%d cores (nproc); %s\n', nproc (), autogroup ());
  results = struct ('row', {}, 'one_s', {}, 'all_s', {}, 'one_cpu_s', {}, 'all_cpu_s', {}, 'speedup', {}, ...
                    'load', {});
  for i = 1:size (cases, 1)
    best = [Inf Inf];
    cpu = [0 0];
    for r = 1:repeats
      for t = 1:2
        c0 = cpu_seconds ();
        started = tic ();
        out{t} = cases{i,t} ();
        seconds = toc (started);
        if seconds < best(t)
          best(t) = seconds;
          cpu(t) = cpu_seconds () - c0;
        end
      end
      assert (isequal (out{1}, out{2}));
    end
    load = strtrim (fileread ('/proc/loadavg'));
    results(end+1) = struct ('row', cases{i,3}, 'one_s', best(1), 'all_s', best(2), 'one_cpu_s', cpu(1), ...
                             'all_cpu_s', cpu(2), 'speedup', best(1) / best(2), 'load', load);
    printf ('%s: Threads 1 %.2f s (CPU %.2f s), Threads 0 %.2f s (CPU %.2f s): %.2f times faster; load %s\n', ...
            cases{i,3}, best(1), cpu(1), best(2), cpu(2), best(1) / best(2), load);
  end
end

function r = untimed (r)
  r = rmfield (r, 'Time');
end

function text = autogroup ()
  text = 'no autogroup';
  if exist ('/proc/self/autogroup', 'file')
    text = ['autogroup ', strtrim(fileread ('/proc/self/autogroup'))];
  end
end

function seconds = cpu_seconds ()
  % User and system time of this process, every thread (Linux, 100 clock ticks a second).
  text = fileread ('/proc/self/stat');
  fields = strsplit (strtrim (text(find (text == ')', 1, 'last') + 2:end)), ' ');
  ticks = str2double (fields(12:13));
  seconds = sum (ticks) / 100;
end
