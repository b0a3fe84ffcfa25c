function [Predictions, text, errmsg, add_flops] = ref_vorla_eval (args, nout)
  % Reference model of vorla_eval, written in plain Octave for comparison runs.
  %   args : cell array of the inputs (any count), nout : requested outputs.
  % On success errmsg is '' and text holds everything the MEX prints, with
  % the run time given as 0 seconds.  On a refused call Predictions and text
  % are empty and errmsg holds the message that the MEX raises.  add_flops
  % lists the value handed to mexAddFlops for every pattern, in order.

  Predictions = [];
  text = '';
  add_flops = zeros (0, 1);

  [errmsg, T, NL, D, vig, alpha, ct, P, unk, oflag] = check_args (args, nout);
  if (! isempty (errmsg))
    return;
  end

  K = rows (T);
  M = floor (columns (T) / 2);
  N = rows (P);
  out = {};

  Tu = D / (alpha + 2 * D);
  lo = T(:, 1:M);
  up = T(:, M+1:2*M);
  lab = ref_trunc (NL(:));
  cden = zeros (K, 1);
  for k = 1:K
    sz = 0.0;
    for i = 1:M
      sz = sz + (up(k, i) - lo(k, i));
    end
    cden(k) = (D - sz) + alpha;
  end
  active = false (K, 1);
  cfv = zeros (K, 1);
  flop_total = 2*M + 5;
  comp_total = 0;
  act_count = 0;
  unc_count = 0;
  Predictions = zeros (N, 1);
  add_flops = zeros (N, 1);

  if (oflag >= 2)
    out{end+1} = sprintf ('\nList presentation of %d patterns:\n', N);
  end

  for j = 1:N
    x = P(j, :);
    pf = 0;
    pc = 0;
    winner = 0;
    if (oflag >= 3)
      out{end+1} = sprintf ('   Pattern #%d is being presented\n', j);
    end
    if (K > 0)
      sz = zeros (K, 1);
      for i = 1:M
        xi = x(i);
        hi = repmat (xi, K, 1);
        m = xi < up(:, i);
        hi(m) = up(m, i);
        low = lo(:, i);
        low(xi <= lo(:, i)) = xi;
        sz = sz + (hi - low);
      end
      mnum = D - sz;
      mfv = (D - sz) ./ D;
      pf += K * (2*M + 2);
      pc += K * 2*M;
      vt = mfv >= vig;
      cfv(vt) = mnum(vt) ./ cden(vt);
      pf += sum (vt);
      pc += sum (vt);
      if (ct == 1)
        ok = vt & (cfv >= Tu);
      else
        ok = vt;
      end
      cand = find (ok);
      if (ct == 1)
        pc += numel (cand);
      end
      pc += max (numel (cand) - 1, 0);
      if (! isempty (cand))
        c = cfv(cand);
        if (isnan (c(1)))
          winner = cand(1);       % a NaN choice value is never beaten
        else
          [~, k] = max (c);       % first maximum, NaN ignored
          winner = cand(k);
        end
      end
      if (oflag >= 3)
        for i = 1:K
          if (! vt(i))
            out{end+1} = sprintf ('      Node #%d fails VT (MFV=%s < rho=%s)\n', i, ref_cf (mfv(i)), ref_cf (vig));
          elseif (! ok(i))
            out{end+1} = sprintf ('      Node #%d fails CT (CFV=%s < Tu=%s)\n', i, ref_cf (cfv(i)), ref_cf (Tu));
          else
            out{end+1} = sprintf ('      Node #%d is candidate (CFV=%s)\n', i, ref_cf (cfv(i)));
          end
        end
      end
    end
    if (winner == 0)
      Predictions(j) = unk;
      unc_count += 1;
      if (oflag >= 2)
        out{end+1} = sprintf ('   Pattern #%d could not be classified\n', j);
      end
    else
      Predictions(j) = lab(winner);
      if (! active(winner))
        active(winner) = true;
        act_count += 1;
      end
      if (oflag >= 2)
        out{end+1} = sprintf ('   Pattern #%d selected by node #%d and classified as ''%d''\n', ...
                              j, winner, lab(winner));
      end
    end
    v = mod (pc + pf, 2^32);
    if (v >= 2^31)
      v -= 2^32;
    end
    add_flops(j) = v;
    comp_total = comp_total + pc;
    flop_total = flop_total + pf;
  end

  inactive = K - act_count;
  if (oflag >= 1)
    out{end+1} = sprintf ('\nFAM performance phase summary\n');
    if (inactive == 1)
      out{end+1} = sprintf ('%d inactive node detected ', inactive);
    else
      out{end+1} = sprintf ('%d inactive nodes detected ', inactive);
    end
    if (K == 0)
      pct = 0;                    % 0/0 with no template is shown as 0
    else
      pct = inactive * 100.0 / K;
    end
    out{end+1} = sprintf ('(%s%%)\n', ref_cf (pct));
    if (unc_count != 0)
      out{end+1} = sprintf ('unable to classify %d patterns ', unc_count);
      out{end+1} = sprintf ('(%s%%)\n', ref_cf (unc_count * 100.0 / N));
    end
    out{end+1} = sprintf ('%lu FLOPs and %lu comparisons in %d seconds\n\n', flop_total, comp_total, 0);
  end
  text = [out{:}];
  if (isempty (text))
    text = '';
  end
