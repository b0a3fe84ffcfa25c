// Argument checks shared by both entry points: class refusal, the scalar test, integer
// conversion and the screening of matrix contents. A check formats its message into the
// entry point's message buffer and says whether the argument failed; the entry point
// raises the message.
#ifndef VORLA_ARGS_H
#define VORLA_ARGS_H

#include "host.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vorla {

class MessageBuffer {
 public:
  explicit MessageBuffer(const char* function_name) : function_name_(function_name) {}

  // Formats a message whose leading "%s" receives the function name. Returns true, so
  // that a failing check can end with `return messages.fail(...)`.
  template <class... Values>
  bool fail(const char* format, Values... values) {
    std::snprintf(buffer_, sizeof buffer_, format, function_name_, values...);
    return true;
  }

  const char* text() const { return buffer_; }

 private:
  const char* function_name_;
  char buffer_[1024] = {};
};

// An input as the messages name it: its 1-based position and its name.
struct Argument {
  const mxArray* array;
  int position;
  const char* name;
};

const char* ordinal(int position);

// Refuses arrays that vorla does not read as numbers: char, cell, struct, sparse,
// function handles and objects.
bool refuse_class(const Argument& argument, MessageBuffer& messages);

// The messages of a scalar argument: when it has other than two dimensions, when neither
// dimension is 1. Null means the common "%s: <ord> input argument (<name>) must be a scalar.".
struct ScalarMessages {
  const char* not_two_dimensional = nullptr;
  const char* not_a_vector = nullptr;
};

// Class refusal and the scalar test; on success value is the host's scalar read. An empty
// vector fails with the not-two-dimensional message, since it holds no value to read.
bool read_scalar(const Argument& argument, MessageBuffer& messages, double& value,
                 ScalarMessages scalar_messages = {});

// Class refusal, the two-dimension test and the 32-bit size limits of a matrix argument;
// on success shape holds its dimensions.
bool read_matrix_shape(const Argument& argument, std::int64_t max_cols, MessageBuffer& messages,
                       host::Shape& shape);

// Class refusal and the tests of a label vector of the given length (N x 1 or 1 x N), whose
// entries must truncate to 32-bit integers.
bool check_label_vector(const Argument& argument, std::int32_t length, MessageBuffer& messages);

// D, vigilance and alpha: the 3rd, 4th and 5th inputs of both functions. With vigilances
// given, vigilance may be a vector too: vigilances receives its values (one for a scalar) and
// vigilance the first.
bool read_network_parameters(const mxArray* const inputs[], MessageBuffer& messages, double& D,
                             double& vigilance, double& alpha, std::vector<double>* vigilances = nullptr);

// A scalar option that must truncate to 0 or 1.
bool read_switch(const Argument& argument, MessageBuffer& messages, std::int32_t& value);

// Truncation toward zero, when the result is a 32-bit integer; NaN and infinities are not.
bool truncate_to_int32(double value, std::int32_t& result);

// True when every real element is finite (integer and logical classes always are).
bool all_finite(const mxArray* array, std::int64_t element_count);
// Whether no real element is +Inf or -Inf (NaN passes).
bool all_finite_or_nan(const mxArray* array, std::int64_t element_count);

// True when every real element truncates to a 32-bit integer.
bool all_truncate_to_int32(const mxArray* array, std::int64_t element_count);

// Ends a call that training or classification could not finish (its outputs already
// cleared): hands an interrupt back to the host, or raises the out-of-memory message.
void end_failed_call(host::Outcome outcome, MessageBuffer& messages);

}  // namespace vorla

#endif
