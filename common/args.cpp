#include "args.h"

#include "marshal.h"

#include <cmath>
#include <limits>
#include <type_traits>

namespace vorla {
namespace {

const char* refused_class_name(const mxArray* array) {
  if (mxIsSparse(array)) return "sparse";
  switch (mxGetClassID(array)) {
    case mxDOUBLE_CLASS: case mxSINGLE_CLASS: case mxLOGICAL_CLASS:
    case mxINT8_CLASS: case mxUINT8_CLASS: case mxINT16_CLASS: case mxUINT16_CLASS:
    case mxINT32_CLASS: case mxUINT32_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS:
      return nullptr;
    case mxCHAR_CLASS: return "char";
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
  }
}

bool fits_int32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

}  // namespace

const char* ordinal(int position) {
  static const char* const names[] = {"0th", "1st", "2nd", "3rd",  "4th",  "5th",  "6th",  "7th",
                                      "8th", "9th", "10th", "11th", "12th", "13th", "14th", "15th", "16th"};
  return position >= 0 && position <= 16 ? names[position] : "nth";
}

bool refuse_class(const Argument& argument, MessageBuffer& messages) {
  const char* refused = refused_class_name(argument.array);
  if (!refused) return false;
  return messages.fail("%s: %s input argument (%s) must be a full numeric or logical array, not %s.",
                       ordinal(argument.position), argument.name, refused);
}

bool read_scalar(const Argument& argument, MessageBuffer& messages, double& value,
                 ScalarMessages scalar_messages) {
  if (refuse_class(argument, messages)) return true;
  auto fail = [&](const char* format) {
    if (format) return messages.fail(format);
    return messages.fail("%s: %s input argument (%s) must be a scalar.", ordinal(argument.position),
                         argument.name);
  };
  host::Shape shape = host::shape_of(argument.array);
  if (shape.dimension_count != 2) return fail(scalar_messages.not_two_dimensional);
  if (shape.rows != 1 && shape.cols != 1) return fail(scalar_messages.not_a_vector);
  if (shape.rows == 0 || shape.cols == 0) return fail(scalar_messages.not_two_dimensional);
  value = mxGetScalar(argument.array);
  return false;
}

bool read_matrix_shape(const Argument& argument, std::int64_t max_cols, MessageBuffer& messages,
                       host::Shape& shape) {
  if (refuse_class(argument, messages)) return true;
  shape = host::shape_of(argument.array);
  const char* const ord = ordinal(argument.position);
  if (shape.dimension_count != 2)
    return messages.fail("%s: %s input argument (%s) must be  a two dimensional array (matrix).", ord, argument.name);
  if (shape.rows > std::numeric_limits<std::int32_t>::max() || shape.cols > max_cols)
    return messages.fail("%s: %s input argument (%s) must have at most 2147483647 rows and %lld columns.", ord,
                         argument.name, static_cast<long long>(max_cols));
  return false;
}

bool check_label_vector(const Argument& argument, std::int32_t length, MessageBuffer& messages) {
  if (refuse_class(argument, messages)) return true;
  const host::Shape shape = host::shape_of(argument.array);
  const char* const ord = ordinal(argument.position);
  if (shape.dimension_count != 2) return messages.fail("%s: %s input argument (%s) must a vector.", ord, argument.name);
  if (!((shape.rows == length && shape.cols == 1) || (shape.rows == 1 && shape.cols == length)))
    return messages.fail("%s: %s input argument (%s) must be of type  %dx1 or 1x%d.", ord, argument.name, length,
                         length);
  if (!all_truncate_to_int32(argument.array, length))
    return messages.fail("%s: %s input argument (%s) must hold finite labels in the 32-bit integer range.", ord,
                         argument.name);
  return false;
}

bool read_network_parameters(const mxArray* const inputs[], MessageBuffer& messages, double& D,
                             double& vigilance, double& alpha, std::vector<double>* vigilances) {
  if (read_scalar({inputs[2], 3, "D"}, messages, D)) return true;
  if (!(D >= 0)) return messages.fail("%s: 3rd input argument (D) must be non-negative.");
  const host::Shape shape = host::shape_of(inputs[3]);
  if (vigilances && shape.dimension_count == 2 && (shape.rows == 1 || shape.cols == 1) && shape.rows * shape.cols > 1 &&
      !refused_class_name(inputs[3])) {
    vigilances->resize(static_cast<std::size_t>(shape.rows * shape.cols));
    visit_real_data(inputs[3], [&](const auto* data) {
      for (std::size_t k = 0; k < vigilances->size(); ++k) (*vigilances)[k] = static_cast<double>(data[k]);
    });
  } else {
    if (read_scalar({inputs[3], 4, "vigilance"}, messages, vigilance)) return true;
    if (vigilances) vigilances->assign(1, vigilance);
  }
  if (vigilances) vigilance = vigilances->front();
  const std::size_t count = vigilances ? vigilances->size() : 1;
  for (std::size_t k = 0; k < count; ++k) {
    const double v = vigilances ? (*vigilances)[k] : vigilance;
    if (!(v >= 0) || v > 1) return messages.fail("%s: 4th input argument (vigilance) must be in [0.0, 1.0].");
  }
  if (read_scalar({inputs[4], 5, "alpha"}, messages, alpha)) return true;
  if (!(alpha >= 0)) return messages.fail("%s: 5th input argument (alpha) must be non-negative.");
  return false;
}

bool read_switch(const Argument& argument, MessageBuffer& messages, std::int32_t& value) {
  double read = 0.0;
  if (read_scalar(argument, messages, read)) return true;
  if (!truncate_to_int32(read, value) || (value != 0 && value != 1))
    return messages.fail("%s: %s input argument (%s) must be either 0 or 1.", ordinal(argument.position),
                         argument.name);
  return false;
}

bool truncate_to_int32(double value, std::int32_t& result) {
  if (!fits_int32(value)) return false;
  result = static_cast<std::int32_t>(value);
  return true;
}

bool all_finite(const mxArray* array, std::int64_t element_count) {
  bool finite = true;
  visit_real_data(array, [&](const auto* data) {
    using Element = std::remove_const_t<std::remove_pointer_t<decltype(data)>>;
    if constexpr (std::is_floating_point_v<Element>) {
      for (std::int64_t k = 0; k < element_count && finite; ++k) finite = std::isfinite(data[k]);
    }
  });
  return finite;
}

bool all_finite_or_nan(const mxArray* array, std::int64_t element_count) {
  bool finite = true;
  visit_real_data(array, [&](const auto* data) {
    using Element = std::remove_const_t<std::remove_pointer_t<decltype(data)>>;
    if constexpr (std::is_floating_point_v<Element>) {
      for (std::int64_t k = 0; k < element_count && finite; ++k) finite = !std::isinf(data[k]);
    }
  });
  return finite;
}

bool all_truncate_to_int32(const mxArray* array, std::int64_t element_count) {
  bool fits = true;
  visit_real_data(array, [&](const auto* data) {
    for (std::int64_t k = 0; k < element_count && fits; ++k) fits = fits_int32(static_cast<double>(data[k]));
  });
  return fits;
}

void end_failed_call(host::Outcome outcome, MessageBuffer& messages) {
  if (outcome == host::Outcome::interrupted) {
    messages.fail("%s: Interrupted by the user.");
    host::end_interrupted_call(messages.text());
    return;
  }
  messages.fail("%s: Not enough memory available; unable to run!");
  mexErrMsgTxt(messages.text());
}

}  // namespace vorla
