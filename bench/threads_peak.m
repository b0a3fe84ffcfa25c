function threads_peak (threads, what)
  % The peak resident memory of one training call above what the process held before it
  % (the peak reset through /proc/self/clear_refs just before the call), with the cases of
  % threads_training.m: 1 vorla_train with 'Voters', 4 on 40,000 patterns; 2 vorla_crossval of
  % 10 folds x 4 settings, Voters 5, on 10,000; 3 the default call on noisy_data (2000, 1);
  % 4 the cross-validation of 2 on all 40,000. Run each in a fresh process (Linux only):
  %
  %   for t in 1 0; do octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); threads_peak($t, 2)"; done
  rand ('state', 42);
  [X, y] = circle_data (40000);
  [Xn, yn] = noisy_data (2000, 1);
  n = 10000;
  folds = {'KFold', 10, 'Vigilance', [0 0.3 0.6 0.8], 'Voters', 5, 'OptimizeHyperparameters', 'none', ...
           'Threads', threads};
  % Loads the MEX files and the layer before the peak is reset.
  vorla_train (X(1:100,:), y(1:100), 'Voters', 2, 'OptimizeHyperparameters', 'none');
  status = sprintf ('/proc/%d/status', getpid ());
  kb = @(field) sscanf (regexp (fileread (status), [field ':\s*(\d+)'], 'tokens', 'once'){1}, '%d');
  fid = fopen (sprintf ('/proc/%d/clear_refs', getpid ()), 'w');
  fprintf (fid, '5');
  fclose (fid);
  before = kb ('VmRSS');
  switch what
    case 1
      vorla_train (X, y, 'Voters', 4, 'Vigilance', 0.5, 'OptimizeHyperparameters', 'none', 'Threads', threads);
    case 2
      vorla_crossval (X(1:n,:), y(1:n), folds{:});
    case 3
      vorla_train (Xn, yn, 'Threads', threads);
    case 4
      vorla_crossval (X, y, folds{:});
  end
  printf ('case %d, Threads %d: peak %.1f MB above the %.1f MB before the call\n', what, threads, ...
          (kb ('VmHWM') - before) / 1024, before / 1024);
end
