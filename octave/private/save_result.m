function save_result (folder, i, result)
% Writes a task's result under a name that appears only once it is complete.
  partial = fullfile (folder, sprintf ('partial%d.mat', i));
  save ('-binary', partial, 'result');
  rename (partial, fullfile (folder, sprintf ('result%d.mat', i)));
end
