function [u, state] = seeded_uniform (state, rows, cols)
% rows x cols numbers in (0, 1), column by column, from the layer's own
% generator: the same numbers in MATLAB and Octave for the same seed, and the
% host's own generator is neither used nor disturbed. state is a seed (a whole
% number in [0, 2^32)) or the state that a previous call returned, which
% continues its stream.
%
% The generator combines two multiplicative congruential generators
% (moduli 2147483563 and 2147483399, multipliers 40014 and 40692) through
% the difference of their states, with a period near 2.3e18. Every product is split so that it
% stays below 2^53, which keeps the arithmetic exact in doubles on any host.
% A seed becomes the two states through x -> x^5 modulo each modulus, a
% one-to-one map that scatters neighbouring seeds (a linear map would leave
% seeds 1, 2, 3 with related streams); distinct seeds give distinct states.
  m = [2147483563, 2147483399];
  a = [40014, 40692];
  if isscalar (state)
    x = 1 + mod (state + [1234567, 7654321], m - 1);
    for j = 1:2
      square = times_mod (x(j), x(j), m(j));
      x(j) = times_mod (times_mod (square, square, m(j)), x(j), m(j));
    end
    state = x;
  end
  n = rows * cols;
  u = zeros (n, 1);
  % Blocks of values from multiples a^k (k = 1..block) of the last state.
  persistent powers;
  block = 65536;
  if isempty (powers)
    % a^(k+h) = a^h * a^k: each step doubles the table.
    powers = a;
    while size (powers, 1) < block
      h = size (powers, 1);
      powers = [powers; times_mod(powers(h,1), powers(:,1), m(1)), times_mod(powers(h,2), powers(:,2), m(2))];
    end
  end
  done = 0;
  while done < n
    count = min (block, n - done);
    x1 = times_mod (state(1), powers(1:count,1), m(1));
    x2 = times_mod (state(2), powers(1:count,2), m(2));
    z = mod (x1 - x2, m(1) - 1);
    z(z == 0) = m(1) - 1;
    u(done + (1:count)) = z / m(1);
    state = [x1(end), x2(end)];
    done = done + count;
  end
  u = reshape (u, rows, cols);
end

function r = times_mod (x, y, m)
% mod (x * y, m) exactly for 0 <= x, y < m < 2^31: y is split at 2^16, so no
% product or sum passes 2^48.
  high = floor (y / 65536);
  low = y - high * 65536;
  r = mod (mod (x * high, m) * 65536 + x * low, m);
end
