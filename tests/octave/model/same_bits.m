function ok = same_bits (a, b)
  % True when b is a real full double array of a's size holding the same bits.
  ok = isa (b, 'double') && isreal (b) && ! issparse (b) && isequal (size (a), size (b)) ...
       && isequal (typecast (a(:), 'uint64'), typecast (b(:), 'uint64'));
end
