function [Templates, NLabels, list_presentations, text, errmsg, add_flops] = ref_vorla_fit (args, nout, tolerant, missing)
  % Reference model of vorla_fit, written in plain Octave for comparison runs.
  %   args : cell array of the inputs (any count), nout : requested outputs.
  %   tolerant : true for the tolerant match tracking of vorla_learn (its
  %   calls with match_tracking 1, display 0 and no given nodes); default false.
  %   missing : true for vorla_learn's missing features: Patterns may hold NaN,
  %   which lies inside every box, grows none and leaves a new node open
  %   there (lower 1, upper 0); default false.
  % On success errmsg is '' and text holds everything the MEX prints, with
  % the run time given as 0 seconds.  On a refused call the results are
  % empty and errmsg holds the message that the MEX raises.  add_flops lists
  % the value handed to mexAddFlops for every pattern presented, in order.

  if (nargin < 3)
    tolerant = false;
  end
  if (nargin < 4)
    missing = false;
  end
  Templates = [];
  NLabels = [];
  list_presentations = [];
  text = '';
  add_flops = zeros (0, 1);

  [errmsg, P, PL, D, vig, alpha, lr, maxlp, trim, ct, oflag] = check_args (args, nout, missing);
  if (! isempty (errmsg))
    return;
  end

  [N, M] = size (P);
  out = {};                       % printed pieces, joined at the end

  % Start of a run
  flop_total = 3;                 % the three operations of Tu
  comp_total = 0;
  Tu = D / (alpha - D * (-2.0));
  lo = zeros (0, M);              % node boxes, one row per node
  up = zeros (0, M);
  lab = zeros (0, 1);             % integer labels held as doubles
  active = false (0, 1);
  cden = zeros (0, 1);            % choice denominators
  mfv = zeros (0, 1);
  cfv = zeros (0, 1);
  LP = 0;
  tol = 1e-7;
  add_flops = zeros (0, 1);

  while (true)
    new_count = 0;
    upd_count = 0;
    act_count = 0;
    LP += 1;
    active(:) = false;
    if (oflag >= 3)
      out{end+1} = sprintf ('\nList presentation #%d:\n', LP);
    end

    for p = 1:N
      x = P(p, :);
      l = PL(p);
      rho = vig;
      pf = 0;
      pc = 0;
      gone = sum (isnan (x));
      if (oflag >= 4 && gone > 0)
        out{end+1} = sprintf ('   Pattern #%d is being presented (label %d, %d of %d features missing)\n', ...
                              p, ref_trunc (l), gone, M);
      elseif (oflag >= 4)
        out{end+1} = sprintf ('   Pattern #%d is being presented (label %d)\n', p, ref_trunc (l));
      end

      K = numel (lab);
      winner = 0;
      elig = false (K, 1);
      if (K > 0)
        mnum = match_numerator (lo, up, x, D);
        mfv = mnum ./ D;
        pf += K * (2*M + 2);
        pc += K * 2*M;
        vt = (mfv + tol >= rho);
        pc += sum (! vt);
        cfv(vt) = mnum(vt) ./ cden(vt);
        pf += sum (vt);
        if (ct != 0)
          pc += sum (vt);
          ctp = vt & (cfv + tol >= Tu);
        else
          ctp = vt;
        end
        elig = ctp;
        cand = find (elig);
        winner = pick (cand, cfv);
        pc += max (numel (cand) - 1, 0);
        if (oflag == 4)
          for j = 1:K
            if (! vt(j))
              out{end+1} = sprintf ('      Node #%d fails VT (MFV=%s < rho=%s)\n', j, ref_cf (mfv(j)), ref_cf (rho));
            elseif (! ctp(j))
              out{end+1} = sprintf ('      Node #%d fails CT (CFV=%s < Tu=%s)\n', j, ref_cf (cfv(j)), ref_cf (Tu));
            else
              out{end+1} = sprintf ('      Node #%d is candidate (CFV=%s)\n', j, ref_cf (cfv(j)));
            end
          end
        end
      end

      % Resolution: learn, match-track, or create
      mt = false;
      while (true)
        if (winner == 0)
          lo = [lo; x];
          up = [up; x];
          lab(end+1, 1) = ref_trunc (l);
          active(end+1, 1) = true;
          cden(end+1, 1) = alpha + D;
          if (gone > 0)
            lo(end, isnan (x)) = 1;
            up(end, isnan (x)) = 0;
            cden(end) = choice_denominator (lo(end,:), up(end,:), D, alpha);
          end
          mfv(end+1, 1) = 0;
          cfv(end+1, 1) = 0;
          new_count += 1;
          if (oflag >= 3)
            out{end+1} = sprintf ('   Pattern #%d created  node #%d (label %d)%s', ...
                                  p, numel (lab), lab(end), mt_end (mt));
          end
          break;
        end
        w = winner;
        if (lab(w) == l)
          [lo(w,:), up(w,:), changed, f] = learn (lo(w,:), up(w,:), x, lr);
          if (changed)
            cden(w) = choice_denominator (lo(w,:), up(w,:), D, alpha);
            f += 2*M + 2;
            upd_count += 1;
          end
          pf += f;
          pc += 4*M;
          if (! mt && ! changed && ! active(w))
            active(w) = true;
            act_count += 1;
          end
          if (oflag >= 3)
            if (changed)
              verb = 'updated  node';
            else
              verb = 'selected node';
            end
            out{end+1} = sprintf ('   Pattern #%d %s #%d (label %d)%s', p, verb, w, lab(w), mt_end (mt));
          end
          break;
        end
        rho = mfv(w);
        mt = true;
        if (oflag == 4 && tolerant)
          out{end+1} = sprintf ('      Node #%d (label %d) misclassifies pattern #%d - Engage MT- (set rho=%s)\n', ...
                                w, lab(w), p, ref_cf (rho));
        elseif (oflag == 4)
          out{end+1} = sprintf ('      Node #%d (label %d) misclassifies pattern #%d - Engage MT (set rho=%s)\n', ...
                                w, lab(w), p, ref_cf (rho));
        end
        if (tolerant)
          % the winner alone leaves, uncompared; a match equal to rho stays
          elig(w) = false;
          tested = find (elig);
          pc += numel (tested);
          stay = tested(mfv(tested) >= rho);
        else
          tested = find (elig);
          pc += numel (tested);
          stay = tested(mfv(tested) > rho);
        end
        elig(:) = false;
        elig(stay) = true;
        winner = pick (stay, cfv);
        pc += max (numel (stay) - 1, 0);
      end

      add_flops(end+1, 1) = wrap_int32 (pc + pf);
      flop_total = flop_total + pf;
      comp_total = comp_total + pc;
    end

    if (oflag == 2)
      out{end+1} = sprintf ('List presentation #%d: %d new nodes created, %d node updates\n', LP, new_count, upd_count);
    end
    if (oflag >= 3)
      out{end+1} = sprintf ('   Summary: %d new nodes created, %d node updates\n', new_count, upd_count);
    end
    if (new_count == 0 && upd_count == 0)
      converged = true;
      break;
    end
    converged = false;
    if (LP >= maxlp)
      break;
    end
  end

  % Completion
  if (converged)
    LP -= 1;
  end
  K = numel (lab);
  inactive = K - act_count;
  if (trim == 1 && converged)
    keep = active;
  else
    keep = true (K, 1);
  end
  tcount = sum (keep);

  if (oflag > 0)
    out{end+1} = sprintf ('\nFAM training ');
    if (converged)
      out{end+1} = 'converged ';
    else
      out{end+1} = 'stopped ';
    end
    if (LP == 1)
      out{end+1} = sprintf ('after %d list presentation\n', LP);
    else
      out{end+1} = sprintf ('after %d list presentations\n', LP);
    end
    if (converged)
      if (trim == 1)
        word = 'trimmed';
      else
        word = 'detected';
      end
      if (inactive == 1)
        out{end+1} = sprintf ('%d inactive node %s ', inactive, word);
      else
        out{end+1} = sprintf ('%d inactive nodes %s ', inactive, word);
      end
      if (K == 0)
        red = 0;                  % 0/0 with no node is shown as 0
      else
        red = inactive * 100 / K;
      end
      out{end+1} = sprintf ('(%s%% redundacy)\n', ref_cf (red));
    elseif (trim == 1)
      out{end+1} = sprintf ('Trimming option ignored due to lack of convergence.\n');
    end
    if (N == 0)
      comp = 0;                   % 0/0 with no pattern is shown as 0
    else
      comp = (N - 2 * tcount) * 100.0 / N;
    end
    if (tcount == 1)
      out{end+1} = sprintf ('%d node created (%s%% ', 1, ref_cf (abs (comp)));
    else
      out{end+1} = sprintf ('%d nodes created (%s%% ', tcount, ref_cf (abs (comp)));
    end
    if (comp > 0)
      out{end+1} = sprintf ('compression)\n');
    elseif (comp < 0)
      out{end+1} = sprintf ('inflation)\n');
    else
      out{end+1} = sprintf (')\n');
    end
    out{end+1} = sprintf ('%lu FLOPs and %lu comparisons in %d seconds\n\n', flop_total, comp_total, 0);
  end

  Templates = [lo(keep, :), up(keep, :)];
  NLabels = reshape (lab(keep), [], 1);
  list_presentations = LP;
  text = [out{:}];
  if (isempty (text))
    text = '';
  end
