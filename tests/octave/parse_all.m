function parse_all (root)
  % Parses every .m file of the repository, so that a script whose runner skips on
  % this machine (valgrind, the cluster, Ctrl-C under tmux) still fails on a syntax
  % error here. Folders of build output are left out.
  files = {};
  pending = {root};
  while ! isempty (pending)
    folder = pending{end};
    pending(end) = [];
    entries = dir (folder);
    for e = entries'
      path = fullfile (folder, e.name);
      if e.isdir && ! any (strcmp (e.name, {".", ".."})) && e.name(1) != "." && ! strncmp (e.name, "build", 5)
        pending{end+1} = path;
      elseif ! e.isdir && numel (e.name) > 2 && strcmp (e.name(end-1:end), ".m")
        files{end+1} = path;
      end
    end
  end
  failed = {};
  for i = 1:numel (files)
    try
      __parse_file__ (files{i});
    catch err
      failed{end+1} = sprintf ("%s: %s", files{i}, strtrim (err.message));
    end
  end
  printf ("%d .m files parsed, %d failed\n", numel (files), numel (failed));
  if ! isempty (failed)
    printf ("FAILED: %s\n", failed{:});
    error ("parse_all: %d files do not parse", numel (failed));
  end
end
