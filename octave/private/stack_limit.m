function bytes = stack_limit ()
% The most bytes of training patterns that learn_batch stacks into one call,
% and that vorla_crossval plans at once: 16 MB, which a large data set's part
% exceeds alone (it is then trained as it lies), so that training many
% networks at once costs little memory beyond the serial run's.
  bytes = 2^24;
end
