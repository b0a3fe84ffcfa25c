% vorla Fuzzy ARTMAP box classifier
% Version 1.7.1 (R2017b) 10-Dec-2026
%
% A Fuzzy ARTMAP classifier whose category nodes are boxes, for MATLAB
% (R2017b or later) and GNU Octave.
%
% Models: options by name, labels of any kind, scaling, voting
%   vorla_train      - Train a model (one network or a voting group) on labelled data, or continue one.
%   vorla_predict    - Classify patterns with a model; labels come back in their own kind.
%   vorla_crossval   - Stratified k-fold cross-validation over a grid of settings.
%   vorla_rules      - List the boxes of a model as if-then rules in the data's units.
%
% Training and classification (compiled MEX functions)
%   vorla_fit        - Train: boxes and their labels from labelled patterns.
%   vorla_eval       - Classify new patterns with the boxes that vorla_fit returned.
%   vorla_learn      - Train as vorla_fit, with tolerant match tracking, progress and given nodes.
%   vorla_score      - Per class, the best choice value of its boxes for each pattern.
%
% Helpers
%   vorla_scale      - Scale feature columns into [0, 1]; new data with the training range.
%   vorla_plot_boxes - Draw the boxes of a two-feature model over its data.
%
% Demonstration
%   vorla_demo       - Circle in the square and Fisher's iris data, with pictures.
%
% help NAME gives the call forms, arguments and examples of each function.
% In GNU Octave, test NAME also runs its self-tests and demo NAME its
% demonstrations; MATLAB has no such commands for them.

%!test
%! ## The overview lists exactly the vorla functions that sit beside it.
%! folder = fileparts (which ("vorla"));
%! listed = regexp (help ("vorla"), '^\s+(vorla_\w+)\s+- ', 'tokens', 'lineanchors');
%! listed = sort (cellfun (@(t) t{1}, listed, "UniformOutput", false));
%! files = dir (fullfile (folder, "vorla_*.m"));
%! present = sort (strrep ({files.name}, ".m", ""));
%! if (! isequal (listed, present))
%!   error ("octave/Contents.m lists %s; the folder holds %s: give every function one line there", ...
%!          strjoin (listed, ", "), strjoin (present, ", "));
%! endif
%! for name = listed
%!   assert (any (exist (name{1}) == [2 3]), true);
%! endfor
