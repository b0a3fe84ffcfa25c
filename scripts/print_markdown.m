function print_markdown (title, first, names, cells)
% Prints a Markdown table for the measuring scripts: title, then a header of the first
% column's name and names, the other columns right-aligned, one row per row of cells.
  printf ('\n%s\n\n| %s | %s |\n|---|%s\n', title, first, strjoin (names, ' | '), repmat ('---:|', 1, numel (names)));
  for i = 1:rows (cells)
    printf ('| %s |\n', strjoin (cells(i,:), ' | '));
  end
end
