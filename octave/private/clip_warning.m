function warned = clip_warning (who, X, range, given, ignored)
% Values a little beyond the training range are what an ordinary held-out set
% brings, and clipping them is harmless. A feature whose values lie beyond it
% by more than its width, in more than a tenth of the patterns, is another
% matter: most likely other units than the training data's. given: the range
% is the caller's Scale range for this X (first training), so it is the range
% whose units are in doubt.
  if nargin < 4
    given = false;
  end
  warned = false;
  if nargin > 4 && ~isempty (ignored)
    % Categorical features hold the positions of their categories, no values to clip.
    X(:, ignored) = repmat (range(1, ignored), size (X, 1), 1);
  end
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
  if given
    what = 'the given Scale range';
    question = 'is the range in other units than X?';
  else
    what = 'the training range';
    question = 'are they in other units than the training data?';
  end
  notify (['vorla:' who ':clipped'], ...
          ['vorla_' who ': %d of the %d values of feature %d of X lie beyond %s [%.6g, %.6g] ' ...
           'by more than its width: %s %d values in %d patterns ' ...
           'were clipped to the range'], ...
          sum (far(:,feature)), size (X, 1), feature, what, range(1,feature), range(2,feature), ...
          question, sum (outside(:)), sum (any (outside, 2)));
  warned = true;
end
