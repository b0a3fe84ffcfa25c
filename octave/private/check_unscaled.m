function check_unscaled (who, X, D, name)
% With Scale 'none' the caller promises features in [0, 1], or a D that holds
% the data's extent. Otherwise boxes outgrow D: their match falls below every
% vigilance and most patterns end unclassified, with no error to say why.
  outside = (X < 0 | X > 1);
  if ~any (outside(:))
    return;
  end
  extent = sum (max (max (X, [], 1), 1) - min (min (X, [], 1), 0));
  if extent <= D
    return;
  end
  notify (['vorla:' who ':unscaled'], ...
           ['vorla_%s: with Scale ''none'', %d values in %d patterns of %s lie outside [0, 1] and the data span ' ...
            '%.6g against D = %.6g, so their boxes fail the vigilance test; use ''Scale'', ''auto'' (the ' ...
            'training range), scale the features into [0, 1], or give a D of at least %.6g'], ...
           who, sum (outside(:)), sum (any (outside, 2)), name, extent, D, extent);
end
