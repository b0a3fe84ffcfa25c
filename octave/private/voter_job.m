function job = voter_job (Xs, index, opts, seed, drawn)
% The voters of a vorla_train call as a job of learn_batch: network 1 learns
% the patterns in the given order, network v > 1 in the (v-1)th order drawn
% from seed. drawn, where given, holds those orders already (the folds of a
% cross-validation that agree in seed, size and voters share them).
  N = size (Xs, 1);
  V = opts.Voters;
  if nargin < 5
    drawn = seeded_permutations (seed, repmat (N, 1, V - 1));
  end
  job = struct ('Xs', Xs, 'index', index, 'part', 1, ...
                'orders', {[{1:N}, drawn]}, ...
                'vigilance', repmat (opts.Vigilance, 1, V), ...
                'args', {{opts.D, opts.Alpha, opts.LearningRate, presentation_cap(opts), double(opts.Trim), ...
                          double(opts.ChoiceTest), strcmp(opts.MatchTracking, 'tolerant')}});
end
