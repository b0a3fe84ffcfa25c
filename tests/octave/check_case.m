function passed = check_case (name, ok, detail)
  % Reports one case of an Octave test script; returns ok for counting.
  if (! ok)
    if (nargin < 3)
      detail = "";
    end
    printf ("FAILED: %s %s\n", name, detail);
  end
  passed = ok;
end
