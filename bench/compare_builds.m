function results = compare_builds (varargin)
  % Times two or more builds of vorla_fit and vorla_eval against each other on the rows of
  % compare.m (the same data for every build) and prints the fastest time of each row for
  % each build with its ratio to the first build's. The results of every build must be the
  % same bits.
  %
  %   octave-cli --no-gui --norc --eval "addpath('bench'); compare_builds('build', 'other')"
  %   compare_builds (DIR_A, DIR_B, ..., 'Repetitions', 15)
  %
  % Each DIR holds vorla_fit.mex and vorla_eval.mex. The MEX files of each build are loaded
  % side by side in this one process under names of their own, and the builds take turns
  % call by call, so that a busy machine slows all of them alike: on a shared 2-core machine
  % with a load of 5, separate processes run one after another differed by up to 2 times in
  % their fastest of 9 runs. Returns the table rows as a struct array.
  repetitions = 15;
  at = find (strcmpi (varargin, 'Repetitions'));
  if (! isempty (at))
    repetitions = varargin{at + 1};
    varargin(at:at+1) = [];
  end
  dirs = cellfun (@make_absolute_filename, varargin, 'UniformOutput', false);
  B = numel (dirs);
  if (B < 2)
    error ('compare_builds: give two or more folders holding vorla_fit.mex and vorla_eval.mex');
  end

  copies = tempname ();
  mkdir (copies);
  cleanup = onCleanup (@() remove_copies (copies));
  for b = 1:B
    for name = {'vorla_fit', 'vorla_eval'}
      copyfile (fullfile (dirs{b}, [name{1} '.mex']), fullfile (copies, sprintf ('%s_build%d.mex', name{1}, b)));
    end
    printf ('%c: %s\n', 'A' + b - 1, dirs{b});
  end
  addpath (copies);
  fit = arrayfun (@(b) str2func (sprintf ('vorla_fit_build%d', b)), 1:B, 'UniformOutput', false);
  classify = arrayfun (@(b) str2func (sprintf ('vorla_eval_build%d', b)), 1:B, 'UniformOutput', false);
  printf ('fastest of %d calls each, the builds taking turns call by call\n\n', repetitions);
  printf ('%5s %6s %3s %6s %9s', 'phase', 'K', 'M', 'N', 'A s');
  printf (' %9s %7s', [arrayfun(@(b) [char('A' + b - 1) ' s'], 2:B, 'UniformOutput', false);
                       arrayfun(@(b) [char('A' + b - 1) ' / A'], 2:B, 'UniformOutput', false)]{:});
  printf ('\n');

  fit_call = @fit_once;
  rand ('state', 5);
  results = struct ('phase', {}, 'K', {}, 'M', {}, 'N', {}, 'seconds', {});
  for M = [2 8 32]
    for K = [30 100 1000 3000 10000]
      N = min (20000, max (1000, round (4e6 / K)));
      [T, NL, P] = eval_data (K, M, N);
      calls = cellfun (@(f) @() f (T, NL, M, 0.75, 0.001, 1, P, 0, 0), classify, 'UniformOutput', false);
      results(end+1) = race ('eval', K, M, N, calls, repetitions);
    end
  end
  for M = [2 8 32]
    for K = [30 100 1000 3000 10000]
      N = max (2000, 2 * K);
      [P, PL, vigilance] = fit_data (K, M, N);
      calls = cellfun (@(f) @() fit_call (f, P, PL, M, vigilance), fit, 'UniformOutput', false);
      results(end+1) = race ('fit', K, M, N, calls, repetitions);
    end
  end
  printf ('\nall %d rows: the same results in every build\n', numel (results));
end

function outputs = fit_once (f, P, PL, M, vigilance)
  [T, NL, LP] = f (P, PL, M, vigilance, 0.001, 1.0, 1, 0, 1, 0);
  outputs = {T, NL, LP};
end

function row = race (phase, K, M, N, calls, repetitions)
  B = numel (calls);
  best = inf (1, B);
  outputs = cell (1, B);
  for r = 1:repetitions
    for b = 1:B
      tic;
      outputs{b} = calls{b} ();
      best(b) = min (best(b), toc);
    end
  end
  for b = 2:B
    assert (isequal (outputs{b}, outputs{1}), '%s at K = %d, M = %d: build %c differs from build A', ...
            phase, K, M, 'A' + b - 1);
  end
  printf ('%5s %6d %3d %6d %9.4f', phase, K, M, N, best(1));
  printf (' %9.4f %7.3f', [best(2:end); best(2:end) / best(1)]);
  printf ('\n');
  fflush (stdout);
  row = struct ('phase', phase, 'K', K, 'M', M, 'N', N, 'seconds', best);
end

function remove_copies (folder)
  rmpath (folder);
  confirm_recursive_rmdir (false, 'local');
  rmdir (folder, 's');
end
