function [X, labels] = noisy_data (N, seed)
  % NOISY_DATA  A noisy problem with overlapping classes, the same on every host.
  %
  %   [X, labels] = noisy_data (N)
  %   [X, labels] = noisy_data (N, seed)
  %
  % N patterns of 10 features and 4 classes: 16 Gaussian clusters, 4 per class, with
  % centres uniform in [0.2, 0.8]^10 and a standard deviation of 0.12 in every feature, so
  % that the classes overlap; then 1% of the labels replaced by a class drawn at random.
  % seed (default 1) is any whole number in 1 .. 2^31 - 2.
  %
  % No call of rand or randn: a multiplicative congruential generator (multiplier 16807,
  % modulus 2^31 - 1, every product below 2^46, so exact in doubles) run as 1024 streams side
  % by side, and Box-Muller for the normal deviates, so that the data depend on no host's
  % own generators.
  if (nargin < 2)
    seed = 1;
  end
  M = 10;
  C = 4;
  K = 16;
  sd = 0.12;
  u = uniform (2 * N * M + 3 * N + K * M, seed);
  centres = 0.2 + 0.6 * reshape (u(1:K*M), K, M);
  u = u(K*M+1:end);
  % Box-Muller: two uniforms in (0, 1) give two normal deviates; the first is kept.
  a = u(1:N*M);
  b = u(N*M+1:2*N*M);
  Z = reshape (sqrt (-2 * log (a)) .* cos (2 * pi * b), N, M);
  cluster = min (K, 1 + floor (K * u(2*N*M+1:2*N*M+N)));
  labels = 1 + mod (cluster - 1, C);
  X = centres(cluster, :) + sd * Z;
  % 1% of the labels are noise.
  v = u(2*N*M+N+1:end);
  flip = v(1:N) < 0.01;
  noise = min (C, 1 + floor (C * v(N+1:2*N)));
  labels(flip) = noise(flip);
end

function u = uniform (n, seed)
  % n uniforms in (0, 1), as a column, from 1024 streams of x <- 16807 x mod (2^31 - 1),
  % stream k starting 2^20 k steps after seed along the one sequence, so that no two overlap.
  m = 2147483647;
  a = 16807;
  S = 1024;
  steps = ceil (n / S);
  if (steps > 2^20)
    error ('noisy_data: at most 2^30 / 23 patterns');
  end
  jump = a;
  for k = 1:20
    jump = mulmod (jump, jump, m);
  end
  s = zeros (S, 1);
  x = seed;
  for k = 1:S
    s(k) = x;
    x = mulmod (jump, x, m);
  end
  U = zeros (S, steps);
  for t = 1:steps
    s = mod (a * s, m);
    U(:, t) = s;
  end
  U = U';
  u = U(1:n)' / m;
end

function r = mulmod (A, s, m)
  % A x s mod m for A, s < 2^31, every product below 2^47.
  high = floor (A / 65536);
  low = A - 65536 * high;
  r = mod (mod (high * s, m) * 65536 + low * s, m);
end
