function chunked_example_test ()
  % The example "data larger than memory" of help vorla_train runs as written
  % (with chunks of 1000 records instead of 10^6) on a file of 3,500 records, and
  % gives bit for bit the model of one call on the whole file; the user guide shows
  % the same code.
  r = [];
  rand ("state", 8);
  records = [rand(3500, 2) * 4 - 1, zeros(3500, 1)];
  records(:,3) = 1 + (records(:,1) > records(:,2)) + (sum (records(:,1:2), 2) > 4);
  folder = tempname ();
  mkdir (folder);
  cleanup = onCleanup (@() remove_folder (folder));
  fid = fopen (fullfile (folder, "records.bin"), "w");
  fwrite (fid, records', "double");
  fclose (fid);

  code = example_lines (help ("vorla_train"));
  here = pwd ();
  cd (folder);
  try
    eval (strrep (strjoin (code, "\n"), "1e6", "1e3"));
  catch err
    cd (here);
    rethrow (err);
  end
  cd (here);
  range = [min(records(:,1:2)); max(records(:,1:2))];
  whole = vorla_train (records(:,1:2), records(:,3), "Scale", range, "MaxPresentations", 1, "Vigilance", 0, ...
                       "Voters", 1);
  fields = {"Templates", "NLabels", "ClassNames", "Range"};
  r(end+1) = check_case ("chunks give the model of one call", ...
                         isequal (cellfun (@(f) model.(f), fields, "UniformOutput", false), ...
                                  cellfun (@(f) whole.(f), fields, "UniformOutput", false)));
  r(end+1) = check_case ("one call per chunk", isequal ([model.History.Patterns], [1000 1000 1000 500]), ...
                         mat2str ([model.History.Patterns]));

  guide = fileread (fullfile (fileparts (mfilename ("fullpath")), "..", "..", "doc", "guide.md"));
  shown = example_lines (guide);
  r(end+1) = check_case ("the user guide shows the example of the help", isequal (shown, code), ...
                         sprintf ("\n%s\n", shown{:}));
  printf ("%d of %d cases passed\n", sum (r), numel (r));
  if (! all (r))
    exit (1);
  end
end

function code = example_lines (text)
  % The lines from "fid = fopen ('records.bin'" to "fclose (fid);", stripped of their
  % indentation.
  lines = strtrim (strsplit (text, "\n"));
  first = find (strncmp (lines, "fid = fopen ('records.bin'", 26), 1);
  last = first - 1 + find (strcmp (lines(first:end), "fclose (fid);"), 1);
  code = lines(first:last);
end

function remove_folder (folder)
  confirm_recursive_rmdir (false, "local");
  rmdir (folder, "s");
end
