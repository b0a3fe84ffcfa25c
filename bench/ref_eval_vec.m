function Predictions = ref_eval_vec (Templates, NLabels, D, vigilance, alpha, ct_option, Patterns, unknown_label, block)
  % The classification of vorla_eval written with whole-matrix operations: the patterns go
  % in blocks, each block measured against all K nodes at once (K x B matrices).  The
  % arithmetic keeps the order of the compiled search, so the labels come out the same:
  % box sizes are summed over the coordinates in index order from 0, high and low pick
  % the same operands, and the winner is the first node with the greatest choice value.
  %
  %   Predictions = ref_eval_vec (Templates, NLabels, D, vigilance, alpha, ct_option,
  %                               Patterns, unknown_label [, block])
  if (nargin < 9)
    block = 0;
  end
  [K, cols] = size (Templates);
  M = floor (cols / 2);
  N = rows (Patterns);
  if (block <= 0)
    block = max (1, floor (2e6 / max (K, 1)));  % about 2e6 elements per temporary
  end
  L = Templates(:, 1:M);
  U = Templates(:, M+1:2*M);
  labels = fix (NLabels(:));
  Tu = D / (alpha + 2 * D);

  % choice_denominator = (D - size(box)) + alpha, the size summed in index order.
  box = zeros (K, 1);
  for i = 1:M
    box = box + (U(:, i) - L(:, i));
  end
  cd = (D - box) + alpha;

  Predictions = repmat (fix (unknown_label), N, 1);
  for first = 1:block:N
    last = min (N, first + block - 1);
    X = Patterns(first:last, :).';   % M x B
    B = columns (X);
    S = zeros (K, B);
    for i = 1:M
      % max and min pick exactly the operands of x < u ? u : x and x <= l ? x : l for
      % numbers; a NaN coordinate is dealt with below.
      S = S + (max (U(:, i), X(i, :)) - min (L(:, i), X(i, :)));
    end
    num = D - S;
    mfv = num / D;
    cfv = num ./ cd;
    pass = mfv >= vigilance;
    if (ct_option == 1)
      pass = pass & (cfv >= Tu);
    end
    % A NaN coordinate makes every size NaN: no node accepts such a pattern.
    pass(:, any (isnan (X), 1)) = false;
    % The search keeps the first candidate whose cfv no later candidate beats strictly:
    % the first greatest value, unless the first candidate's cfv is NaN, which nothing beats.
    c = cfv;
    c(! pass) = NaN;
    [best, winner] = max (c, [], 1);
    [any_pass, first_pass] = max (pass, [], 1);
    stuck = any_pass & isnan (cfv(sub2ind ([K, B], first_pass, 1:B)));
    winner(stuck) = first_pass(stuck);
    chosen = any_pass;
    if (K > 0)
      Predictions(first - 1 + find (chosen)) = labels(winner(chosen));
    end
  end
end
