function chunked_training (file, how, out)
  % Trains on a binary file of records (three doubles each: two features and
  % the class, as write_records writes them) and saves the model to out.
  %   how 'chunks': runs the example "data larger than memory" of
  %                 help vorla_train as it is written there, in the file's folder
  %                 (the file must be named records.bin);
  %   how 'whole':  reads the whole file and trains in one call, with the same
  %                 range and one presentation: the model the chunks must give.
  % Run by bench/chunked_training.sh, which measures time and peak memory.
  started = tic ();
  if strcmp (how, 'chunks')
    code = example_code ();
    here = pwd ();
    cd (fileparts (file));
    back = onCleanup (@() cd (here));
    eval (code);
  else
    fid = fopen (file, 'r');
    records = fread (fid, [3, Inf], 'double')';
    fclose (fid);
    range = [min(records(:,1:2)); max(records(:,1:2))];
    model = vorla_train (records(:,1:2), records(:,3), 'Scale', range, 'MaxPresentations', 1, ...
                         'Vigilance', 0, 'Voters', 1);
  end
  seconds = toc (started);
  [~, nlabels] = deal (model.Templates, model.NLabels);
  fprintf ('%s: %d nodes after %d calls in %.2f s\n', how, numel (nlabels), numel (model.History), seconds);
  save ('-binary', out, 'model');
end

function code = example_code ()
  % The lines of the example in the help, without their comment marks.
  text = help ('vorla_train');
  first = strfind (text, 'Example, data larger than memory');
  lines = strsplit (text(first:end), char (10));
  lines = lines(find (strncmp (strtrim (lines), 'fid = fopen', 11), 1):end);
  last = find (strncmp (strtrim (lines), 'fclose (fid);', 13), 1);
  code = strjoin (lines(1:last), char (10));
end