end

function s = mt_end (mt)
  if (mt)
    s = sprintf (' during MT\n');
  else
    s = sprintf ('\n');
  end
end

function v = wrap_int32 (v)
  % 32-bit two's complement wrap of a non-negative count
  v = mod (v, 2^32);
  if (v >= 2^31)
    v -= 2^32;
  end
end

function mnum = match_numerator (lo, up, x, D)
  % D minus the size of the smallest box holding each node box and x,
  % summed over coordinates in index order from 0.0 (one node per row).
  K = rows (lo);
  sz = zeros (K, 1);
  for i = 1:columns (lo)
    xi = x(i);
    hi = repmat (xi, K, 1);
    m = xi < up(:, i) | isnan (xi);     % a missing feature lies inside
    hi(m) = up(m, i);
    low = lo(:, i);
    low(xi <= lo(:, i)) = xi;
    sz = sz + (hi - low);
  end
  mnum = D - sz;
end

function w = pick (cand, cfv)
  % First candidate wins unless a later one has a strictly greater choice
  % value; a NaN never beats anything, and a leading NaN is never beaten.
  w = 0;
  if (isempty (cand))
    return;
  end
  c = cfv(cand);
  if (isnan (c(1)))
    w = cand(1);
  else
    [~, k] = max (c);             % first maximum, NaN ignored
    w = cand(k);
  end
