function scale_case (what, builddir, with_call)
  % One large call in GNU Octave, for tests/slow/scale.sh, which measures the peak resident
  % memory of the process around it:
  %   scale_case ("fit", BUILD, true)    trains on 10^6 patterns of 2 features (two clusters)
  %   scale_case ("eval", BUILD, true)   classifies 10^7 patterns with templates trained first
  % With with_call false only the inputs are made, which gives the baseline of the process.
  % Raises an error when the results are not what such data must give.
  addpath (builddir);
  rand ("state", 11);
  if (strcmp (what, "fit"))
    [X, y] = clusters (1e6);
    if (with_call)
      tic;
      [T, NL, LP] = vorla_fit (X, y, 2, 0.3, 0.001, 1, 20, 1, 0, 0);
      printf ("fit: 1e6 patterns, %d nodes, %d list presentations, %.1f s\n", rows (T), LP, toc);
      if (! (LP < 20 && columns (T) == 4 && numel (NL) == rows (T)))
        error ("scale_case: training did not converge");
      end
    end
  else
    [X, y] = clusters (1e4);
    [T, NL, LP] = vorla_fit (X, y, 2, 0.3, 0.001, 1, 20, 1, 0, 0);
    [X, y] = clusters (1e7);
    if (with_call)
      tic;
      p = vorla_eval (T, NL, 2, 0.3, 0.001, 0, X, 0, 0);
      printf ("eval: 1e7 patterns, %d nodes, %.1f s, %.4f classified as labelled\n", rows (T), toc, mean (p == y));
      if (! (isequal (size (p), [1e7 1]) && mean (p == y) > 0.99))
        error ("scale_case: classification went wrong");
      end
    end
  end
end

function [X, y] = clusters (n)
  % Two well separated square clusters, labels 1 and 2.
  h = n / 2;
  X = [0.05 + 0.3 * rand(h, 2); 0.65 + 0.3 * rand(h, 2)];
  y = [ones(h, 1); 2 * ones(h, 1)];
end
