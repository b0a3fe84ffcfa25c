function results = layer_overhead (repeats)
  % The model-level functions' own time: vorla_train + vorla_predict against the
  % bare vorla_fit + vorla_eval calls that they make, on 100,000 circle-in-the-square
  % training patterns and 100,000 new ones. Both sides get the same data (the bare
  % calls the data scaled beforehand, outside the timing), the results are asserted
  % equal, and the runs alternate; the fastest of `repeats` (default 3) counts, in
  % wall-clock time and in the process's CPU time (steadier on a shared machine).
  %
  %   octave-cli --no-gui --norc --eval "addpath('build'); addpath('bench'); layer_overhead()"
  if nargin < 1
    repeats = 3;
  end
  rand ('state', 42);
  radius = sqrt (1 / (2 * pi));
  inside = @(P) 1 + ((P(:,1) - 0.5).^2 + (P(:,2) - 0.5).^2 > radius^2);
  P = rand (100000, 2);
  c = inside (P);
  Q = rand (100000, 2);
  [Ps, range] = vorla_scale (P);
  Qs = vorla_scale (Q, range);
  warning ('off', 'vorla:predict:clipped');
  warning ('off', 'vorla:train:cap');

  results = struct ('run', {}, 'bare_s', {}, 'layer_s', {}, 'ratio', {}, 'bare_cpu_s', {}, ...
                    'layer_cpu_s', {}, 'cpu_ratio', {});
  for cap = [Inf 1]
    bare = Inf;
    layer = Inf;
    bare_cpu = Inf;
    layer_cpu = Inf;
    for r = 1:repeats
      cpu = cputime ();
      started = tic ();
      [T, L, n] = vorla_fit (Ps, c, 2, 0, 0.001, 1, min (cap, 1000), 0, 0, 0);
      p = vorla_eval (T, L, 2, 0, 0.001, 0, Qs, 0, 0);
      bare = min (bare, toc (started));
      bare_cpu = min (bare_cpu, cputime () - cpu);

      cpu = cputime ();
      started = tic ();
      model = vorla_train (P, c, 'MaxPresentations', cap, 'OptimizeHyperparameters', 'none', 'Voters', 1);
      labels = vorla_predict (model, Q);
      layer = min (layer, toc (started));
      layer_cpu = min (layer_cpu, cputime () - cpu);

      assert (isequal ({model.Templates, model.NLabels, model.Presentations}, {T, L, n}));
      assert (isequal (labels, p));
    end
    if isinf (cap)
      run = sprintf ('until convergence (%d presentations, %d nodes)', n, numel (L));
    else
      run = sprintf ('one presentation (%d nodes)', numel (L));
    end
    results(end+1) = struct ('run', run, 'bare_s', bare, 'layer_s', layer, 'ratio', layer / bare, ...
                             'bare_cpu_s', bare_cpu, 'layer_cpu_s', layer_cpu, 'cpu_ratio', layer_cpu / bare_cpu);
    printf ('%-48s wall: bare %7.3f s, layer %7.3f s, ratio %.3f; CPU: bare %7.3f s, layer %7.3f s, ratio %.3f\n', ...
            run, bare, layer, layer / bare, bare_cpu, layer_cpu, layer_cpu / bare_cpu);
  end
end