end

function cd = choice_denominator (lo, up, D, alpha)
  sz = 0.0;
  for i = 1:numel (lo)
    sz = sz + (up(i) - lo(i));
  end
  cd = (D - sz) + alpha;
end

function [lo, up, changed, f] = learn (lo, up, x, lr)
  f = 0;
  changed = false;
  for i = 1:numel (x)
    xi = x(i);
    if (isnan (xi))
      continue;                   % a missing feature moves no corner
    end
    if (xi <= lo(i))
      t = xi;
    else
      t = lo(i);
    end
    if (t != lo(i))
      if (lr == 1.0)
        changed = true;
        lo(i) = t;
      else
        old = lo(i);
        lo(i) = lr * t + (1 - lr) * old;
        f += 4;
        % a blend that rounds back to the corner changes nothing
        changed = changed || (lo(i) != old);
      end
    end
    if (xi < up(i))
      t = up(i);
    else
      t = xi;
    end
    if (t != up(i))
      if (lr == 1.0)
        changed = true;
        up(i) = t;
      else
        old = up(i);
        up(i) = lr * t + (1 - lr) * old;
        f += 4;
        % a blend that rounds back to the corner changes nothing
        changed = changed || (up(i) != old);
      end
    end
  end
end

function [msg, P, PL, D, vig, alpha, lr, maxlp, trim, ct, oflag] = check_args (args, nout, missing)
  NAME = 'VORLA_FIT';
  msg = '';
  P = []; PL = []; D = []; vig = []; alpha = []; lr = [];
  maxlp = []; trim = []; ct = []; oflag = [];

  if (numel (args) != 10)
    msg = sprintf ('%s: %d input arguments required.', NAME, 10);
    return;
  end

  % 1 Patterns
  x = args{1};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 1st input argument (Patterns) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 1st input argument (Patterns) must be  a two dimensional array (matrix).', NAME);
    return;
  end
  [N, M] = size (x);
  if (N > 2147483647 || M > 1073741823)
    msg = sprintf ('%s: 1st input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns.', NAME);
    return;
  end
  P = ref_dbl (x);
  if (missing && any (isinf (P(:))))
    msg = sprintf ('%s: 1st input argument (Patterns) must not contain Inf values (NaN marks a missing feature).', NAME);
    return;
  end
  if (! missing && ! all (isfinite (P(:))))
    msg = sprintf ('%s: 1st input argument (Patterns) must not contain NaN or Inf values.', NAME);
    return;
  end

  % 2 PLabels
  x = args{2};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 2nd input argument (PLabels) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 2nd input argument (PLabels) must a vector.', NAME);
    return;
  end
  if (! ((rows (x) == N && columns (x) == 1) || (rows (x) == 1 && columns (x) == N)))
    msg = sprintf ('%s: 2nd input argument (PLabels) must be of type  %dx1 or 1x%d.', NAME, N, N);
    return;
  end
  PL = ref_dbl (x(:));
  if (! all (ref_fits32 (PL)))
    msg = sprintf ('%s: 2nd input argument (PLabels) must hold finite labels in the 32-bit integer range.', NAME);
    return;
  end

  scal = {'3rd', 'D'; '4th', 'vigilance'; '5th', 'alpha'; '6th', 'learning_rate'; ...
          '7th', 'max_list_presentations'; '8th', 'trim_option'; '9th', 'ct_option'};
  vals = cell (1, 7);
  for k = 1:7
    x = args{k+2};
    w = ref_what (x);
    if (! isempty (w))
      msg = sprintf ('%s: %s input argument (%s) must be a full numeric or logical array, not %s.', ...
                     NAME, scal{k,1}, scal{k,2}, w);
      return;
    end
    [ok, v] = ref_scalar (x);
    if (! ok)
      msg = sprintf ('%s: %s input argument (%s) must be a scalar.', NAME, scal{k,1}, scal{k,2});
      return;
    end
    switch (k)
      case 1
        if (! (v >= 0))
          msg = sprintf ('%s: 3rd input argument (D) must be non-negative.', NAME);
          return;
        end
      case 2
        if (! (v >= 0) || v > 1)
          msg = sprintf ('%s: 4th input argument (vigilance) must be in [0.0, 1.0].', NAME);
          return;
        end
      case 3
        if (! (v >= 0))
          msg = sprintf ('%s: 5th input argument (alpha) must be non-negative.', NAME);
          return;
        end
      case 4
        if (! (v > 0) || v > 1)
          msg = sprintf ('%s: 6th input argument (learning_rate) must be in (0.0, 1.0].', NAME);
          return;
        end
      case 5
        if (isnan (v) || v <= -2147483649.0)
          bad = true;
        elseif (v >= 2147483648.0)
          v = 2147483647;
          bad = false;
        else
          v = ref_trunc (v);
          bad = v < 1;
        end
        if (bad)
          msg = sprintf ('%s: 7th input argument (max_list_presentations) must  be greater than 0.', NAME);
          return;
        end
      case {6, 7}
        if (! ref_fits32 (v) || ! any (fix (v) == [0 1]))
          msg = sprintf ('%s: %s input argument (%s) must be either 0 or 1.', NAME, scal{k,1}, scal{k,2});
          return;
        end
        v = ref_trunc (v);
    end
    vals{k} = v;
  end
  [D, vig, alpha, lr, maxlp, trim, ct] = vals{:};

  % 10 oflag
  x = args{10};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 10th input argument (oflag) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 10th input argument (oflag) must be scalar.', NAME);
    return;
  end
  if (rows (x) != 1 && columns (x) != 1)
    msg = sprintf ('%s: 10th input argument must be scalar.', NAME);
    return;
  end
  if (isempty (x))
    msg = sprintf ('%s: 10th input argument (oflag) must be scalar.', NAME);
    return;
  end
  v = ref_dbl (x(1));
  if (! ref_fits32 (v) || fix (v) < 0 || fix (v) > 4)
    msg = sprintf ('%s: 10th input argument (oflag) must be 0,1,2,3 or 4.', NAME);
    return;
  end
  oflag = ref_trunc (v);

  if (nout != 3)
    msg = sprintf ('%s: %d output arguments required.', NAME, 3);
    return;
  end
end
