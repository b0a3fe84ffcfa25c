function cap = presentation_cap (opts)
% The cap on list presentations that the engine is given: MaxPresentations,
% or the safety cap for "until convergence" (Inf).
  cap = opts.MaxPresentations;
  if isinf (cap)
    cap = safety_cap ();
  end
end
