// Continuous class scores: for every pattern and class, the greatest choice value among the
// class's nodes that accept the pattern, so that patterns can be ranked by class.
#ifndef VORLA_SCORE_H
#define VORLA_SCORE_H

#include "host.h"
#include "marshal.h"

#include <cstdint>
#include <vector>

namespace vorla {

// Scores the pattern_count rows of the host matrix `patterns` against template_count template
// rows ([lower upper]) whose labels are class numbers 1 .. class_count. scores receives
// pattern_count x class_count values in column order: entry (j, c) is the greatest cfv among
// the nodes of class c + 1 that pass the vigilance test (and the CT when ct_option is 1) for
// pattern j, or 0 when none does; a cfv that is not a number counts as none. classes, when
// not null, receives pattern_count class numbers: that of the node classification selects
// for each pattern (vorla_eval's prediction), or 0 where no node accepts it. With
// class_count 0 only the classes are found, and the labels may be any class numbers from 1. Returns done,
// out_of_memory or interrupted (polled between groups of patterns), with every node released.
// threads: how many threads may share the patterns (0: every usable core); a call too small
// for them to pay runs on the calling thread alone. The results are the same for any number.
// Workers only write their own rows of scores and classes, which the caller allocated.
host::Outcome score(std::int32_t template_count, std::int32_t feature_count, double* const* template_rows,
                    const double* node_labels, double D, double vigilance, double alpha, std::int32_t ct_option,
                    std::int32_t pattern_count, const ColumnMatrix& patterns, std::int32_t class_count,
                    double* scores, double* classes, std::int32_t threads = 1);

// One network of a batch and its patterns: the inputs and outputs of a score call.
struct ScoreModel {
  std::int32_t template_count = 0;
  std::int32_t feature_count = 0;
  double* const* template_rows = nullptr;
  const double* node_labels = nullptr;
  std::int32_t pattern_count = 0;
  const ColumnMatrix* patterns = nullptr;
  double* scores = nullptr;
  double* classes = nullptr;
};

// score for each network of the batch, with the same D, vigilance, alpha, ct_option and
// class_count: the networks are shared out among the threads, each network on one, where
// there are two or more and enough work for them; otherwise they are scored in turn, each
// with the threads. Every network gets what its own call gives, for any number of threads.
host::Outcome score_batch(const std::vector<ScoreModel>& models, double D, double vigilance, double alpha,
                          std::int32_t ct_option, std::int32_t class_count, std::int32_t threads);

// The least work, in coordinate visits (patterns x nodes x features), that each thread of a
// score call must have for a call to take more than one (process-wide; tests set it to 1 so
// that small calls take the threaded path).
void set_thread_work_floor(std::int64_t visits);
std::int64_t thread_work_floor();

// How a call with class_count 0 finds the classes: each set of searches timing both ways on
// its first trial_patterns patterns (timed, the default, with 4096), or one way throughout
// (process-wide; tests use it to take each way, and short trials).
enum class ClassesAlone { timed, whole, classes };
void set_classes_alone(ClassesAlone way, std::int32_t trial_patterns = 4096);

}  // namespace vorla

#endif
