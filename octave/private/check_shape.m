function check_shape (who, X, count)
  if size (X, 1) ~= count
    hint = '';
    if size (X, 2) == count
      hint = '; transpose X?';
    end
    error (['vorla:' who ':shape'], 'vorla_%s: X must have one row per pattern: %d x %d given for %d labels%s', ...
           who, size (X, 1), size (X, 2), count, hint);
  end
end
