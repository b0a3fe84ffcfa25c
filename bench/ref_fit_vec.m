function [Templates, NLabels, list_presentations, visits] = ref_fit_vec (Patterns, PLabels, D, vigilance, alpha, learning_rate, max_list_presentations, trim_option, ct_option)
  % The training of vorla_fit written with whole-matrix operations: each pattern is measured
  % against all nodes at once (K x M matrices of corners).  The arithmetic keeps the order of
  % the compiled search, so the results come out the same: box sizes are summed over the
  % coordinates in index order from 0 (sum along dimension 2 adds in that order), high and
  % low pick the same operands, ties go to the earliest node, and match tracking reuses the
  % stored match and choice values.  visits counts the nodes met by the searches.
  %
  %   [Templates, NLabels, list_presentations, visits] = ref_fit_vec (Patterns, PLabels, D,
  %       vigilance, alpha, learning_rate, max_list_presentations, trim_option, ct_option)
  [N, M] = size (Patterns);
  PLabels = PLabels(:);
  tolerance = 1e-7;
  Tu = D / (alpha - D * (-2.0));

  % Node storage grows by doubling; rows 1:K hold the nodes.
  capacity = 16;
  L = zeros (capacity, M);
  U = zeros (capacity, M);
  labels = zeros (capacity, 1);
  cd = zeros (capacity, 1);
  active = false (capacity, 1);
  K = 0;
  visits = 0;

  list_presentations = 0;
  while (true)
    list_presentations += 1;
    new_nodes = 0;
    updates = 0;
    active(:) = false;
    for p = 1:N
      x = Patterns(p, :);
      label = PLabels(p);
      rho = vigilance;
      winner = 0;
      if (K > 0)
        visits += K;
        % max and min pick exactly the operands of x < u ? u : x and x <= l ? x : l for
        % numbers (training patterns are finite).
        S = sum (max (x, U(1:K, :)) - min (x, L(1:K, :)), 2);
        num = D - S;
        mfv = num / D;
        cfv = num ./ cd(1:K);
        eligible = mfv + tolerance >= rho;
        if (ct_option != 0)
          eligible = eligible & (cfv + tolerance >= Tu);
        end
        winner = choose (cfv, eligible);
      end
      mt = false;
      while (true)
        if (winner == 0)
          % A new point box at the pattern.
          if (K == capacity)
            capacity *= 2;
            L(capacity, M) = 0;
            U(capacity, M) = 0;
            labels(capacity) = 0;
            cd(capacity) = 0;
            active(capacity) = false;
          end
          K += 1;
          L(K, :) = x;
          U(K, :) = x;
          labels(K) = fix (label);
          cd(K) = alpha + D;
          active(K) = true;
          new_nodes += 1;
          break;
        end
        if (labels(winner) == label)
          lo = L(winner, :);
          up = U(winner, :);
          below = x < lo;
          above = x > up;
          if (learning_rate == 1.0)
            lo(below) = x(below);
            up(above) = x(above);
          else
            lo(below) = learning_rate * x(below) + (1 - learning_rate) * lo(below);
            up(above) = learning_rate * x(above) + (1 - learning_rate) * up(above);
          end
          % A blend that rounds back to the corner is no change.
          changed = any (lo != L(winner, :)) || any (up != U(winner, :));
          if (changed)
            L(winner, :) = lo;
            U(winner, :) = up;
            cd(winner) = (D - sum (up - lo)) + alpha;
            updates += 1;
          elseif (! mt)
            active(winner) = true;
          end
          break;
        end
        % Match tracking: raise the vigilance to the wrong winner's match and choose again.
        rho = mfv(winner);
        mt = true;
        eligible = eligible & (mfv > rho);
        winner = choose (cfv, eligible);
      end
    end
    if (new_nodes == 0 && updates == 0)
      converged = true;
      break;
    end
    converged = false;
    if (! (list_presentations < max_list_presentations))
      break;
    end
  end
  if (converged)
    list_presentations -= 1;
  end
  keep = true (K, 1);
  if (trim_option == 1 && converged)
    keep = active(1:K);
  end
  Templates = [L(keep, :), U(keep, :)];
  NLabels = labels(keep);
end

function winner = choose (cfv, eligible)
  % The first eligible node that no later one beats strictly; a NaN first choice value is
  % never beaten.  0 when no node is eligible.
  first = find (eligible, 1);
  if (isempty (first))
    winner = 0;
    return;
  end
  if (isnan (cfv(first)))
    winner = first;
    return;
  end
  c = cfv;
  c(! eligible) = NaN;
  [~, winner] = max (c);
end
