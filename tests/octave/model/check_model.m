% Self-check of the reference models against hand-derived runs.
% Run: octave-cli --no-gui --norc --eval "run('/work/main/tests/octave/model/check_model.m')"
% Errors on the first mismatch; prints "model self-check passed" otherwise.

addpath (fileparts (mfilename ('fullpath')));

function expect (cond, what)
  if (! cond)
    error ('check_model: %s', what);
  end
end

%% Training: two patterns, match tracking into a second node
[T, NL, LP, txt, e, af] = ref_vorla_fit ({[0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 1}, 3);
expect (isempty (e), 'worked training run refused');
expect (isequal (T, [0.2 0.2; 0.6 0.6]), 'worked training run Templates');
expect (isequal (NL, [1; 2]), 'worked training run NLabels');
expect (isequal (LP, 1), 'worked training run list_presentations');
expect (isequal (af, [0; 8; 19; 19]), 'worked training run flop feed');
expect (strcmp (txt, sprintf (['\nFAM training converged after 1 list presentation\n' ...
                               '0 inactive nodes detected (0.000000%% redundacy)\n' ...
                               '2 nodes created (100.000000%% inflation)\n' ...
                               '28 FLOPs and 21 comparisons in 0 seconds\n\n'])), ...
        'worked training run summary');

[~, ~, ~, txt4] = ref_vorla_fit ({[0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 4}, 3);
expect (! isempty (strfind (txt4, sprintf ('      Node #1 is candidate (CFV=0.599401)\n'))), 'oflag 4 candidate line');
expect (! isempty (strfind (txt4, sprintf ('      Node #1 (label 1) misclassifies pattern #2 - Engage MT (set rho=0.600000)\n'))), ...
        'oflag 4 MT line');
expect (! isempty (strfind (txt4, sprintf ('   Pattern #2 created  node #2 (label 2) during MT\n'))), 'created during MT');
expect (! isempty (strfind (txt4, sprintf ('   Pattern #1 selected node #1 (label 1)\n'))), 'selected line');
[~, ~, ~, txt2] = ref_vorla_fit ({[0.2; 0.6], [1; 2], 1, 0, 0.001, 1, 10, 0, 0, 2}, 3);
head = sprintf (['List presentation #1: 2 new nodes created, 0 node updates\n' ...
                 'List presentation #2: 0 new nodes created, 0 node updates\n\nFAM']);
expect (strncmp (txt2, head, numel (head)), 'oflag 2 presentation lines');

%% Training: learning rate 0.5 moves the upper corner half way
[T, ~, ~, ~, ~, af] = ref_vorla_fit ({[0.25; 0.5; 1.0], [1; 1; 1], 1, 0, 0, 0.5, 1, 0, 0, 0}, 3);
expect (isequal (T, [0.25 0.6875]), 'learning rate 0.5 box');
% pattern 3: match 4 flops + cfv 1, learn 4 + 2*1 + 2 = 8, comparisons 2 + 4
expect (isequal (af(3), 5 + 8 + 6), 'learning rate 0.5 flop feed');

%% Training: cap of 1 stops, trimming ignored, singular forms
[T, NL, LP, txt] = ref_vorla_fit ({[0.5 0.5], 3, 2, 0, 0.1, 1, 1.9, 1, 0, 3}, 3);
expect (isequal (LP, 1) && isequal (NL, 3) && isequal (T, [0.5 0.5 0.5 0.5]), 'cap of one');
expect (strcmp (txt, sprintf (['\nList presentation #1:\n   Pattern #1 created  node #1 (label 3)\n' ...
                               '   Summary: 1 new nodes created, 0 node updates\n' ...
                               '\nFAM training stopped after 1 list presentation\n' ...
                               'Trimming option ignored due to lack of convergence.\n' ...
                               '1 node created (100.000000%% inflation)\n' ...
                               '3 FLOPs and 0 comparisons in 0 seconds\n\n'])), 'cap of one text');

%% Training: no patterns
[T, NL, LP, txt] = ref_vorla_fit ({zeros(0, 3), zeros(0, 1), 3, 0.5, 0.1, 1, 5, 1, 1, 1}, 3);
expect (isequal (size (T), [0 6]) && isequal (size (NL), [0 1]) && isequal (LP, 0), 'no patterns results');
expect (strcmp (txt, sprintf (['\nFAM training converged after 0 list presentations\n' ...
                               '0 inactive nodes trimmed (0.000000%% redundacy)\n' ...
                               '0 nodes created (0.000000%% )\n3 FLOPs and 0 comparisons in 0 seconds\n\n'])), ...
        'no patterns text');

%% Training: D = 0 never passes the VT and prints -nan
[T, ~, LP, txt] = ref_vorla_fit ({[0.5; 0.5], [1; 1], 0, 0, 0.1, 1, 2, 0, 0, 4}, 3);
expect (isequal (LP, 2) && rows (T) == 4, 'D = 0 creates every time');
expect (! isempty (strfind (txt, 'fails VT (MFV=-nan < rho=0.000000)')), 'D = 0 VT line');

%% Training: non-integer labels never match
[T, NL, LP] = ref_vorla_fit ({[0.5; 0.5], [1.5; 1.5], 1, 0, 0.1, 1, 3, 0, 0, 0}, 3);
expect (isequal (LP, 3) && isequal (NL, ones (6, 1)), 'non-integer label');

%% Training: refusals in check order
[~, ~, ~, ~, e] = ref_vorla_fit ({1, 1, 1}, 3);
expect (strcmp (e, 'VORLA_FIT: 10 input arguments required.'), 'input count');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2; 3 4], 1, 2, 0.001, 1, 10, 0, 0, 0}, 2);
expect (strcmp (e, 'VORLA_FIT: 2nd input argument (PLabels) must be of type  2x1 or 1x2.'), 'labels shape');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2], 1, 2, 0.001, 1, 10, 0, 0, 0}, 2);
expect (strcmp (e, 'VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0].'), 'vigilance range');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2], 1, 1, 0.001, 1, 0.9, 0, 0, 0}, 3);
expect (strcmp (e, 'VORLA_FIT: 7th input argument (max_list_presentations) must  be greater than 0.'), 'cap range');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2], 1, 1, 0.001, 1, 1, 0, 0, ones(2, 3)}, 3);
expect (strcmp (e, 'VORLA_FIT: 10th input argument must be scalar.'), 'oflag matrix');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2], 1, 1, 0.001, 1, 1, 0, 0, {1}}, 3);
expect (strcmp (e, 'VORLA_FIT: 10th input argument (oflag) must be a full numeric or logical array, not cell.'), 'oflag cell');
[~, ~, ~, ~, e] = ref_vorla_fit ({[0.2; 0.6], [1 2], 1, 1, 0.001, 1, 1, 0, 0, 0}, 4);
expect (strcmp (e, 'VORLA_FIT: 3 output arguments required.'), 'output count');

