function write_records (file, rows, chunk)
  % Writes rows records of the circle in the square to a binary file: three
  % doubles per record, row after row (two features in [0, 1), then the class,
  % 1 inside the circle of half the square's area, 2 outside), chunk records at
  % a time so that memory holds one chunk. The data follow from rand ('state', 42).
  %
  %   write_records ('/tmp/records.bin', 1e7, 1e6)
  if nargin < 3
    chunk = 1e6;
  end
  rand ('state', 42);
  radius2 = 1 / (2 * pi);
  fid = fopen (file, 'w');
  if fid < 0
    error ('write_records: cannot write %s', file);
  end
  closer = onCleanup (@() fclose (fid));
  written = 0;
  while written < rows
    n = min (chunk, rows - written);
    P = rand (n, 2);
    c = 1 + ((P(:,1) - 0.5).^2 + (P(:,2) - 0.5).^2 > radius2);
    fwrite (fid, [P, c]', 'double');
    written = written + n;
  end
end
