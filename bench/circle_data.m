function [X, y] = circle_data (n)
  % n patterns of the circle in the square of vorla_demo, drawn from the host's generator
  % (seeded by the caller): uniform in the unit square, label 1 inside the circle of area 1/2
  % at its centre and 2 outside.
  X = rand (n, 2);
  y = 1 + ((X(:, 1) - 0.5) .^ 2 + (X(:, 2) - 0.5) .^ 2 > 1 / (2 * pi));
end