%% Classification: the two-node example
args = {[0.1 0.2 0.3 0.4; 0.5 0.5 0.9 0.9], [1; 2], 2, 0.5, 0.01, 1, [0.2 0.3], 0, 3};
[Pr, txt, e, af] = ref_vorla_eval (args, 1);
expect (isempty (e) && isequal (Pr, 1) && isequal (af, 23), 'classification example results');
expect (strcmp (txt, sprintf (['\nList presentation of 1 patterns:\n' ...
                               '   Pattern #1 is being presented\n' ...
                               '      Node #1 is candidate (CFV=0.993789)\n' ...
                               '      Node #2 fails VT (MFV=0.350000 < rho=0.500000)\n' ...
                               '   Pattern #1 selected by node #1 and classified as ''1''\n' ...
                               '\nFAM performance phase summary\n' ...
                               '1 inactive node detected (50.000000%%)\n' ...
                               '22 FLOPs and 10 comparisons in 0 seconds\n\n'])), 'classification example oflag 3');
args{9} = 2;
[~, txt] = ref_vorla_eval (args, 1);
expect (strcmp (txt, sprintf (['\nList presentation of 1 patterns:\n' ...
                               '   Pattern #1 selected by node #1 and classified as ''1''\n' ...
                               '\nFAM performance phase summary\n' ...
                               '1 inactive node detected (50.000000%%)\n' ...
                               '22 FLOPs and 10 comparisons in 0 seconds\n\n'])), 'classification example oflag 2');

%% Classification: refused patterns, truncated unknown label, no patterns
[Pr, txt] = ref_vorla_eval ({[0.1 0.2 0.3 0.4], 2.9, 2, 0.7, 0.01, 0, [0.9 0.9; 0.2 0.3], -2.7, 1}, 1);
expect (isequal (Pr, [-2; 2]), 'unknown label and truncated node label');
expect (! isempty (strfind (txt, sprintf ('unable to classify 1 patterns (50.000000%%)\n'))), 'unclassified line');
[Pr, txt] = ref_vorla_eval ({[0.1 0.2 0.3 0.4 7], 1, 2, 1, 0.01, 0, zeros(0, 2), 0, 1}, 1);
expect (isequal (size (Pr), [0 1]), 'no patterns size');
expect (strcmp (txt, sprintf (['\nFAM performance phase summary\n1 inactive node detected (100.000000%%)\n' ...
                               '9 FLOPs and 0 comparisons in 0 seconds\n\n'])), 'no patterns text');
[~, ~, e] = ref_vorla_eval ({[0.1 0.2 0.3 0.4], 1, 2, 1, 0.01, 0, zeros(10, 3), 0, 1}, 1);
expect (strcmp (e, 'VORLA_EVAL: 7th input argument (Patterns) must be of type  10x2.'), 'patterns shape');
[~, ~, e] = ref_vorla_eval ({[0.1 0.2 0.3 0.4], 1, 2, 1, 0.01, 0, [0 0], NaN, 1}, 1);
expect (strcmp (e, 'VORLA_EVAL: 8th input argument (unknown_label) must be a finite value in the 32-bit integer range.'), ...
        'unknown label range');
[~, ~, e] = ref_vorla_eval ({[0.1 0.2 0.3 0.4], 1, 2, 1, 0.01, 0, [0 0], 0, 1}, 0);
expect (strcmp (e, 'VORLA_EVAL: 1 output argument required.'), 'eval output count');

printf ('model self-check passed\n');