end

function [msg, T, NL, D, vig, alpha, ct, P, unk, oflag] = check_args (args, nout)
  NAME = 'VORLA_EVAL';
  msg = '';
  T = []; NL = []; D = []; vig = []; alpha = []; ct = []; P = []; unk = []; oflag = [];

  if (numel (args) != 9)
    msg = sprintf ('%s: %d input arguments required.', NAME, 9);
    return;
  end

  % 1 Templates
  x = args{1};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 1st input argument (Templates) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 1st input argument (Templates) must be  a two dimensional array (matrix).', NAME);
    return;
  end
  [K, C] = size (x);
  if (K > 2147483647 || C > 2147483647)
    msg = sprintf ('%s: 1st input argument (Templates) must have at most 2147483647 rows and 2147483647 columns.', NAME);
    return;
  end
  M = floor (C / 2);
  T = ref_dbl (x);
  if (! all (all (isfinite (T(:, 1:2*M)))))
    msg = sprintf ('%s: 1st input argument (Templates) must not contain NaN or Inf values.', NAME);
    return;
  end

  % 2 NLabels
  x = args{2};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 2nd input argument (NLabels) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 2nd input argument (NLabels) must a vector.', NAME);
    return;
  end
  if (! ((rows (x) == K && columns (x) == 1) || (rows (x) == 1 && columns (x) == K)))
    msg = sprintf ('%s: 2nd input argument (NLabels) must be of type  %dx1 or 1x%d.', NAME, K, K);
    return;
  end
  NL = ref_dbl (x(:));
  if (! all (ref_fits32 (NL)))
    msg = sprintf ('%s: 2nd input argument (NLabels) must hold finite labels in the 32-bit integer range.', NAME);
    return;
  end

  scal = {'3rd', 'D'; '4th', 'vigilance'; '5th', 'alpha'; '6th', 'ct_option'};
  vals = cell (1, 4);
  for k = 1:4
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
        if (! ref_fits32 (v) || ! any (fix (v) == [0 1]))
          msg = sprintf ('%s: 6th input argument (ct_option) must be either 0 or 1.', NAME);
          return;
        end
        v = ref_trunc (v);
    end
    vals{k} = v;
  end
  [D, vig, alpha, ct] = vals{:};

  % 7 Patterns
  x = args{7};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 7th input argument (Patterns) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 7th input argument (Patterns) must be  a two dimensional array (matrix).', NAME);
    return;
  end
  if (rows (x) > 2147483647 || columns (x) > 1073741823)
    msg = sprintf ('%s: 7th input argument (Patterns) must have at most 2147483647 rows and 1073741823 columns.', NAME);
    return;
  end
  if (columns (x) != M)
    msg = sprintf ('%s: 7th input argument (Patterns) must be of type  %dx%d.', NAME, rows (x), M);
    return;
  end
  P = ref_dbl (x);

  % 8 unknown_label
  x = args{8};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 8th input argument (unknown_label) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  [ok, v] = ref_scalar (x);
  if (! ok)
    msg = sprintf ('%s: 8th input argument (unknown_label) must be a scalar.', NAME);
    return;
  end
  if (! ref_fits32 (v))
    msg = sprintf ('%s: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range.', NAME);
    return;
  end
  unk = ref_trunc (v);

  % 9 oflag
  x = args{9};
  w = ref_what (x);
  if (! isempty (w))
    msg = sprintf ('%s: 9th input argument (oflag) must be a full numeric or logical array, not %s.', NAME, w);
    return;
  end
  if (ndims (x) != 2)
    msg = sprintf ('%s: 9th input argument (oflag) must be scalar.', NAME);
    return;
  end
  if (rows (x) != 1 && columns (x) != 1)
    msg = sprintf ('%s: 9th input argument must be scalar.', NAME);
    return;
  end
  if (isempty (x))
    msg = sprintf ('%s: 9th input argument (oflag) must be scalar.', NAME);
    return;
  end
  v = ref_dbl (x(1));
  if (! ref_fits32 (v) || fix (v) < 0 || fix (v) > 3)
    msg = sprintf ('%s: 9th input argument (oflag) must be 0,1,2 or 3.', NAME);
    return;
  end
  oflag = ref_trunc (v);

  if (nout != 1)
    msg = sprintf ('%s: %d output argument required.', NAME, 1);
    return;
  end
end
