function [P, PL, vigilance] = fit_data (K, M, N)
  % K centres 1/K apart in the first coordinate, each with its own label, then N - K copies
  % of the centres moved by far less than 1/K.  The vigilance lies between the two, so the
  % presentation builds exactly K nodes and every later pattern widens its own centre's.
  C = [((0:K-1)' + 0.5) / K, rand(K, M - 1)];
  noise = 0.1 / (K * M);
  P = [C; C(mod ((0:N-K-1)', K) + 1, :) + noise * (2 * rand (N - K, M) - 1)];
  PL = [(1:K)'; mod((0:N-K-1)', K) + 1];
  vigilance = 1 - 0.5 / (K * M);
end
