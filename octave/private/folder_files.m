function names = folder_files (folder, pattern)
% The names in a task folder that match the regular expression pattern, in
% readdir's order. dir would read the folder's own name as a glob, where a
% backslash, a bracket or an asterisk are not what they seem (Octave only,
% as the worker processes are).
  names = readdir (folder);
  names = names(~cellfun ('isempty', regexp (names, pattern, 'once')));
  names = names(:)';
end
