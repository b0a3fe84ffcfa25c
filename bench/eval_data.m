function [T, NL, P] = eval_data (K, M, N)
  % K random boxes (corners in [0, 1], extents up to 0.3), labels 1 to 7, N random patterns.
  L = 0.7 * rand (K, M);
  T = [L, L + 0.3 * rand(K, M)];
  NL = 1 + mod ((0:K-1)', 7);
  P = rand (N, M);
end
