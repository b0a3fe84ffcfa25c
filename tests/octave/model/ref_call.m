function [outs, txt, err] = ref_call (fname, args, nout)
  % Call the MEX function fname with the inputs in args and nout requested
  % outputs (0 means a plain statement call).  Returns the outputs, the text
  % printed during the call (mexPrintf output and warnings) and the error
  % message with the "fname: " prefix removed ('' when the call succeeded).
  outs = cell (1, nout);
  err = '';
  ee = [];
  fh = str2func (fname);
  lhs = {'', 'outs{1} = ', '[outs{1}, outs{2}] = ', '[outs{1}, outs{2}, outs{3}] = ', ...
         '[outs{1}, outs{2}, outs{3}, outs{4}] = ', '[outs{1}, outs{2}, outs{3}, outs{4}, outs{5}] = '};
  cmd = ['try, ' lhs{nout+1} 'fh (args{:}); catch ee, end'];
  txt = evalc (cmd);
  if (! isempty (ee))
    err = regexprep (ee.message, ['^' fname ': '], '', 'once');
  end
end
