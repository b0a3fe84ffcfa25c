// The constants that decide how the searches go about their work: when a search index or a
// bound on the choice value is tried, kept or given up, and how often a long search polls.
// None of them changes a result, only how fast it comes; each was chosen from the runs
// described in doc/performance.md, on the machine described there.
#ifndef VORLA_TUNING_H
#define VORLA_TUNING_H

#include <cstdint>

namespace vorla {

// Below this many nodes the scan is as fast as the vigilance test's search index (the circle
// in the square, about 100 nodes, always scans).
constexpr std::int32_t index_min_nodes = 512;
// The bounds on the choice value measure through an index of their own, and are taken only
// where it has as many nodes to skip.
constexpr std::int32_t reach_min_nodes = index_min_nodes;

// A first index is built once the scans have measured this many times the bank's blocks, so
// that the build never weighs much on short calls: it writes a few bytes per node and cell
// row to fresh memory, which cost about 200 scans of the whole bank on the idle machine
// measured (a build for 14,000 nodes of 8 features took 1.7 ms, 215 scans of 7.9 us; with
// 1024 the classification of 20,000 patterns took 0.0356 s, with 256 0.0309 s, with 128
// 0.0303 s). Waiting for as much scan work as a build bounds the loss of a build that does
// not pay.
constexpr std::int64_t build_payback = 256;
// Like the index, a bound on the choice value waits for this many patterns scanned (each a
// scan of the whole bank), about what building its index costs.
constexpr std::int32_t reach_payback = static_cast<std::int32_t>(build_payback);

// What a node reached through an index costs, in scanned nodes: about twice, since the scan
// streams blocks of sixteen. An index is kept (or a bound taken) while a pattern costs it
// fewer nodes than the scan's, divided by this.
constexpr double index_node_cost = 2.0;
// What a node measured through a stage's index costs when training's bound chooses its
// cuts: it is measured alone, from a box read out of place, while the scan takes sixteen at a
// time and the choice among every node is vectorized too. At 2 the cuts came out too low
// (79 nodes measured per pattern in the first stage, against 23 at 8); 4 gave 1.15 times
// the speed of 2, 8 gave 1.30, and 12 and 16 no more than 8.
constexpr double stage_node_cost = 8.0;
// While the scan is chosen, every this many patterns go through the index again, so that
// the choice follows a change in the data.
constexpr std::int64_t try_period = 64;

// Coordinate visits (node x coordinate x pattern) between two interrupt polls of one
// measure call, unless a test sets another: a few milliseconds of kernel time, against a
// poll of a few nanoseconds.
constexpr std::int64_t poll_visits_default = std::int64_t{1} << 22;
// Trace lines printed between two interrupt polls of a traced search: a line per node takes
// long enough to be worth a poll every so many lines.
constexpr std::int32_t traced_nodes_per_poll = 1024;

}  // namespace vorla

#endif
