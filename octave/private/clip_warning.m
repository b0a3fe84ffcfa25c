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
  % lo - x and x - high are monotone in x, rounded too, so only a feature
  % whose extreme values lie that far can hold a value that far: the others
  % (all, in data of the training's units) take no pass of their own.
  share = zeros (1, size (X, 2));
  if ~isempty (X)
    suspect = find (lo - min (X, [], 1) > width | max (X, [], 1) - range(2,:) > width);
    far = far_values (X(:, suspect), range(:, suspect));
    share(suspect) = sum (far, 1) / size (X, 1);
  end
  [most, feature] = max (share);
  if isempty (most) || most <= 0.1
    return;
  end
  [far, beyond] = far_values (X, range);
  outside = beyond > 0;
  low = range(1,feature);
  high = range(2,feature);
  % A range of one value is no question of units: any other value is beyond
  % it, and the feature, clipped to it, tells the model nothing.
  if high == low && given
    finding = sprintf ('the given Scale range of feature %d is the single value %.6g, and %d of the %d values of X differ from it: the model learns nothing from this feature.', ...
                       feature, low, sum (far(:,feature)), size (X, 1));
  elseif high == low
    finding = sprintf ('feature %d was constant in training (%.6g), and %d of the %d values of X differ from it: the model learned nothing from this feature.', ...
                       feature, low, sum (far(:,feature)), size (X, 1));
  else
    if given
      what = 'the given Scale range';
      question = 'is the range in other units than X?';
    else
      what = 'the training range';
      question = 'are they in other units than the training data?';
    end
    finding = sprintf ('%d of the %d values of feature %d of X lie beyond %s [%.6g, %.6g] by more than its width: %s', ...
                       sum (far(:,feature)), size (X, 1), feature, what, low, high, question);
  end
  notify (['vorla:' who ':clipped'], 'vorla_%s: %s %d values in %d patterns were clipped to the range', ...
          who, finding, sum (outside(:)), sum (any (outside, 2)));
  warned = true;
end

function [far, beyond] = far_values (X, range)
% Which values lie beyond the range by more than its width, and by how much
% each lies beyond it (negative within).
  beyond = max (bsxfun (@minus, range(1,:), X), bsxfun (@minus, X, range(2,:)));
  far = bsxfun (@gt, beyond, range(2,:) - range(1,:));
end
