classdef string
  % A stand-in for MATLAB's string class, for Octave (which has none): just what the layer
  % asks of a string array, so that its MATLAB paths for strings run in the tests.
  properties (Access = private)
    Text = {};
    Missing = [];
  end
  methods
    function s = string (text)
      if ischar (text)
        text = {text};
      end
      s.Text = text;
      s.Missing = cellfun (@(t) isnumeric (t) && isnan (t), text);
      s.Text(s.Missing) = {''};
    end
    function t = char (s)
      t = char (s.Text);
    end
    function t = cellstr (s)
      t = s.Text;
    end
    function m = ismissing (s)
      m = s.Missing;
    end
    function yes = isscalar (s)
      yes = numel (s.Text) == 1;
    end
    function n = numel (s, varargin)
      n = numel (s.Text);
    end
    function varargout = size (s, varargin)
      [varargout{1:max (nargout, 1)}] = size (s.Text, varargin{:});
    end
    function s = subsref (s, index)
      s.Text = subsref (s.Text, index);
      s.Missing = subsref (s.Missing, index);
    end
  end
end
