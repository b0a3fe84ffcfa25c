function [value, exact] = exact_cast (given, kind)
% given in the class kind, and where that holds its value exactly. Labels
% compare in their own class: through double, int64 and uint64 labels
% beyond 2^53 would merge with their neighbours.
  given = full (given);
  floating = isfloat (given);
  if strcmp (kind, 'logical') && floating
    % logical refuses NaN; a NaN is no class anyway.
    plain = given;
    plain(isnan (given)) = 0;
    value = logical (plain);
  else
    value = feval (kind, given);
  end
  % Back in given's class, compared there: fractions, saturation and the
  % digits a float drops all show.
  exact = (feval (class (given), value) == given);
  if floating && isinteger (value)
    % The largest integer of 64 bits rounds up to a power of two in a
    % float, so saturation at the top end would pass the round trip; that
    % power of two, intmax + 1, is exact in every float.
    bits = sscanf (kind(find (kind >= '0' & kind <= '9', 1):end), '%d');
    top = 2 ^ (bits - (kind(1) == 'i'));
    exact = exact & (given < top);
  end
end
