function scale_case (what, builddir, with_call)
  % One large call in GNU Octave, for tests/slow/scale.sh, which measures the peak resident
  % memory of the process around it. The data is the circle in the square of vorla_demo: a
  % circle of area 1/2 centred in the unit square, label 1 inside and 2 outside.
  %   scale_case ("fit", BUILD, true)    one list presentation of 10^6 patterns
  %   scale_case ("eval", BUILD, true)   classifies 10^7 patterns with the 13 nodes that 300
  %                                      patterns give when trained to convergence
  % With with_call false only the inputs are made, which gives the baseline of the process.
  % Raises an error when the results are not what such data must give.
  addpath (builddir);
  rand ("state", 42);
  if (strcmp (what, "fit"))
    [X, y] = circle (1e6);
    if (with_call)
      tic;
      [T, NL, LP] = vorla_fit (X, y, 2, 0, 0.001, 1, 1, 0, 0, 0);
      printf ("fit: 1e6 patterns, %d nodes, %.2f s\n", rows (T), toc);
      if (! (LP == 1 && columns (T) == 4 && numel (NL) == rows (T) && rows (T) > 100))
        error ("scale_case: training went wrong");
      end
    end
  else
    [X, y] = circle (300);
    [T, NL, LP] = vorla_fit (X, y, 2, 0, 0.001, 1, 1000, 0, 0, 0);
    [X, y] = circle (1e7);
    if (with_call)
      tic;
      p = vorla_eval (T, NL, 2, 0, 0.001, 0, X, 0, 0);
      printf ("eval: 1e7 patterns, %d nodes, %.2f s, %.4f classified as labelled\n", rows (T), toc, mean (p == y));
      if (! (isequal (size (p), [1e7 1]) && mean (p == y) > 0.8))
        error ("scale_case: classification went wrong");
      end
    end
  end
end

function [X, y] = circle (n)
  X = rand (n, 2);
  y = 1 + ((X(:, 1) - 0.5) .^ 2 + (X(:, 2) - 0.5) .^ 2 > 1 / (2 * pi));
end
