function make (outdir)
% MAKE  Build vorla_fit, vorla_eval, vorla_learn and vorla_score as MEX files with the host's own tools.
%
%   make            builds into the folder "mex" beside this file
%   make (outdir)   builds into outdir
%
%   In MATLAB it calls mex with the separate-complex API (-R2017b, so that
%   only the real part of a complex input is read through mxGetPr) and a
%   C++17 compiler chosen with "mex -setup C++". In GNU Octave it calls
%   mkoctfile --mex. The help and self-test files of octave/ (with their
%   private/ helpers) are copied beside the MEX files, since help reads
%   NAME.m only from the folder of the MEX file. Add outdir to the path (addpath) to use the functions.
%
%   Results must match every other build bit for bit, so floating-point
%   contraction (fused multiply-add) and value-changing optimisations are
%   turned off: -std=c++17 -ffp-contract=off -fno-fast-math through
%   CXXFLAGS with GCC and Clang (MinGW-w64 on Windows, Linux, macOS),
%   /std:c++17 /fp:precise through COMPFLAGS with Microsoft's compiler.
%
%   The MATLAB branch follows MATLAB's documented mex conventions but has
%   not been run: the project's own machines have GNU Octave and no MATLAB.
%   The Octave branch is the one exercised there.

  root = fileparts (mfilename ('fullpath'));
  if nargin < 1 || isempty (outdir)
    outdir = fullfile (root, 'mex');
  end
  outdir = char (outdir);  % a MATLAB string names a folder too
  if ~exist (outdir, 'dir')
    mkdir (outdir);
  end
  parts = {'common', 'fit', 'eval', 'learn', 'score'};
  sources = struct ();
  for i = 1:numel (parts)
    listing = dir (fullfile (root, parts{i}, '*.cpp'));
    sources.(parts{i}) = cellfun (@(name) fullfile (root, parts{i}, name), {listing.name}, ...
                                  'UniformOutput', false);
  end
  includes = cellfun (@(part) ['-I' fullfile(root, part)], parts, 'UniformOutput', false);
  % vorla_learn shares training's part of fit/, not vorla_fit's entry point.
  training = fullfile (root, 'fit', {'train.cpp', 'training_call.cpp'});
  files_of = struct ('fit', {sources.fit}, 'eval', {sources.eval}, 'learn', {[training, sources.learn]}, ...
                     'score', {sources.score});

  for target = {'fit', 'eval', 'learn', 'score'}
    name = ['vorla_' target{1}];
    files = [files_of.(target{1}), sources.common];
    if exist ('OCTAVE_VERSION', 'builtin')
      build_octave (name, files, includes, outdir);
    else
      build_matlab (name, files, includes, outdir);
    end
    fprintf ('built %s in %s\n', name, outdir);
  end

  helps = dir (fullfile (root, 'octave', '*.m'));
  for i = 1:numel (helps)
    copyfile (fullfile (root, 'octave', helps(i).name), outdir);
  end
  % The helpers of vorla_train, vorla_predict and vorla_crossval.
  if ~exist (fullfile (outdir, 'private'), 'dir')
    mkdir (fullfile (outdir, 'private'));
  end
  helpers = dir (fullfile (root, 'octave', 'private', '*.m'));
  for i = 1:numel (helpers)
    copyfile (fullfile (root, 'octave', 'private', helpers(i).name), fullfile (outdir, 'private'));
  end
  % help vorla reads the overview from vorla.m in any folder, Contents.m only in one named vorla.
  copyfile (fullfile (root, 'octave', 'Contents.m'), fullfile (outdir, 'vorla.m'));
end

function build_matlab (name, files, includes, outdir)
  [compiler, flags, microsoft] = matlab_compiler_flags ();
  fprintf ('compiling %s with %s\n', name, compiler);
  mex ('-R2017b', '-DVORLA_HOST_MATLAB', includes{:}, flags{:}, ...
       '-outdir', outdir, '-output', name, files{:}, ut_library (microsoft));
end

function library = ut_library (microsoft)
  % libut answers utIsInterruptPending, so that Ctrl-C stops a long call. On Windows
  % MATLAB keeps its import libraries in one folder per compiler; where the MinGW-w64
  % folder lacks libut.lib, the one made for Microsoft's compiler is named by its path.
  library = '-lut';
  if ispc && ~microsoft
    lib = fullfile (matlabroot, 'extern', 'lib', 'win64');
    if ~exist (fullfile (lib, 'mingw64', 'libut.lib'), 'file') ...
       && exist (fullfile (lib, 'microsoft', 'libut.lib'), 'file')
      library = fullfile (lib, 'microsoft', 'libut.lib');
    end
  end
end

function build_octave (name, files, includes, outdir)
  saved = getenv ('CXXFLAGS');
  here = pwd ();
  objects = tempname ();
  mkdir (objects);
  % mkoctfile leaves its object files in the current folder.
  cleanup = onCleanup (@() restore (saved, here, objects));
  % -O3 as in the CMake build and the package: mkoctfile's -O2 classifies up to 1.6 times slower.
  setenv ('CXXFLAGS', [mkoctfile('-p', 'CXXFLAGS'), ' -O3 -std=c++17 -ffp-contract=off -fno-fast-math']);
  cd (objects);
  [output, status] = mkoctfile ('--mex', '-DVORLA_HOST_OCTAVE', includes{:}, files{:}, ...
                                '-o', fullfile (outdir, [name '.mex']));
  if status ~= 0
    error ('vorla:make:build', 'make: building %s failed:\n%s', name, output);
  end
end

function restore (cxxflags, folder, objects)
  setenv ('CXXFLAGS', cxxflags);
  cd (folder);
  confirm_recursive_rmdir (false, 'local');
  rmdir (objects, 's');
end
