function s = ref_cf (x)
  % One double in C "%f" form, including the C spelling of NaN and
  % infinities ("nan", "-nan", "inf", "-inf"); the sign of a NaN is its
  % sign bit.
  if (isnan (x))
    if (bitand (typecast (double (x), 'uint64'), bitshift (uint64 (1), 63)))
      s = '-nan';
    else
      s = 'nan';
    end
  elseif (isinf (x))
    if (x > 0)
      s = 'inf';
    else
      s = '-inf';
    end
  else
    s = sprintf ('%f', x);
  end
end
