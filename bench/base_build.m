function cleanup = base_build (base_dir)
  % Puts the vorla_fit.mex and vorla_eval.mex of an older build (the folder base_dir) on the
  % path as base_vorla_fit and base_vorla_eval, copied into a temporary folder; the path is
  % as it was once cleanup is cleared.
  scratch = tempname ();
  mkdir (scratch);
  copyfile (fullfile (base_dir, 'vorla_fit.mex'), fullfile (scratch, 'base_vorla_fit.mex'));
  copyfile (fullfile (base_dir, 'vorla_eval.mex'), fullfile (scratch, 'base_vorla_eval.mex'));
  addpath (scratch);
  cleanup = onCleanup (@() rmpath (scratch));
end
