function X = category_positions (who, X, model, name)
% Patterns for a model (vorla_predict, continued training, vorla_rules): each
% categorical feature as the position of its category in the model's list,
% NaN where it is missing or a category that training never saw (counted in
% a warning), numeric features as given.
  if nargin < 4
    name = 'X';
  end
  features = categorical_features (model);
  text = is_text (X);
  if text
    names = text_values (X);
    X = zeros (size (names));
  else
    X = check_patterns (who, X, name);
  end
  if size (X, 2) ~= model.Features
    error (['vorla:' who ':features'], 'vorla_%s: model has %d features but %s has %d columns', ...
           who, model.Features, name, size (X, 2));
  end
  if text && numel (features) < model.Features
    error (['vorla:' who ':X'], ['vorla_%s: %s holds text, but the model''s feature %d is numeric; ' ...
           'give numeric patterns (with the codes of the categories)'], who, name, ...
           find (~ismember (1:model.Features, features), 1));
  end
  unseen = 0;
  for i = 1:numel (features)
    j = features(i);
    known = model.Categories{i};
    if text ~= iscellstr (known)
      error (['vorla:' who ':X'], 'vorla_%s: the model knows the categories of feature %d as %s, but %s gives %s', ...
             who, j, kind_text (iscellstr (known)), name, kind_text (text));
    end
    if text
      missing = cellfun ('isempty', names(:,j));
      [~, position] = ismember (names(:,j), known);
    else
      missing = isnan (X(:,j));
      [~, position] = ismember (X(:,j), known);
    end
    unseen = unseen + sum (position == 0 & ~missing);
    position(missing | position == 0) = NaN;
    X(:,j) = position;
  end
  if unseen > 0
    notify (['vorla:' who ':category'], ['vorla_%s: %d values of %s are categories that training never saw; ' ...
            'they count as missing values'], who, unseen, name);
  end
end

function text = kind_text (is_text)
  if is_text
    text = 'text';
  else
    text = 'numbers';
  end
end
