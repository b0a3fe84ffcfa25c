function [how, fill] = model_missing (model)
% A model's MissingValues and its fill values ('inside' and none for models
% made before the option).
  how = 'inside';
  fill = [];
  if isfield (model, 'MissingValues')
    how = model.MissingValues;
  end
  if isfield (model, 'Impute')
    fill = model.Impute;
  end
end
