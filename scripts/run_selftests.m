% Runs the built-in self-tests (%!test, %!error blocks) of the vorla functions
% and prints "N passed, N failed"; exits with status 1 on any failure.
%
%   octave-cli --no-gui --norc scripts/run_selftests.m DIR [NAME ...]
%
% DIR holds the .mex and .m files (a build folder); NAME defaults to every
% function that carries self-tests.

args = argv ();
if (isempty (args))
  fprintf (2, "usage: run_selftests.m DIR [NAME ...]\n");
  exit (2);
end
folder = make_absolute_filename (args{1});
names = args(2:end);
if (isempty (names))
  names = {"vorla", "vorla_fit", "vorla_eval", "vorla_learn", "vorla_scale", "vorla_plot_boxes", "vorla_demo", ...
           "vorla_train", "vorla_predict", "vorla_crossval", ...
           "vorla_score", "vorla_rules"};
end
addpath (folder);
warning ("off", "Octave:gnuplot-graphics");

passed = 0;
failed = 0;
for i = 1:numel (names)
  name = names{i};
  where = which (name);
  if (isempty (where) || ! strncmp (where, folder, numel (folder)))
    printf ("%-18s not found in %s\n", name, folder);
    failed += 1;
    continue;
  end
  [n, nmax] = test (name, "quiet", stdout);
  if (nmax == 0)
    printf ("%-18s has no self-tests\n", name);
    failed += 1;
    continue;
  end
  printf ("%-18s %3d of %3d self-tests passed\n", name, n, nmax);
  passed += n;
  failed += nmax - n;
end
printf ("%d passed, %d failed\n", passed, failed);
exit (failed > 0);
