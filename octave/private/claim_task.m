function [task, name, i] = claim_task (folder, owner)
% The next unclaimed task of a run_tasks folder: a rename claims it, which
% only one process can win. i is [] when every task is taken.
  task = [];
  name = '';
  i = [];
  numbers = sort (cellfun (@(f) sscanf (f, 'task%d.mat'), folder_files (folder, '^task\d+\.mat$')));
  for j = numbers
    mine = fullfile (folder, sprintf ('claimed%d.%s', j, owner));
    if rename (fullfile (folder, sprintf ('task%d.mat', j)), mine) == 0
      held = load (mine);
      task = held.task;
      name = held.name;
      i = j;
      return;
    end
  end
end
