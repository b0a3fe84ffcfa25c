function host_compare (runner)
  % The same calls on the real host and on the stand-in host (the program runner)
  % give the same bits: outputs, printed text (seconds aside) and error messages.
  rand ("state", 11);
  calls = {};
  for k = 1:150
    M = randi (3); N = randi (12);
    X = randi ([0 4], N, M) / 4;
    Y = randi (3, N, 1);
    if (rand < 0.1) Y(1) += 0.5; end
    D = M * (rand > 0.1);
    alphas = [0 0.001 1]; rates = [1 0.5 0.3];
    fit = {X, Y, D, randi([0 4]) / 4, alphas(randi(3)), rates(randi(3)), ...
           randi(5), randi([0 1]), randi([0 1]), randi([0 4])};
    if (rand < 0.15)
      odd = [-1 NaN 7 2.5];
      fit{randi(10)} = odd(randi(4));
    end
    calls(end+1, :) = {"fit", 3, fit};
    lo = randi ([0 4], 4, M) / 4; hi = lo + randi ([-1 3], 4, M) / 4;
    ealphas = [0 0.01];
    E = {[lo hi], randi(3, 4, 1), D, randi([0 4]) / 4, ealphas(randi(2)), randi([0 1]), ...
         [X; NaN(1, M)], randi([-2 2]), randi([0 3])};
    if (rand < 0.15)
      odd = [-1 NaN 5 2.5];
      E{randi(9)} = odd(randi(4));
    end
    calls(end+1, :) = {"eval", 1, E};
  end

  infile = [tempname() ".txt"];
  fid = fopen (infile, "w");
  for k = 1:rows (calls)
    a = calls{k, 3};
    fprintf (fid, "%s %d %d", calls{k, 1}, calls{k, 2}, numel (a));
    for j = 1:numel (a)
      v = double (a{j});
      fprintf (fid, " %d %d", rows (v), columns (v));
      fprintf (fid, " %s", cellstr (num2hex (v(:)))'{:});
    end
    fprintf (fid, "\n");
  end
  fclose (fid);
  [status, out] = system (sprintf ("'%s' < '%s'", runner, infile));
  delete (infile);
  if (status != 0)
    error ("host_compare: the runner failed: %s", out);
  end
  lines = strsplit (strtrim (out), "\n");
  if (numel (lines) != rows (calls))
    error ("host_compare: %d results for %d calls", numel (lines), rows (calls));
  end

  hex = @(s) sprintf ("%02x", double (s));
  bad = 0;
  for k = 1:rows (calls)
    a = calls{k, 3};
    outs = cell (1, calls{k, 2});
    try
      txt = evalc ("[outs{:}] = feval (['vorla_' calls{k, 1}], a{:});");
      here = "O";
      for j = 1:numel (outs)
        here = [here sprintf(" %d %d", rows (outs{j}), columns (outs{j}))];
        if (! isempty (outs{j}))
          here = [here sprintf(" %s", cellstr (lower (num2hex (outs{j}(:))))'{:})];
        end
      end
      txt = regexprep (txt, 'in \d+ seconds', 'in N seconds');
      if (isempty (txt)) here = [here " T -"]; else here = [here " T " hex(txt)]; end
    catch err
      here = ["E " hex(regexprep(err.message, '^[a-z_]+: ', ''))];
    end
    there = lines{k};
    if (there(1) == "O")
      t = strfind (there, " T ");
      body = there(t + 3:end);
      if (! strcmp (body, "-"))
        body = char (hex2dec (reshape (body, 2, [])')');
        body = regexprep (body, 'in \d+ seconds', 'in N seconds');
        there = [there(1:t + 2) hex(body)];
      end
    end
    if (! strcmp (here, there))
      bad += 1;
      if (bad <= 3)
        printf ("MISMATCH in call %d (%s)\n  Octave:   %s\n  stand-in: %s\n", k, calls{k, 1}, here(1:min(end, 300)), there(1:min(end, 300)));
      end
    end
  end
  printf ("%d passed, %d failed\n", rows (calls) - bad, bad);
  if (bad)
    error ("host_compare: %d calls differ", bad);
  end
end
