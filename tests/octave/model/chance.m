function b = chance (p)
  % True with probability p.
  b = rand () < p;
end
