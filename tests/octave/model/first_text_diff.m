function first_text_diff (a, b)
  % Prints the first line where the texts a (model) and b (MEX) differ.
  la = strsplit (a, "\n");
  lb = strsplit (b, "\n");
  for i = 1:max (numel (la), numel (lb))
    sa = '<none>';
    sb = '<none>';
    if (i <= numel (la)), sa = la{i}; end
    if (i <= numel (lb)), sb = lb{i}; end
    if (! strcmp (sa, sb))
      printf ('first differing text line %d:\n  model: "%s"\n  MEX:   "%s"\n', i, sa, sb);
      return;
    end
  end
end
