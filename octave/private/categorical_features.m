function features = categorical_features (model)
% The indices of the categorical features of a model (or of a coding); models
% made before features could be categorical have none.
  features = [];
  if isfield (model, 'CategoricalPredictors')
    features = double (model.CategoricalPredictors(:)');
  end
end
