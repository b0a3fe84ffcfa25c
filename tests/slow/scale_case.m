function scale_case (what, builddir, with_call, threads, out_file)
  % One large call in GNU Octave, for tests/slow/scale.sh, which measures the peak resident
  % memory of the process around it. The data is the circle in the square of vorla_demo: a
  % circle of area 1/2 centred in the unit square, label 1 inside and 2 outside.
  %   scale_case ("fit", BUILD, true)    one list presentation of 10^6 patterns
  %   scale_case ("eval", BUILD, true)   classifies 10^7 patterns with the 13 nodes that 300
  %                                      patterns give when trained to convergence
  %   scale_case ("crossval", BUILD, true, THREADS, FILE)
  %                                      vorla_crossval of 280,000 patterns of 8 features (the
  %                                      circle, 6 more uniform ones), 2 folds x 2 vigilances,
  %                                      2 voters, on THREADS threads: with more than one, the
  %                                      folds' training parts (9 MB each) exceed the batch's
  %                                      stack limit, so the folds go in two batches, each
  %                                      part trained alone; FILE receives a digest of the
  %                                      result (but Time), the same for any THREADS
  % With with_call false only the inputs are made, which gives the baseline of the process.
  % Raises an error when the results are not what such data must give.
  addpath (builddir);
  rand ("state", 42);
  if (strcmp (what, "crossval"))
    [X, y] = circle (280000);
    X = [X, rand(280000, 6)];
    if (with_call)
      tic;
      r = vorla_crossval (X, y, "KFold", 2, "Vigilance", [0 0.3], "Voters", 2, "MaxPresentations", 1, ...
                          "OptimizeHyperparameters", "none", "Threads", threads);
      printf ("crossval: 280000 patterns, %d threads, %.2f s, accuracy %.4f\n", threads, toc, r(1).MeanAccuracy);
      if (! (numel (r) == 2 && r(1).MeanAccuracy > 0.6))
        error ("scale_case: cross-validation went wrong");
      end
      r = rmfield (r, "Time");
      bytes = typecast ([r.Accuracy, r.Nodes, double(vertcat (r.Predictions))', r(1).Scores(:)', r(2).Scores(:)'], "uint8");
      fid = fopen (out_file, "w");
      fprintf (fid, "%s\n", hash ("sha256", char (bytes)));
      fclose (fid);
    end
  elseif (strcmp (what, "fit"))
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
