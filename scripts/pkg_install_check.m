% Installs the vorla package archive into a private prefix, loads it, checks
% where the functions landed, that help shows their text and the overview
% (help vorla), that pkg describe works, and runs "pkg test vorla". Prints "N passed, N failed"; exits with status 1 on any failure.
%
%   octave-cli --no-gui --norc scripts/pkg_install_check.m ARCHIVE WORKDIR [BUILDDIR]
%
% With BUILDDIR (a folder holding the MEX files from another
% build) it also checks that both builds give the same results, bit for bit.

args = argv ();
archive = make_absolute_filename (args{1});
work = make_absolute_filename (args{2});
cd (work);
warning ("off", "Octave:gnuplot-graphics");

% A private prefix and package lists leave the system's packages untouched.
pkg ("prefix", fullfile (work, "share"), fullfile (work, "arch"));
pkg ("local_list", fullfile (work, "octave_packages"));
pkg ("global_list", fullfile (work, "octave_packages_global"));
tic;
pkg ("install", "-local", archive);
printf ("pkg install took %.1f s\n", toc);
pkg ("load", "vorla");

passed = 0;
failed = 0;
function [passed, failed] = check (ok, what, passed, failed)
  if (ok)
    passed += 1;
  else
    failed += 1;
    printf ("FAILED: %s\n", what);
  end
end

mex_file = which ("vorla_fit");
[folder, ~, ext] = fileparts (mex_file);
[passed, failed] = check (strcmp (ext, ".mex") && strncmp (mex_file, work, numel (work)), ...
                          ["vorla_fit resolves to the installed MEX file: " mex_file], passed, failed);
[passed, failed] = check (exist (fullfile (folder, "vorla_fit.m"), "file") == 2, ...
                          "vorla_fit.m sits beside vorla_fit.mex", passed, failed);
for name = {"vorla_fit", "vorla_eval", "vorla_learn", "vorla_score"}
  text = evalc (["help " name{1}]);
  [passed, failed] = check (! isempty (strfind (text, [upper(name{1}) "  "])) ...
                            && ! isempty (strfind (text, "See also")), ...
                            ["help " name{1} " shows its help text"], passed, failed);
end
% The overview: help vorla must find vorla.m in the install folder, which is not named vorla.
overview = evalc ("help vorla");
[passed, failed] = check (strncmp (which ("vorla"), folder, numel (folder)) ...
                          && ! isempty (strfind (overview, "vorla_fit        - ")), ...
                          "help vorla shows the overview from the installed vorla.m", passed, failed);
% pkg describe reads Depends and the INDEX (it failed without a Depends line).
version = regexp (archive, 'vorla-([0-9.]+)\.tar\.gz$', 'tokens', 'once'){1};
try
  description = evalc ("pkg describe -verbose vorla");
catch err
  description = ["error: " err.message];
end
[passed, failed] = check (! isempty (strfind (description, ["Version:\n\t" version "\n"])) ...
                          && ! isempty (strfind (description, "octave >= 6.0.0")) ...
                          && ! isempty (strfind (description, "\tvorla_eval\n")) ...
                          && ! isempty (strfind (description, "\tvorla_learn\n")), ...
                          ["pkg describe vorla shows version, dependency and functions: " description], ...
                          passed, failed);
[T, L, n] = vorla_fit ([0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 0);
[passed, failed] = check (isequal ({T, L, n}, {[0.2 0.2; 0.6 0.6], [1; 2], 1}), ...
                          "the installed vorla_fit trains the worked example", passed, failed);

if (numel (args) >= 3)
  % Slow learning blends corners, so any change in the arithmetic shows.
  rand ("state", 19);
  P = rand (3000, 4);
  c = 1 + (sum (P(:,1:2), 2) > 1) + (P(:,3) > 0.6);
  Q = rand (2000, 4);
  [T1, L1, n1] = vorla_fit (P, c, 4, 0.4, 0.001, 0.6, 20, 1, 1, 0);
  p1 = vorla_eval (T1, L1, 4, 0.2, 0.001, 1, Q, 0, 0);
  [T1l, L1l, n1l] = vorla_learn (P, c, 4, 0.4, 0.001, 0.6, 20, 0, 1, 0, 1, 0, T1(1:5,:), L1(1:5));
  installed = which ("vorla_fit");
  pkg ("unload", "vorla");
  addpath (make_absolute_filename (args{3}));
  other = which ("vorla_fit");
  [T2, L2, n2] = vorla_fit (P, c, 4, 0.4, 0.001, 0.6, 20, 1, 1, 0);
  p2 = vorla_eval (T2, L2, 4, 0.2, 0.001, 1, Q, 0, 0);
  [T2l, L2l, n2l] = vorla_learn (P, c, 4, 0.4, 0.001, 0.6, 20, 0, 1, 0, 1, 0, T2(1:5,:), L2(1:5));
  rmpath (make_absolute_filename (args{3}));
  pkg ("load", "vorla");
  [passed, failed] = check (! strcmp (installed, other) && isequal ({T1, L1, n1, p1, T1l, L1l, n1l}, ...
                                                                     {T2, L2, n2, p2, T2l, L2l, n2l}), ...
                            sprintf ("%s and %s give the same results", installed, other), passed, failed);
end

% pkg test prints a summary but returns nothing: read its counts.
report = evalc ("pkg test vorla");
printf ("%s", report);
for file = {"vorla.m", "vorla_fit.m", "vorla_eval.m", "vorla_learn.m", "vorla_scale.m", "vorla_plot_boxes.m", "vorla_demo.m", ...
            "vorla_train.m", "vorla_predict.m", "vorla_crossval.m", "vorla_install-tst", ...
            "vorla_score.m", "vorla_rules.m"}
  [passed, failed] = check (! isempty (regexp (report, [regexptranslate("escape", file{1}) ' \.* pass'], 'once')), ...
                            ["pkg test ran the tests of " file{1}], passed, failed);
end
pass_count = str2double (regexp (report, 'PASS\s+(\d+)', 'tokens', 'once'));
fail_count = str2double (regexp (report, 'FAIL\s+(\d+)', 'tokens', 'once'));
[passed, failed] = check (pass_count > 0 && fail_count == 0, ...
                          sprintf ("pkg test vorla: %g passed, %g failed", pass_count, fail_count), ...
                          passed, failed);
if (pass_count > 0)
  passed += pass_count;
end
if (fail_count > 0)
  failed += fail_count;
end
printf ("%d passed, %d failed\n", passed, failed);
exit (failed > 0);
