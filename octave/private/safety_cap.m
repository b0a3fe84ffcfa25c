function cap = safety_cap ()
% The most list presentations a run "until convergence" makes.
  cap = 1000;
end
