#!/usr/bin/env bash
# Times two or more builds of the MEX files on the rows of bench/compare.m (the same data for
# all), each run in its own Octave process, the builds taking turns, and prints the fastest
# time of each row for each build with its ratio to the first build's. Every row must give
# the same result bits in every build.
#
#   bash bench/compare_builds.sh [-r ROUNDS] [-w all|eval|fit] DIR_A DIR_B [DIR_C ...]
#
# Each DIR holds vorla_fit.mex and vorla_eval.mex; ROUNDS defaults to 3.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=3
which=all
while getopts r:w: option; do
  case $option in
    r) rounds=$OPTARG ;;
    w) which=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
(($# >= 2)) || { echo "usage: $0 [-r ROUNDS] [-w all|eval|fit] DIR_A DIR_B [DIR_C ...]" >&2; exit 2; }
dirs=()
for dir in "$@"; do
  dirs+=("$(cd "$dir" && pwd)")
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for ((round = 1; round <= rounds; round++)); do
  for ((b = 1; b <= ${#dirs[@]}; b++)); do
    dir=${dirs[b - 1]}
    echo "round $round, $dir" >&2
    octave-cli --no-gui --norc --no-history --quiet --eval \
      "addpath ('$dir'); addpath ('$root/bench'); r = compare ('$which', 'none'); save ('-binary', '$work/$b-$round.bin', 'r');" \
      > "$work/$b-$round.log" 2>&1 || { cat "$work/$b-$round.log"; exit 1; }
  done
done

names=$(printf "'%s';" "${dirs[@]}")
octave-cli --no-gui --norc --no-history --quiet --eval "
  names = {${names%;}};
  B = numel (names);
  for b = 1:B
    for k = 1:$rounds
      runs{b}{k} = load (sprintf ('$work/%d-%d.bin', b, k)).r;
    end
    printf ('%c: %s\n', 'A' + b - 1, names{b});
  end
  printf ('fastest of %d runs each, the builds taking turns\n\n', $rounds);
  first = runs{1}{1};
  printf ('%5s %6s %3s %6s %9s', 'phase', 'K', 'M', 'N', 'A s');
  for b = 2:B
    printf (' %9s %7s', [char('A' + b - 1) ' s'], [char('A' + b - 1) ' / A']);
  end
  printf ('\n');
  for i = 1:numel (first)
    best = zeros (1, B);
    for b = 1:B
      for k = 1:$rounds
        assert (strcmp (runs{b}{k}(i).digest, first(i).digest), ...
                'row %d: the results differ between runs or builds', i);
      end
      best(b) = min (cellfun (@(run) run(i).mex_s, runs{b}));
    end
    printf ('%5s %6d %3d %6d %9.4f', first(i).phase, first(i).K, first(i).M, first(i).N, best(1));
    printf (' %9.4f %7.3f', [best(2:end); best(2:end) / best(1)]);
    printf ('\n');
  end
  printf ('\nall %d rows: the same results in every build\n', numel (first));
"
