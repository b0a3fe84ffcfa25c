function [names, index, added] = continue_classes (who, names0, kind0, labels)
% Class numbers of the labels of a continued model: a class the model knows
% keeps its number; new classes follow the model's, in sorted order. names is
% the model's class list with the new classes appended in its own form.
  id = ['vorla:' who ':labels'];
  [found, found_index, kind] = label_classes (who, labels);
  text_kinds = {'cellstr', 'char', 'string'};
  if any (strcmp (kind0, text_kinds)) ~= any (strcmp (kind, text_kinds))
    error (id, 'vorla_%s: the model''s labels are of kind %s but %s labels came; continue with labels of the model''s kind', ...
           who, kind0, kind);
  end
  if any (strcmp (kind0, text_kinds))
    % Char rows compare without their padding, as the names they stand for.
    given = cellstr (found);
    names = cellstr (names0);
    if any (strcmp ('char', {kind0, kind}))
      given = deblank (given);
      names = deblank (names);
    end
    [known, where] = ismember (given, names);
  else
    % Matched in the model's own class: int64 and uint64 classes beyond 2^53
    % would merge with their neighbours through double.
    [same, exact] = exact_cast (found, class (names0));
    if ~all (exact)
      error (id, 'vorla_%s: the model''s labels are %s, which cannot hold the label %s', ...
             who, class (names0), describe (found(find (~exact, 1))));
    end
    [known, where] = ismember (same, names0);
  end
  added = sum (~known);
  where(~known) = size (names0, 1) + (1:added);
  index = where(found_index);
  index = double (index(:));
  fresh = found(~known,:);
  if ischar (names0)
    if iscell (fresh)
      fresh = char (fresh);
    end
    width = max (size (names0, 2), size (fresh, 2));
    names = [names0, repmat(' ', size (names0, 1), width - size (names0, 2)); ...
             fresh, repmat(' ', size (fresh, 1), width - size (fresh, 2))];
  elseif iscell (names0)
    names = [names0(:); cellstr(fresh)];
  else
    names = [names0(:); feval(class (names0), fresh(:))];
  end
end
