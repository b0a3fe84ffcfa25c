function cores = core_count ()
% The cores this process may use, as the host tells them.
  if exist ('OCTAVE_VERSION', 'builtin')
    cores = nproc ();
  else
    cores = maxNumCompThreads ();
  end
end
