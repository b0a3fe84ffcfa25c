function check_model (who, model)
% A model as vorla_train makes it; checked once by each function that takes one.
  required = {'Format', 'ClassNames', 'LabelKind', 'Features', 'Range', 'Templates', 'NLabels', ...
              'D', 'Vigilance', 'Alpha', 'ChoiceTest', 'Scale', 'Voters'};
  id = ['vorla:' who ':model'];
  if ~(isstruct (model) && isscalar (model))
    error (id, 'vorla_%s: model must be the struct that vorla_train returns; %s given', who, describe (model));
  end
  missing = required(~isfield (model, required));
  if ~isempty (missing)
    error (id, 'vorla_%s: model lacks the fields%s of a model that vorla_train returns', ...
           who, sprintf (' %s', missing{:}));
  end
  if ~(ischar (model.Format) && strcmp (model.Format, 'vorla model 1'))
    error (id, 'vorla_%s: model.Format must be ''vorla model 1''; %s given', who, describe (model.Format));
  end
  if iscell (model.Templates) ~= (model.Voters > 1) || numel (as_list (model.Templates)) ~= model.Voters ...
     || numel (as_list (model.NLabels)) ~= model.Voters
    error (id, 'vorla_%s: model.Templates and model.NLabels must hold the %d networks of model.Voters', ...
           who, model.Voters);
  end
end

function list = as_list (value)
  if iscell (value)
    list = value;
  else
    list = {value};
  end
end
