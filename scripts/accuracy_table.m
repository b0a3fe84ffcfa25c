% Compares vorla's accuracy and time with common classifiers on the same folds and prints
% the tables as Markdown.
%
%   octave-cli --no-gui --norc scripts/accuracy_table.m [DIR] [--quick] [--unseen] [--threads T]
%
% DIR holds the MEX files and the .m functions (default: build). The data: iris, wine,
% breast cancer and digits (scripts/real_data.m; a set whose package is missing is skipped
% with a message) and bench/noisy_data.m's 2000 patterns (seed 1). --unseen takes instead
% the sets that played no part in choosing vorla's defaults: heart, arrhythmia and cars
% (real_data.m says what they hold; arrhythmia and cars have missing values, which the
% peers fill with each training part's medians). --threads T runs vorla with 'Threads', T
% (default 1, as the peers; 0 for every core).
%
% Each set is dealt once into 10 stratified folds (seed 0), in the files' own order, and
% every method is trained and scored on those folds. The peers (1-NN, 5-NN and an RBF SVC on
% min-max scaled features, the SVC with C and gamma chosen on inner folds, a forest of 200
% trees) run in scripts/accuracy_peers.py under Debian's /usr/bin/python3 with
% python3-sklearn, on one thread; without them only vorla's rows are printed.
%
% A full run takes about 5 minutes of one core (9 on a busy machine), most of it the peers'
% SVC grid on digits and on the synthetic set and vorla's searches; --quick (or "quick") leaves
% the grid out and takes about 3. Times are seconds for all 10 folds, fit plus predict.

args = argv ();
quick = any (strcmp (args, '--quick') | strcmp (args, 'quick'));
unseen = any (strcmp (args, '--unseen'));
threads = 1;
at = find (strcmp (args, '--threads'));
if (! isempty (at))
  threads = str2double (args{at+1});
  args(at:at+1) = [];
end
args = args(! (strcmp (args, '--quick') | strcmp (args, 'quick') | strcmp (args, '--unseen')));
folder = 'build';
if (! isempty (args))
  folder = args{1};
end
here = fileparts (mfilename ('fullpath'));
addpath (make_absolute_filename (folder));
addpath (here);
addpath (fullfile (fileparts (here), 'bench'), '-end');
warning ('off', 'vorla:crossval:conflict');
warning ('off', 'vorla:crossval:cap');

% One word for the shell, whatever the text holds: single quotes around it, and each single
% quote inside closed, escaped and reopened.
function word = shell_word (text)
  word = ['''' strrep(text, '''', '''\''''') ''''];
end

% Area under the ROC curve of score for the patterns where positive is true; a tie between a
% positive and a negative pattern counts half (midranks).
function area = roc_area (score, positive)
  [~, ~, at] = unique (score(:));
  counts = accumarray (at, 1);
  last = cumsum (counts);
  midrank = last - (counts - 1) / 2;
  rank = midrank(at);
  P = sum (positive);
  Q = numel (positive) - P;
  area = (sum (rank(positive)) - P * (P + 1) / 2) / (P * Q);
end

function text = percent (value)
  text = '';
  if (! isnan (value))
    text = sprintf ('%.1f', 100 * value);
  end
end


% The sets, by file name (no spaces) and display name.
sets = {};
chosen = merge (unseen, {'heart', 'arrhythmia', 'cars'}, {'iris', 'wine', 'breast_cancer', 'digits'});
for name = chosen
  [X, y] = real_data (name{1});
  if (isempty (X))
    printf ('(%s skipped: %s is not installed)\n', name{1}, ...
            merge (any (strcmp (name{1}, {'wine', 'breast_cancer', 'digits'})), 'python3-sklearn', 'octave-statistics'));
    continue;
  end
  sets(end+1,:) = {name{1}, strrep(name{1}, '_', ' '), X, y};
end
if (! unseen)
  [X, y] = noisy_data (2000, 1);
  sets(end+1,:) = {'noisy', 'noisy synthetic', X, y};
end
S = rows (sets);
names = sets(:,2)';

% The same folds for every method.
folds = cell (S, 1);
for s = 1:S
  [~, folds{s}] = vorla_crossval (sets{s,3}, sets{s,4}, 'OptimizeHyperparameters', 'none', 'Voters', 1, ...
                                  'MaxPresentations', 1);
end

% 1. The peers.
peers = {'1-NN', '5-NN', 'SVC', 'SVC grid', 'forest'};
peer_rows = {'1-NN', '5-NN', 'SVC (defaults)', 'SVC, C and gamma on inner folds', 'forest, 200 trees'};
peer_accuracy = NaN (numel (peers), S);
peer_seconds = NaN (numel (peers), S);
peer_auc = NaN (numel (peers), S);
python = '/usr/bin/python3';
[status, ~] = system ([shell_word(python) ' -c ''import sklearn'' >/dev/null 2>&1']);
have_peers = status == 0;
if (! have_peers)
  printf ('(the peers are skipped: %s cannot import sklearn; install python3-sklearn)\n', python);
else
  work = tempname ();
  mkdir (work);
  unwind_protect
    for s = 1:S
      base = fullfile (work, sets{s,1});
      dlmwrite ([base '.X.csv'], sets{s,3}, 'delimiter', ',', 'precision', '%.17g');
      dlmwrite ([base '.y.csv'], sets{s,4}(:), 'precision', '%d');
      dlmwrite ([base '.folds.csv'], folds{s}(:), 'precision', '%d');
    end
    command = ['OMP_NUM_THREADS=1 ' shell_word(python) ' ' shell_word(fullfile (here, 'accuracy_peers.py'))];
    if (quick)
      command = [command ' --quick'];
    end
    words = cellfun (@shell_word, [{work}; sets(:,1)], 'UniformOutput', false);
    command = [command sprintf(' %s', words{:}) ' 2>&1'];
    [status, output] = system (command);
    if (status != 0)
      printf ('(the peers failed, status %d; only vorla''s rows follow)\n%s\n', status, output);
      have_peers = false;
    else
      fid = fopen (fullfile (work, 'peers.csv'));
      fgetl (fid);
      line = fgetl (fid);
      while (ischar (line))
        field = strsplit (line, ',');
        s = find (strcmp (sets(:,1), field{1}));
        m = find (strcmp (peers, field{2}));
        peer_accuracy(m,s) = str2double (field{3});
        peer_seconds(m,s) = str2double (field{4});
        peer_auc(m,s) = str2double (field{5});
        line = fgetl (fid);
      end
      fclose (fid);
    end
  unwind_protect_cleanup
    confirm_recursive_rmdir (false, 'local');
    rmdir (work, 's');
  end_unwind_protect
end

% 2. vorla on the same folds.
vorla = {'vorla, defaults (robust range, vigilance searched, 10 voters)', {}; ...
         'vorla, published (whole range, vigilance 0, 1 voter, strict)', ...
         {'Scale', 'auto', 'Vigilance', 0, 'Voters', 1, 'MatchTracking', 'strict'}; ...
         'vorla, no search (vigilance 0, 10 voters)', {'OptimizeHyperparameters', 'none'}; ...
         'vorla, defaults with the whole range', {'Scale', 'auto'}; ...
         'vorla, search ''all''', {'OptimizeHyperparameters', 'all'}; ...
         'vorla, defaults, MaxPresentations 1', {'MaxPresentations', 1}};
V = rows (vorla);
vorla_accuracy = NaN (V, S);
vorla_seconds = NaN (V, S);
vorla_auc = NaN (V, S);
for s = 1:S
  [X, y] = sets{s,3:4};
  for v = 1:V
    started = tic ();
    r = vorla_crossval (X, y, 'CVPartition', folds{s}, 'Threads', threads, vorla{v,2}{:});
    vorla_seconds(v,s) = toc (started);
    vorla_accuracy(v,s) = mean (r.Predictions == y);
    if (max (y) == 2)
      vorla_auc(v,s) = roc_area (r.Scores(:,2), y == 2);
    end
  end
end

% 3. The tables.
baseline = [1 2 3 5];
row_names = [peer_rows(:); vorla(:,1)];
cells = [row_names, arrayfun(@percent, [peer_accuracy; vorla_accuracy], 'UniformOutput', false)];
if (have_peers)
  for s = 1:S
    for m = find (peer_accuracy(:,s) == max (peer_accuracy(:,s)))'
      cells{m,s+1} = ['**' cells{m,s+1} '**'];
    end
  end
end
% Peers that did not run (all of them, or the grid under --quick) have no row.
ran = [any(! isnan (peer_accuracy), 2); true(V, 1)];
cells = cells(ran,:);
print_markdown (['Accuracy (%) out of fold, 10 stratified folds (seed 0), the same folds for every method' ...
              merge(have_peers, '; best peer in bold', '') ':'], 'method', names, cells);

if (have_peers)
  best = max (peer_accuracy(baseline,:), [], 1);
  gap = 100 * (vorla_accuracy - best);
  cells = [vorla(:,1), arrayfun(@(g) sprintf ('%+.1f', g), [gap, median(gap, 2)], 'UniformOutput', false)];
  print_markdown (['Gap to the best of 1-NN, 5-NN, SVC (defaults) and the forest, in points ' ...
                '(negative: vorla behind):'], 'vorla', [names, {'median'}], cells);
end

seconds = [peer_seconds; vorla_seconds];
cells = [row_names, arrayfun(@(t) merge (isnan (t), '', sprintf ('%.2f', t)), seconds, 'UniformOutput', false)];
if (have_peers)
  ratio = [vorla_seconds(1,:) ./ peer_seconds(5,:); vorla_seconds(1,:) ./ peer_seconds(4,:)];
  cells = [cells; {'ratio: vorla defaults / forest'; 'ratio: vorla defaults / SVC grid'}, ...
           arrayfun(@(t) merge (isnan (t), '', sprintf ('%.2f', t)), ratio, 'UniformOutput', false)];
  ran(end+1:end+2) = ! all (isnan (ratio), 2);
end
cells = cells(ran,:);
print_markdown (sprintf ('Seconds for the 10 folds (fit plus predict; vorla on %s, the peers on one thread):', ...
                         merge (threads == 1, 'one thread', merge (threads == 0, 'every core', sprintf ('%d threads', threads)))), ...
                'method', names, cells);

two = find (all (! isnan (vorla_auc), 1));
if (! isempty (two))
  auc = [peer_auc; vorla_auc];
  shown = find (any (! isnan (auc(:,two)), 2));
  cells = [row_names(shown), arrayfun(@(a) sprintf ('%.4f', a), auc(shown,two), 'UniformOutput', false)];
  print_markdown (['AUC of the out-of-fold scores for class 2 (vorla: the choice margins; SVC: its ' ...
                'decision function; forest: its class probability; ties count half):'], ...
               'method', names(two), cells);
end
