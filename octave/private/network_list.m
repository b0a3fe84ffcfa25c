function [templates, nlabels] = network_list (model)
% The networks of a model as 1 x V cells, whatever its number of voters.
  templates = model.Templates;
  nlabels = model.NLabels;
  if ~iscell (templates)
    templates = {templates};
    nlabels = {nlabels};
  end
end
