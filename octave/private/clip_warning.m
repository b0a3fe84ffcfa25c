function clip_warning (who, X, range)
% Values a little beyond the training range are what an ordinary held-out set
% brings, and clipping them is harmless. A feature whose values lie beyond it
% by more than its width, in more than a tenth of the patterns, is another
% matter: most likely other units than the training data's.
  lo = range(1,:);
  width = range(2,:) - lo;
  beyond = max (bsxfun (@minus, lo, X), bsxfun (@minus, X, range(2,:)));
  far = bsxfun (@gt, beyond, width);
  share = sum (far, 1) / max (size (X, 1), 1);
  [most, feature] = max (share);
  if isempty (most) || most <= 0.1
    return;
  end
  outside = beyond > 0;
  notify (['vorla:' who ':clipped'], ...
          ['vorla_' who ': %d of the %d values of feature %d of X lie beyond the training range [%.6g, %.6g] ' ...
           'by more than its width: are they in other units than the training data? %d values in %d patterns ' ...
           'were clipped to the range'], ...
          sum (far(:,feature)), size (X, 1), feature, range(1,feature), range(2,feature), ...
          sum (outside(:)), sum (any (outside, 2)));
end
