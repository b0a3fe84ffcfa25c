// Turning fuzzer bytes into a call of vorla_fit, vorla_learn or vorla_eval on the stand-in host, and the
// message each decoded call must end with. The decoder leans toward well-formed arguments
// (so that training and classification run), and every argument can instead become an array
// of any class, 0 to 4 dimensions (zero-size and enormous ones included) and awkward values.
#ifndef VORLA_FUZZ_CALL_H
#define VORLA_FUZZ_CALL_H

#include "standin.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fuzz {

// Reads the fuzzer's bytes front to back; past the end every read gives 0, which the decoder
// takes as "the well-formed choice", so short inputs still make sound calls.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  double raw_double();

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

enum class Kind {
  Double, Complex, Single, Int8, Uint8, Int16, Uint16, Int32, Uint32, Int64, Uint64, Logical,
  Char, Cell, Struct, Sparse, FunctionHandle, Unknown
};

// One input as vorla should see it: class, dimensions as the host reports them, and the real
// values in column order read back as doubles (numeric and logical kinds only).
struct Input {
  Kind kind = Kind::Double;
  std::vector<std::uint64_t> dims;
  std::vector<double> values;
  standin::ArrayPtr array;
};

struct Call {
  int nlhs = 0;
  // How the node bank measures (an index into vorla::MatchPath, 0 automatic); read after
  // the inputs, so that a seed without that byte keeps the automatic choice.
  int match_path = 0;
  // Whether the searches may use the search index (0 automatic, 1 always, 2 never); read
  // after the path, so that older seeds keep the automatic choice.
  int index_use = 0;
  // Whether the host keeps an operation counter; from the same byte as index_use, so that
  // older seeds keep the counter.
  bool flop_counter = true;
  std::vector<Input> inputs;
  std::vector<const mxArray*> arrays() const;
  std::string describe() const;
};

Call decode_fit(ByteReader& bytes);
Call decode_learn(ByteReader& bytes);
Call decode_eval(ByteReader& bytes);
// A vorla_score call: the first seven inputs as vorla_eval's, then class_count.
Call decode_score(ByteReader& bytes);
// Whether a score call's Scores, N x class_count, has more bytes than size_t can state.
bool score_bytes_wrap(const Call& call);

// Sets the node bank's match path and index use that the call chose, for the banks built from
// now on.
void apply_bank_choices(const Call& call);

// The first seven inputs of a classification call (vorla_eval, vorla_score) read plainly, for
// the targets' reference runs: each box's choice denominator, and its size once grown to
// take a pattern, with the arithmetic written out in its own order.
struct PlainNetwork {
  explicit PlainNetwork(const Call& call);
  double lower(std::uint64_t r, std::uint64_t i) const { return T[i * K + r]; }
  double upper(std::uint64_t r, std::uint64_t i) const { return T[(M + i) * K + r]; }
  // The size of box r grown to take pattern j.
  double grown_size(std::uint64_t r, std::uint64_t j) const;
  // The same, but a missing feature (NaN) of the pattern lies inside the box: vorla_score's
  // and vorla_learn's rule.
  double grown_size_missing(std::uint64_t r, std::uint64_t j) const;

  const std::vector<double>& T;
  const std::vector<double>& P;
  std::uint64_t K, M, N;
  double D, vigilance, alpha, Tu;
  bool ct;
  std::vector<double> denominator;
};

// The error the call must raise, or nothing when it must succeed.
std::optional<std::string> expected_fit_error(const Call& call);
std::optional<std::string> expected_learn_error(const Call& call);
std::optional<std::string> expected_eval_error(const Call& call);
std::optional<std::string> expected_score_error(const Call& call);

// Checks what every call owes: no misuse of the host, no warning, no free-store block left
// behind, and exactly the expected error or none. True when the call succeeded, as it had to.
bool check_outcome(const char* target, const Call& call, const std::optional<std::string>& expected,
                   const standin::CallResult& result);

// Reports a broken promise with the call that broke it and aborts, so the fuzzer keeps the input.
[[noreturn]] void violation(const char* target, const std::string& what, const Call& call);

}  // namespace fuzz

#endif
