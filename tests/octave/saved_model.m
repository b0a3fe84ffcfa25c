function loaded = saved_model (model, format)
  % The model as save writes it in format ('' for Octave's default) and load reads it
  % back; the file is removed whatever happens.
  file = [tempname() ".mat"];
  cleanup = onCleanup (@() remove_file (file));
  if (isempty (format))
    save (file, "model");
  else
    save (format, file, "model");
  end
  loaded = load (file).model;
end

function remove_file (file)
  if (exist (file, "file"))
    delete (file);
  end
end
