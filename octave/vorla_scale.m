function [Xs, range] = vorla_scale (X, range, varargin)
% VORLA_SCALE  Scale feature columns into [0, 1] for vorla_fit and vorla_eval.
%
%   [Xs, range] = vorla_scale (X)
%   Ys = vorla_scale (Y, range)
%
%   The classifier measures boxes against D, the size of the input space.
%   With every feature scaled into [0, 1], D is the number of features M,
%   and each feature weighs the same in the size of a box.
%
%   [Xs, range] = vorla_scale (X) scales each column of the N x M matrix X
%   by its own smallest and largest value, so that they become 0 and 1.
%   range is the 2 x M matrix [smallest; largest] of the columns. A column
%   whose values are all equal becomes 0. NaN values are left out of the
%   range and stay NaN; Inf values are refused.
%
%   Ys = vorla_scale (Y, range) scales new data Y (any number of rows, M
%   columns) with the range of the training data, so that training and new
%   patterns share one scale. Values outside the range are clipped to 0 or
%   1: a pattern beyond the unit cube could make a box larger than D, and
%   no node would then accept it. A constant column of the training data
%   maps every new value to 0.
%
%   X and Y may be of any real numeric class or logical; Xs and Ys are
%   double.
%
%   Errors carry identifiers vorla:scale:arguments, vorla:scale:X and
%   vorla:scale:range.
%
%   Example:
%     X = [1 10; 2 30; 3 20];
%     [Xs, range] = vorla_scale (X)       % Xs = [0 0; 0.5 1; 1 0.5]
%     Ys = vorla_scale ([4 15], range)    % Ys = [1 0.25]
%
%   See also: vorla_fit, vorla_eval.

  if nargin < 1 || nargin > 2
    error ('vorla:scale:arguments', 'vorla_scale: expected (X) or (Y, range); %d arguments given', nargin);
  end
  if ~((isnumeric (X) || islogical (X)) && isreal (X) && ndims (X) == 2)
    error ('vorla:scale:X', 'vorla_scale: X must be a real numeric or logical matrix; %s given', describe (X));
  end
  X = full (double (X));
  if any (isinf (X(:)))
    error ('vorla:scale:X', 'vorla_scale: X must not contain Inf values; it holds %d', sum (isinf (X(:))));
  end

  if nargin < 2
    if isempty (X)
      range = zeros (2, size (X, 2));
    else
      range = [min(X, [], 1); max(X, [], 1)];
    end
    clip = false;
  else
    if ~((isnumeric (range) || islogical (range)) && isreal (range) && isequal (size (range), [2, size(X, 2)]))
      error ('vorla:scale:range', ...
             'vorla_scale: RANGE must be a 2 x %d matrix [smallest; largest], as vorla_scale (X) returns it; %s given', ...
             size (X, 2), describe (range));
    end
    range = full (double (range));
    if any (~isfinite (range(:)) & ~isnan (range(:))) || any (range(1,:) > range(2,:))
      error ('vorla:scale:range', 'vorla_scale: RANGE must hold finite smallest values no larger than the largest values');
    end
    clip = true;
  end

  lo = range(1,:);
  width = range(2,:) - lo;
  constant = (width == 0);
  width(constant) = 1;
  Xs = bsxfun (@rdivide, bsxfun (@minus, X, lo), width);
  Xs(:, constant) = 0 * X(:, constant);
  % Finite features can span more than the largest double: their width is
  % then Inf, and halved values keep the quotient finite.
  wide = isinf (width);
  if any (wide)
    Xs(:, wide) = bsxfun (@rdivide, bsxfun (@minus, X(:, wide) / 2, lo(wide) / 2), range(2, wide) / 2 - lo(wide) / 2);
  end
  if clip
    % Comparisons leave NaN (a missing value) as it is, and each pass over a
    % large X costs: no pass to put the NaN back, as min and max would need.
    Xs(Xs < 0) = 0;
    Xs(Xs > 1) = 1;
  end
end

%!test
%! X = [1 10; 2 30; 3 20];
%! [Xs, range] = vorla_scale (X);
%! assert (Xs, [0 0; 0.5 1; 1 0.5]);
%! assert (range, [1 10; 3 30]);
%! assert (vorla_scale ([4 15; 0 40; 2 10], range), [1 0.25; 0 1; 0.5 0]);

%!test
%! ## constant columns, NaN values and other classes
%! [Xs, range] = vorla_scale (uint8 ([5 0 1; 5 0 3; 5 4 2]));
%! assert (Xs, [0 0 0; 0 0 1; 0 1 0.5]);
%! [Xs, range] = vorla_scale ([5 0; 5 NaN; 5 4]);
%! assert (Xs, [0 0; 0 NaN; 0 1]);
%! assert (range, [5 0; 5 4]);
%! assert (vorla_scale ([7 NaN; -3 2], range), [0 NaN; 0 0.5]);
%! assert (vorla_scale (logical ([1 0; 0 1])), [1 0; 0 1]);
%! assert (class (vorla_scale (single ([1; 2]))), "double");

%!test
%! ## the scaled training data spans the unit cube exactly
%! rand ("state", 3);
%! X = bsxfun (@plus, bsxfun (@times, randn (50, 4), [1 10 100 1e-3]), [0 -5 300 2]);
%! [Xs, range] = vorla_scale (X);
%! assert (min (Xs), zeros (1, 4));
%! assert (max (Xs), ones (1, 4));
%! assert (vorla_scale (X, range), Xs);

%!test
%! ## empty inputs keep their shape
%! [Xs, range] = vorla_scale (zeros (0, 3));
%! assert (size (Xs), [0 3]);
%! assert (size (range), [2 3]);
%! assert (size (vorla_scale (zeros (0, 2), [0 0; 1 1])), [0 2]);

%!error <X must be a real numeric or logical matrix> vorla_scale ("abc")
%!error <X must be a real numeric or logical matrix> vorla_scale (ones (2, 2, 2))
%!error <X must not contain Inf values> vorla_scale ([1; Inf])
%!error <RANGE must be a 2 x 2 matrix> vorla_scale ([1 2], [0 1])
%!error <RANGE must hold finite smallest values> vorla_scale ([1 2], [0 3; 1 2])
%!test
%! ## features that span more than the largest double
%! [Xs, range] = vorla_scale ([-1e308; 0; 1e308]);
%! assert (Xs, [0; 0.5; 1]);
%! assert (vorla_scale ([-realmax; 5e307], range), [0; 0.75]);

%!error <vorla_scale: expected> vorla_scale ()
