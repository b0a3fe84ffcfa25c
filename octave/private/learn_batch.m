function nets = learn_batch (jobs, threads)
% The networks of several jobs, trained in as few vorla_learn calls as their
% settings allow, on threads. Job j holds Xs and index (its training
% patterns), part (jobs of one part share those patterns, which are then
% stacked once), orders (a cell of row vectors, one network each), vigilance
% (one value per order) and args, the rest of vorla_learn's inputs as
% {D, Alpha, LearningRate, cap, Trim, ChoiceTest, tolerant}. Jobs whose args
% are equal share a call: their parts stacked, each network's order pointing
% into its own part, the networks of the highest vigilance, which take
% longest, first. Parts are stacked only while the stack stays within
% stack_limit () bytes; a larger part goes alone, uncopied, so that a batch
% costs no memory to speak of beyond its parts. nets{j}{v} is the network of
% orders{v}, bit for bit the one that vorla_learn trains on Xs(orders{v},:)
% alone.
  nets = cell (size (jobs));
  keys = cellfun (@(job) sprintf ('%.17g ', job.args{:}), jobs, 'UniformOutput', false);
  [~, ~, group] = unique (keys);
  for g = 1:max (group)
    for members = stack_chunks (jobs, find (group == g))
      nets(members{1}) = one_call (jobs(members{1}), threads);
    end
  end
end

function chunks = stack_chunks (jobs, members)
% The members in groups whose stacked parts stay within stack_limit () bytes
% (at least one part a group).
  limit = stack_limit ();
  parts = cellfun (@(job) job.part, jobs);
  chunks = {};
  here = [];
  bytes = 0;
  kinds = unique (parts(members));
  for p = kinds(:)'
    mine = members(parts(members) == p);
    size_p = 8 * numel (jobs{mine(1)}.Xs);
    if ~isempty (here) && bytes + size_p > limit
      chunks{end+1} = here;
      here = [];
      bytes = 0;
    end
    here = [here, mine(:)'];
    bytes = bytes + size_p;
  end
  chunks{end+1} = here;
end

function nets = one_call (jobs, threads)
  parts = cellfun (@(job) job.part, jobs);
  [kinds, one] = unique (parts);
  Xs = cellfun (@(job) job.Xs, jobs(one), 'UniformOutput', false);
  index = cellfun (@(job) job.index, jobs(one), 'UniformOutput', false);
  rows_of = cellfun ('size', Xs(:)', 1);
  offset = zeros (size (parts));
  for p = 1:numel (kinds)
    offset(parts == kinds(p)) = sum (rows_of(1:p-1));
  end
  counts = cellfun (@(job) numel (job.orders), jobs);
  orders = cell (1, sum (counts));
  vigilance = zeros (1, sum (counts));
  at = 0;
  % As int32 (which vorla_learn reads where it lies), half the bytes of doubles;
  % jobs of one part that learn it in the same order (the settings of a fold)
  % share one array.
  seen = cell (numel (kinds), max (counts));
  shared = cell (size (seen));
  for j = 1:numel (jobs)
    p = find (kinds == parts(j));
    for v = 1:counts(j)
      if isempty (shared{p,v}) || ~isequal (seen{p,v}, jobs{j}.orders{v})
        seen{p,v} = jobs{j}.orders{v};
        shared{p,v} = int32 (offset(j) + jobs{j}.orders{v});
      end
      orders{at+v} = shared{p,v};
    end
    vigilance(at+1:at+counts(j)) = jobs{j}.vigilance;
    at = at + counts(j);
  end
  [~, longest] = sort (-vigilance);
  a = jobs{1}.args;
  if numel (Xs) == 1
    stack = Xs{1};
    labels = index{1};
  else
    stack = vertcat (Xs{:});
    labels = vertcat (index{:});
  end
  [T, L, n] = vorla_learn (stack, labels, a{1}, vigilance(longest), a{2:6}, 0, ...
                           double (a{7}), 0, zeros (0, 0), zeros (0, 1), orders(longest), threads);
  T(longest) = T;
  L(longest) = L;
  n(longest) = n;
  nets = cell (size (jobs));
  at = 0;
  for j = 1:numel (jobs)
    nets{j} = arrayfun (@(v) struct ('Templates', T{v}, 'NLabels', L{v}, 'Presentations', n(v)), ...
                        at+1:at+counts(j), 'UniformOutput', false);
    at = at + counts(j);
  end
end
