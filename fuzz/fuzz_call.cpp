#include "fuzz_call.h"

#include "bank.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>


namespace fuzz {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Values on the edges of the checks (int32 range, vigilance and learning-rate bounds, the
// training tolerance of 1e-7) and of IEEE arithmetic.
const double edge_values[] = {
    nan, inf, -inf, -0.0, 0.0, 4.9406564584124654e-324, -4.9406564584124654e-324, 2.2250738585072009e-308,
    2.2250738585072014e-308, 1.7976931348623157e308, -1.7976931348623157e308, 1e300, -1e300, 1e-300,
    1.0, 0.99999999999999989, 1.0000000000000002, 0.5, 0.7, 0.7 - 0.5e-7, 0.7 + 0.5e-7, 0.7 - 1e-7,
    0.7 - 1.5e-7, 0.8, 0.9999999, 1e-7, -1e-7, 1e-8, 2147483647.0, 2147483647.5, 2147483648.0,
    -2147483648.0, -2147483648.9, -2147483649.0, 4294967296.0, 4294967297.0, 9007199254740993.0,
    9223372036854775808.0, -9223372036854775808.0, 18446744073709551616.0, 2.0, 3.0, 4.0, 4.99, 5.0, -0.5,
    0.9, 1.5, 1.9, -1.0, -2.5, 2.7, 3.99, 0.25, 0.75, 1e-3, 1e10, -1e10, 6.0, 100.0, 1073741823.0,
    1073741824.0, -0.9, 0.1};
static_assert(sizeof edge_values / sizeof edge_values[0] == 64, "one entry per byte value 160..223");

// Dimensions that claim more than a 32-bit count allows, or just fit.
const std::uint64_t huge_dims[] = {1073741823u, 1073741824u, 2147483647u, 2147483648u, 3000000000u,
                                   std::uint64_t{1} << 40};

constexpr std::size_t max_elements = 256;

const Kind all_kinds[] = {Kind::Double, Kind::Complex, Kind::Single, Kind::Int8, Kind::Uint8, Kind::Int16,
                          Kind::Uint16, Kind::Int32, Kind::Uint32, Kind::Int64, Kind::Uint64, Kind::Logical,
                          Kind::Char, Kind::Cell, Kind::Struct, Kind::Sparse, Kind::FunctionHandle,
                          Kind::Unknown};

const char* kind_name(Kind k) {
  static const char* const names[] = {"double", "complex", "single", "int8", "uint8", "int16",
                                      "uint16", "int32", "uint32", "int64", "uint64", "logical",
                                      "char", "cell", "struct", "sparse", "function_handle", "unknown"};
  return names[static_cast<int>(k)];
}


mxClassID class_of(Kind k) {
  switch (k) {
    case Kind::Single: return mxSINGLE_CLASS;
    case Kind::Int8: return mxINT8_CLASS;
    case Kind::Uint8: return mxUINT8_CLASS;
    case Kind::Int16: return mxINT16_CLASS;
    case Kind::Uint16: return mxUINT16_CLASS;
    case Kind::Int32: return mxINT32_CLASS;
    case Kind::Uint32: return mxUINT32_CLASS;
    case Kind::Int64: return mxINT64_CLASS;
    case Kind::Uint64: return mxUINT64_CLASS;
    case Kind::Logical: return mxLOGICAL_CLASS;
    case Kind::Unknown: return mxUNKNOWN_CLASS;
    default: return mxDOUBLE_CLASS;
  }
}

double clamp_integer(double v, double lo, double hi) {
  if (std::isnan(v)) return 0.0;
  v = std::trunc(v) + 0.0;  // an integer class has no -0
  return v < lo ? lo : v > hi ? hi : v;
}

// The value the host reads back after storing v in an array of kind k. Integer classes get
// values inside their range, since converting an out-of-range double is undefined.
double stored_value(Kind k, double v) {
  switch (k) {
    case Kind::Single: return static_cast<double>(static_cast<float>(v));
    case Kind::Logical: return v != 0 ? 1.0 : 0.0;
    case Kind::Int8: return clamp_integer(v, -128.0, 127.0);
    case Kind::Uint8: return clamp_integer(v, 0.0, 255.0);
    case Kind::Int16: return clamp_integer(v, -32768.0, 32767.0);
    case Kind::Uint16: return clamp_integer(v, 0.0, 65535.0);
    case Kind::Int32: return clamp_integer(v, -2147483648.0, 2147483647.0);
    case Kind::Uint32: return clamp_integer(v, 0.0, 4294967295.0);
    // The largest doubles below 2^63 and 2^64.
    case Kind::Int64: return clamp_integer(v, -9223372036854775808.0, 9223372036854774784.0);
    case Kind::Uint64: return clamp_integer(v, 0.0, 18446744073709549568.0);
    default: return v;
  }
}

std::uint64_t element_count(const std::vector<std::uint64_t>& dims) {
  std::uint64_t n = 1;
  for (std::uint64_t d : dims) n *= d;
  return n;
}

// One value: mostly a point of a coarse grid on [0, 1] (so that patterns repeat and boxes
// touch), else an edge value, else any eight bytes.
double value(std::uint8_t selector, ByteReader& bytes) {
  if (selector < 160) return (selector % 17) / 16.0;
  if (selector < 224) return edge_values[selector - 160];
  return bytes.raw_double();
}

Input build(Kind kind, std::vector<std::uint64_t> dims, std::vector<double> values, const std::vector<double>& imag) {
  Input in;
  in.kind = kind;
  while (dims.size() < 2) dims.push_back(1);  // the stand-in, like MATLAB, has at least two
  // Sparse arrays and cells keep two of the dimensions; enormous ones must then still hold nothing.
  const bool two_only = kind == Kind::Sparse || kind == Kind::Cell;
  if (two_only && dims[0] * dims[1] > max_elements) dims[1] = 0;
  auto mw = [](const std::vector<std::uint64_t>& d) { return std::vector<mwSize>(d.begin(), d.end()); };
  switch (kind) {
    case Kind::Char: {
      std::string text(values.size(), 'a');
      in.dims = {1, text.size()};
      in.array = standin::make_char(text);
      break;
    }
    case Kind::Cell:
      in.dims = {dims[0], dims[1]};
      in.array = standin::make_cell(dims[0], dims[1]);
      break;
    case Kind::Struct:
      in.dims = {1, 1};
      in.array = standin::make_struct();
      break;
    case Kind::FunctionHandle:
      in.dims = {1, 1};
      in.array = standin::make_function_handle();
      break;
    case Kind::Unknown:
      in.dims = dims;
      in.array = standin::make_array(mxUNKNOWN_CLASS, mw(dims));
      break;
    case Kind::Sparse: {
      in.dims = {dims[0], dims[1]};
      values.resize(element_count(in.dims), 0.0);
      in.values = values;
      in.array = standin::make_sparse(dims[0], dims[1], values);
      break;
    }
    default: {
      in.dims = dims;
      for (double& v : values) v = stored_value(kind, v);
      in.values = values;
      if (kind == Kind::Complex)
        in.array = standin::make_complex(mw(dims), values, imag);
      else
        in.array = standin::make_array(class_of(kind), mw(dims), values);
    }
  }
  return in;
}

// What an argument position expects; the decoder builds that mostly.
struct Slot {
  enum Role { SCALAR, MATRIX, LABELS, TEMPLATES } role = SCALAR;
  std::vector<double> table;         // SCALAR: the usual values
  std::uint64_t rows = 1, cols = 1;  // MATRIX, TEMPLATES; LABELS: rows = length
  std::uint64_t features = 0;        // TEMPLATES: M
  // Above this the first value is lowered to it (a training cap that would run for ages).
  double first_value_limit = inf;
  // Rows a refusal-free call would then allocate per row: keep such counts out of reach.
  bool rows_must_stay_small = false;
};

Input well_formed(const Slot& s, ByteReader& bytes) {
  std::vector<double> v;
  std::vector<std::uint64_t> dims;
  switch (s.role) {
    case Slot::SCALAR: {
      std::uint8_t pick = bytes.byte();
      v.push_back(pick < 192 ? s.table[pick % s.table.size()] : value(bytes.byte(), bytes));
      dims = {1, 1};
      break;
    }
    case Slot::MATRIX:
      dims = {s.rows, s.cols};
      for (std::uint64_t k = 0; k < s.rows * s.cols; ++k) v.push_back(value(bytes.byte(), bytes));
      break;
    case Slot::LABELS: {
      dims = bytes.byte() & 1 ? std::vector<std::uint64_t>{1, s.rows} : std::vector<std::uint64_t>{s.rows, 1};
      for (std::uint64_t k = 0; k < s.rows; ++k) {
        std::uint8_t pick = bytes.byte();
        v.push_back(pick < 192 ? 1.0 + pick % 3 : value(bytes.byte(), bytes));
      }
      break;
    }
    case Slot::TEMPLATES: {
      const std::uint64_t K = s.rows, M = s.features;
      dims = {K, s.cols};
      v.assign(K * s.cols, 0.0);
      for (std::uint64_t r = 0; r < K; ++r) {
        for (std::uint64_t i = 0; i < M; ++i) {
          double lower = value(bytes.byte(), bytes);
          std::uint8_t extent = bytes.byte();
          double upper = extent < 192 ? lower + (extent % 9) / 16.0 : value(bytes.byte(), bytes);
          v[i * K + r] = lower;
          v[(M + i) * K + r] = upper;
        }
        if (s.cols > 2 * M) v[2 * M * K + r] = value(bytes.byte(), bytes);
      }
      break;
    }
  }
  if (!v.empty() && v[0] > s.first_value_limit) v[0] = s.first_value_limit;
  return build(Kind::Double, dims, v, {});
}

Input any_array(const Slot& s, ByteReader& bytes) {
  const Kind kind = all_kinds[bytes.byte() % (sizeof all_kinds / sizeof all_kinds[0])];
  const int dimension_count = bytes.byte() % 5;
  const std::uint64_t usual[] = {s.rows, s.cols};
  std::vector<std::uint64_t> dims;
  bool huge = false;
  for (int k = 0; k < dimension_count; ++k) {
    std::uint8_t d = bytes.byte();
    if (d < 200) {
      dims.push_back(d % 5);
    } else if (d < 220) {
      dims.push_back(k < 2 ? usual[k] : 1);
    } else if (d < 240) {
      dims.push_back(k < 2 ? usual[1 - k] : 1);  // transposed
    } else {
      dims.push_back(huge_dims[(d - 240) % 6]);
      huge = true;
    }
  }
  if (huge) {
    bool holds_nothing = false;
    for (std::uint64_t d : dims) holds_nothing = holds_nothing || d == 0;
    // An enormous dimension is only plausible in an array that holds no data.
    if (!holds_nothing)
      for (std::uint64_t& d : dims)
        if (d > 4096) d = 1;
    if (s.rows_must_stay_small && !dims.empty() && dims[0] > 4096 && dims[0] <= 2147483647u) dims[0] = 2147483648u;
  }
  while (element_count(dims) > max_elements) {
    std::uint64_t* largest = &dims[0];
    for (std::uint64_t& d : dims)
      if (d > *largest) largest = &d;
    *largest /= 2;
  }
  const std::uint64_t n = element_count(dims);
  std::vector<double> values, imag;
  for (std::uint64_t k = 0; k < n; ++k) values.push_back(value(bytes.byte(), bytes));
  if (kind == Kind::Complex)
    for (std::uint64_t k = 0; k < n; ++k) imag.push_back(value(bytes.byte(), bytes));
  if (!values.empty() && values[0] > s.first_value_limit) values[0] = s.first_value_limit;
  return build(kind, dims, values, imag);
}

int count_from(std::uint8_t b, int usual, int top) { return b < 224 ? usual : (b - 224) % (top + 1); }

// adjust, when given, may change the slot of input k in view of the inputs before it.
void decode_inputs(ByteReader& bytes, int nrhs, const std::vector<Slot>& slots, Call& call,
                   const std::function<void(int k, Slot& slot, const Call& call)>& adjust = {}) {
  Slot extra;
  extra.table = {0.0};
  for (int k = 0; k < nrhs; ++k) {
    Slot s = k < static_cast<int>(slots.size()) ? slots[k] : extra;
    if (adjust) adjust(k, s, call);
    call.inputs.push_back(bytes.byte() < 192 ? well_formed(s, bytes) : any_array(s, bytes));
  }
  call.match_path = bytes.byte() % 6;
  const std::uint8_t use = bytes.byte();
  call.index_use = use % 3;
  call.flop_counter = use / 3 % 2 == 0;
}

Slot scalar(std::vector<double> table) {
  Slot s;
  s.table = std::move(table);
  return s;
}

Slot matrix(Slot::Role role, std::uint64_t rows, std::uint64_t cols) {
  Slot s;
  s.role = role;
  s.rows = rows;
  s.cols = cols;
  return s;
}

std::string format(const char* fmt, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

const char* refused_name(Kind k) {
  switch (k) {
    case Kind::Char: return "char";
    case Kind::Cell: return "cell";
    case Kind::Struct: return "struct";
    case Kind::Sparse: return "sparse";
    case Kind::FunctionHandle: return "function_handle";
    case Kind::Unknown: return "unknown";
    default: return nullptr;
  }
}

const char* ordinal(int position) {
  static const char* const names[] = {"",    "1st",  "2nd",  "3rd",  "4th",  "5th",  "6th", "7th",
                                      "8th", "9th",  "10th", "11th", "12th", "13th", "14th"};
  return names[position];
}

bool fits_int32(double v) { return v > -2147483649.0 && v < 2147483648.0; }

// The checks of one call, in the order the entry points apply them; the first message wins.
class Expectation {
 public:
  explicit Expectation(const char* name) : name_(name) {}

  std::optional<std::string> message;
  bool failed() const { return message.has_value(); }

  bool fail(const std::string& text) {
    if (!message) message = std::string(name_) + ": " + text;
    return true;
  }

  bool refused(const Input& in, int position, const char* arg) {
    const char* what = refused_name(in.kind);
    if (!what) return false;
    return fail(format("%s input argument (%s) must be a full numeric or logical array, not %s.", ordinal(position),
                       arg, what));
  }

  // A matrix argument: class, two dimensions, size limits, finite contents (first `screened` values).
  bool matrix(const Input& in, int position, const char* arg, std::uint64_t max_rows, std::uint64_t max_cols,
              bool screen, std::uint64_t screened) {
    if (refused(in, position, arg)) return true;
    if (in.dims.size() != 2)
      return fail(format("%s input argument (%s) must be  a two dimensional array (matrix).", ordinal(position), arg));
    if (in.dims[0] > max_rows || in.dims[1] > max_cols)
      return fail(format("%s input argument (%s) must have at most %llu rows and %llu columns.", ordinal(position), arg,
                         static_cast<unsigned long long>(max_rows), static_cast<unsigned long long>(max_cols)));
    if (screen)
      for (std::uint64_t k = 0; k < screened && k < in.values.size(); ++k)
        if (!std::isfinite(in.values[k]))
          return fail(format("%s input argument (%s) must not contain NaN or Inf values.", ordinal(position), arg));
    return false;
  }

  bool labels(const Input& in, int position, const char* arg, std::uint64_t n) {
    if (refused(in, position, arg)) return true;
    if (in.dims.size() != 2) return fail(format("%s input argument (%s) must a vector.", ordinal(position), arg));
    if (!((in.dims[0] == n && in.dims[1] == 1) || (in.dims[0] == 1 && in.dims[1] == n)))
      return fail(format("%s input argument (%s) must be of type  %dx1 or 1x%d.", ordinal(position), arg,
                         static_cast<int>(n), static_cast<int>(n)));
    for (double v : in.values)
      if (!fits_int32(v))
        return fail(format("%s input argument (%s) must hold finite labels in the 32-bit integer range.",
                           ordinal(position), arg));
    return false;
  }

  // The scalar test; oflag has its own two messages.
  bool scalar(const Input& in, int position, const char* arg, double& v, bool is_oflag = false) {
    if (refused(in, position, arg)) return true;
    const std::string common = format("%s input argument (%s) must be a scalar.", ordinal(position), arg);
    const std::string not_2d = is_oflag ? format("%s input argument (oflag) must be scalar.", ordinal(position)) : common;
    const std::string not_vector = is_oflag ? format("%s input argument must be scalar.", ordinal(position)) : common;
    if (in.dims.size() != 2) return fail(not_2d);
    if (in.dims[0] != 1 && in.dims[1] != 1) return fail(not_vector);
    if (in.dims[0] == 0 || in.dims[1] == 0) return fail(not_2d);
    v = in.values.at(0);
    return false;
  }

  // D, vigilance and alpha, the 3rd to 5th inputs of both functions.
  bool network(const std::vector<Input>& in) {
    double v = 0;
    if (scalar(in[2], 3, "D", v)) return true;
    if (!(v >= 0)) return fail("3rd input argument (D) must be non-negative.");
    if (scalar(in[3], 4, "vigilance", v)) return true;
    if (!(v >= 0) || v > 1) return fail("4th input argument (vigilance) must be in [0.0, 1.0].");
    if (scalar(in[4], 5, "alpha", v)) return true;
    if (!(v >= 0)) return fail("5th input argument (alpha) must be non-negative.");
    return false;
  }

  // An option: truncates into int32 and must be one of first..last.
  bool option(double v, int first, int last, const std::string& text, std::int32_t& result) {
    if (!fits_int32(v) || std::trunc(v) < first || std::trunc(v) > last) return fail(text);
    result = static_cast<std::int32_t>(v);
    return false;
  }

 private:
  const char* name_;
};

}  // namespace

double ByteReader::raw_double() {
  std::uint8_t b[8];
  for (std::uint8_t& x : b) x = byte();
  double v;
  std::memcpy(&v, b, sizeof v);
  return v;
}

void apply_bank_choices(const Call& call) {
  static const vorla::MatchPath paths[] = {vorla::MatchPath::automatic, vorla::MatchPath::per_node,
                                           vorla::MatchPath::scalar,    vorla::MatchPath::sse2,
                                           vorla::MatchPath::avx2,      vorla::MatchPath::avx512};
  vorla::set_match_path(paths[call.match_path]);
  static const vorla::IndexUse uses[] = {vorla::IndexUse::automatic, vorla::IndexUse::always, vorla::IndexUse::never};
  vorla::set_index_use(uses[call.index_use]);
}

PlainNetwork::PlainNetwork(const Call& call)
    : T(call.inputs[0].values), P(call.inputs[6].values), K(call.inputs[0].dims[0]),
      M(call.inputs[0].dims[1] / 2), N(call.inputs[6].dims[0]), D(call.inputs[2].values[0]),
      vigilance(call.inputs[3].values[0]), alpha(call.inputs[4].values[0]), Tu(D / (alpha + 2 * D)),
      ct(static_cast<int>(call.inputs[5].values[0]) == 1), denominator(K) {
  for (std::uint64_t r = 0; r < K; ++r) {
    double size = 0.0;
    for (std::uint64_t i = 0; i < M; ++i) size = size + (upper(r, i) - lower(r, i));
    denominator[r] = (D - size) + alpha;
  }
}

double PlainNetwork::grown_size(std::uint64_t r, std::uint64_t j) const {
  double size = 0.0;
  for (std::uint64_t i = 0; i < M; ++i) {
    const double x = P[i * N + j];
    const double high = x < upper(r, i) ? upper(r, i) : x;
    const double low = x <= lower(r, i) ? x : lower(r, i);
    size = size + (high - low);
  }
  return size;
}

double PlainNetwork::grown_size_missing(std::uint64_t r, std::uint64_t j) const {
  double size = 0.0;
  for (std::uint64_t i = 0; i < M; ++i) {
    const double x = P[i * N + j];
    if (std::isnan(x)) {
      size = size + (upper(r, i) - lower(r, i));
      continue;
    }
    const double high = x < upper(r, i) ? upper(r, i) : x;
    const double low = x <= lower(r, i) ? x : lower(r, i);
    size = size + (high - low);
  }
  return size;
}

std::vector<const mxArray*> Call::arrays() const {
  std::vector<const mxArray*> a;
  for (const Input& in : inputs) a.push_back(in.array.get());
  return a;
}

std::string Call::describe() const {
  std::string s = format("nlhs %d, nrhs %d, match path %d, index use %d, flop counter %d\n", nlhs,
                         static_cast<int>(inputs.size()), match_path, index_use, flop_counter ? 1 : 0);
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const Input& in = inputs[k];
    s += format("  input %d: %s [", static_cast<int>(k + 1), kind_name(in.kind));
    for (std::size_t d = 0; d < in.dims.size(); ++d)
      s += format(d ? " x %llu" : "%llu", static_cast<unsigned long long>(in.dims[d]));
    s += "]";
    for (std::size_t j = 0; j < in.values.size() && j < 24; ++j) s += format(" %.17g", in.values[j]);
    s += in.values.size() > 24 ? " ...\n" : "\n";
  }
  return s;
}

namespace {

// The ten inputs of both training entry points, for N patterns of M features.
std::vector<Slot> training_slots(std::uint64_t N, std::uint64_t M) {
  return {
      matrix(Slot::MATRIX, N, M),
      matrix(Slot::LABELS, N, 1),
      scalar({static_cast<double>(M), 1, 2, 0.5, static_cast<double>(M) + 1, 0, 3, 1e-300}),
      scalar({0, 0.5, 0.75, 0.9, 1, 0.7, 0.25, 0.95}),
      scalar({0.001, 0, 0.01, 1, 1e-6, 0.1}),
      scalar({1, 1, 0.5, 0.25, 0.9, 1}),
      scalar({8, 1, 2, 3, 4, 5, 6, 7}),
      scalar({0, 1}),
      scalar({0, 1}),
      scalar({0, 1, 2, 3, 4}),
  };
}

}  // namespace

Call decode_fit(ByteReader& bytes) {
  Call call;
  const int nrhs = count_from(bytes.byte(), 10, 12);
  call.nlhs = count_from(bytes.byte(), 3, 4);
  const std::uint64_t N = bytes.byte() % 25, M = bytes.byte() % 7;
  std::vector<Slot> slots = training_slots(N, M);
  // Training that never settles runs to its cap: keep the cap small whenever training can start.
  if (call.nlhs == 3) slots[6].first_value_limit = 8;
  decode_inputs(bytes, nrhs, slots, call);
  return call;
}

Call decode_learn(ByteReader& bytes) {
  Call call;
  // Up to 15 inputs: a batch (16) has outputs of another kind, which this target does not read.
  const int nrhs = count_from(bytes.byte(), 14, 15);
  call.nlhs = count_from(bytes.byte(), 4, 5);
  const std::uint64_t N = bytes.byte() % 25, M = bytes.byte() % 7, K0 = bytes.byte() % 9;
  Slot given = matrix(Slot::TEMPLATES, K0, 2 * M);
  given.features = M;
  std::vector<Slot> slots = training_slots(N, M);
  slots.insert(slots.end(), {scalar({1, 0}), scalar({0, 1}), given, matrix(Slot::LABELS, K0, 1)});
  // Training that never settles runs to its cap: keep the cap small whenever training can start.
  if (call.nlhs == 3 || call.nlhs == 4) slots[6].first_value_limit = 8;
  decode_inputs(bytes, nrhs, slots, call);
  return call;
}

namespace {

// The first seven inputs of both classification entry points: the network, its parameters
// and the patterns.
std::vector<Slot> classification_slots(ByteReader& bytes) {
  const std::uint64_t N = bytes.byte() % 25, M = bytes.byte() % 7;
  const std::uint8_t shape = bytes.byte();
  const std::uint64_t K = (shape & 0x7f) % 17, C = 2 * M + (shape & 0x80 ? 1 : 0);
  Slot templates = matrix(Slot::TEMPLATES, K, C);
  templates.features = M;
  Slot patterns = matrix(Slot::MATRIX, N, M);
  patterns.rows_must_stay_small = true;
  std::vector<Slot> slots = {
      templates,
      matrix(Slot::LABELS, K, 1),
      scalar({static_cast<double>(M), 1, 2, 0.5, static_cast<double>(M) + 1, 0, 3, 1e-300}),
      scalar({0, 0.5, 0.75, 0.9, 1, 0.7, 0.25, 0.95}),
      scalar({0.001, 0, 0.01, 1, 1e-6, 0.1}),
      scalar({0, 1}),
      patterns,
  };
  return slots;
}

}  // namespace

Call decode_eval(ByteReader& bytes) {
  Call call;
  const int nrhs = count_from(bytes.byte(), 9, 12);
  call.nlhs = count_from(bytes.byte(), 1, 4);
  std::vector<Slot> slots = classification_slots(bytes);
  slots.insert(slots.end(), {scalar({0, -1, 2.7, 99}), scalar({0, 1, 2, 3})});
  decode_inputs(bytes, nrhs, slots, call);
  return call;
}

Call decode_score(ByteReader& bytes) {
  Call call;
  // Without threads (as the seeds), with them, or any count.
  const std::uint8_t count_byte = bytes.byte();
  const int nrhs = count_byte < 112 ? 8 : count_from(count_byte, 9, 11);
  call.nlhs = count_from(bytes.byte(), 2, 3);
  std::vector<Slot> slots = classification_slots(bytes);
  // Labels are mostly 1 to 3.
  slots.push_back(scalar({3, 4, 2, 1, 0, 2.5, -1}));
  slots.push_back(scalar({2, 3, 0, 1, 24, 1.5, -1}));
  // Scores of N x class_count: counts in the billions would ask the host for more memory
  // than the machine may have, which would make the outcome depend on the machine. Both
  // stay large only where N x class_count x 8 bytes wraps around 64 bits, a call that must
  // be refused before anything is asked of the host: then N is in the billions (patterns
  // with no features), and class_count is left unbounded; otherwise such an N is refused.
  slots[6].rows_must_stay_small = false;
  slots[7].first_value_limit = 64;
  auto billions_of_rows = [](const Call& c) {
    const std::vector<std::uint64_t>& dims = c.inputs[6].dims;
    return dims.size() == 2 && dims[0] > 4096 && dims[0] <= 2147483647u;
  };
  decode_inputs(bytes, nrhs, slots, call, [&](int k, Slot& slot, const Call& c) {
    if (k == 7 && billions_of_rows(c)) slot.first_value_limit = inf;
  });
  if (nrhs > 6 && billions_of_rows(call) && !(nrhs > 7 && score_bytes_wrap(call))) {
    Input& patterns = call.inputs[6];
    std::vector<std::uint64_t> dims = patterns.dims;
    dims[0] = 2147483648u;  // holds no data: nothing else to keep
    patterns = build(patterns.kind, dims, {}, {});
  }
  return call;
}

bool score_bytes_wrap(const Call& call) {
  const Input& patterns = call.inputs.at(6);
  const Input& classes = call.inputs.at(7);
  if (patterns.dims.size() != 2 || classes.values.empty()) return false;
  const double C = classes.values[0];
  if (!(C >= 1 && C <= 2147483647.0)) return false;
  const std::uint64_t N = patterns.dims[0], count = static_cast<std::uint64_t>(C);
  return N > 0 && N <= 2147483647u && count > std::numeric_limits<std::size_t>::max() / sizeof(double) / N;
}

namespace {

// The ten inputs of both training entry points; true at the first fault. With missing
// (vorla_learn) NaN in Patterns is a missing feature and only Inf is refused.
bool training_inputs(Expectation& e, const std::vector<Input>& in, bool missing) {
  if (e.matrix(in[0], 1, "Patterns", 2147483647u, 1073741823u, !missing, in[0].values.size())) return true;
  if (missing)
    for (double x : in[0].values)
      if (std::isinf(x))
        return e.fail("1st input argument (Patterns) must not contain Inf values (NaN marks a missing feature).");
  const std::uint64_t N = in[0].dims[0];
  if (e.labels(in[1], 2, "PLabels", N)) return true;
  double v = 0;
  std::int32_t option = 0;
  if (e.network(in)) return true;
  if (e.scalar(in[5], 6, "learning_rate", v)) return true;
  if (!(v > 0) || v > 1) return e.fail("6th input argument (learning_rate) must be in (0.0, 1.0].");
  if (e.scalar(in[6], 7, "max_list_presentations", v)) return true;
  if (!(v >= 2147483648.0) && !(fits_int32(v) && std::trunc(v) >= 1))
    return e.fail("7th input argument (max_list_presentations) must  be greater than 0.");
  if (e.scalar(in[7], 8, "trim_option", v)) return true;
  if (e.option(v, 0, 1, "8th input argument (trim_option) must be either 0 or 1.", option)) return true;
  if (e.scalar(in[8], 9, "ct_option", v)) return true;
  if (e.option(v, 0, 1, "9th input argument (ct_option) must be either 0 or 1.", option)) return true;
  if (e.scalar(in[9], 10, "oflag", v, true)) return true;
  return e.option(v, 0, 4, "10th input argument (oflag) must be 0,1,2,3 or 4.", option);
}

}  // namespace

std::optional<std::string> expected_fit_error(const Call& call) {
  Expectation e("VORLA_FIT");
  const std::vector<Input>& in = call.inputs;
  if (in.size() != 10) return e.fail(format("%d input arguments required.", 10)), e.message;
  if (training_inputs(e, in, false)) return e.message;
  if (call.nlhs != 3) e.fail(format("%d output arguments required.", 3));
  return e.message;
}

std::optional<std::string> expected_learn_error(const Call& call) {
  Expectation e("VORLA_LEARN");
  const std::vector<Input>& in = call.inputs;
  if (in.size() != 10 && in.size() != 14) return e.fail("10, 14 or 16 input arguments required."), e.message;
  if (training_inputs(e, in, true)) return e.message;
  if (in.size() == 14) {
    double v = 0;
    std::int32_t option = 0;
    if (e.scalar(in[10], 11, "match_tracking", v)) return e.message;
    if (e.option(v, 0, 1, "11th input argument (match_tracking) must be either 0 or 1.", option)) return e.message;
    if (e.scalar(in[11], 12, "display", v)) return e.message;
    if (e.option(v, 0, 1, "12th input argument (display) must be either 0 or 1.", option)) return e.message;
    const Input& T = in[12];
    if (e.matrix(T, 13, "Templates0", 2147483647u, 2147483647u, false, 0)) return e.message;
    const std::uint64_t M = in[0].dims[1], K0 = T.dims[0];
    if (!(T.dims[0] == 0 && T.dims[1] == 0) && T.dims[1] != 2 * M)
      return e.fail(format("13th input argument (Templates0) must have %d columns, each row [lower upper] of a "
                           "node, or be empty (0x0).",
                           static_cast<int>(2 * M))),
             e.message;
    for (double t : T.values)
      if (!std::isfinite(t)) return e.fail("13th input argument (Templates0) must not contain NaN or Inf values."), e.message;
    const Input& L = in[13];
    const bool no_labels = K0 == 0 && !e.refused(L, 14, "NLabels0") && L.dims.size() == 2 && L.dims[0] * L.dims[1] == 0;
    if (e.failed()) return e.message;
    if (!no_labels) {
      if (e.labels(L, 14, "NLabels0", K0)) return e.message;
      for (double l : L.values)
        if (std::trunc(l) != l) return e.fail("14th input argument (NLabels0) must hold whole-number labels."), e.message;
    }
  }
  if (call.nlhs != 3 && call.nlhs != 4) e.fail("3 or 4 output arguments required.");
  return e.message;
}

namespace {

// The first seven inputs of both classification entry points; true at the first fault.
// D, vigilance, alpha and ct_option.
bool network_parameters(Expectation& e, const std::vector<Input>& in) {
  double v = 0;
  std::int32_t option = 0;
  if (e.network(in)) return true;
  if (e.scalar(in[5], 6, "ct_option", v)) return true;
  return e.option(v, 0, 1, "6th input argument (ct_option) must be either 0 or 1.", option);
}

bool classification_inputs(Expectation& e, const std::vector<Input>& in, std::uint64_t& K) {
  const Input& T = in[0];
  const bool two_d = T.dims.size() == 2;
  const std::uint64_t M = two_d ? T.dims[1] / 2 : 0;
  if (e.matrix(T, 1, "Templates", 2147483647u, 2147483647u, true, two_d ? T.dims[0] * 2 * M : 0)) return true;
  K = T.dims[0];
  if (e.labels(in[1], 2, "NLabels", K)) return true;
  if (network_parameters(e, in)) return true;
  const Input& P = in[6];
  if (e.matrix(P, 7, "Patterns", 2147483647u, 1073741823u, false, 0)) return true;
  if (P.dims[1] != M)
    return e.fail(format("7th input argument (Patterns) must be of type  %dx%d.", static_cast<int>(P.dims[0]),
                         static_cast<int>(M)));
  return false;
}

// A batch (Templates a cell). The decoder sets no element of a cell, and an unset entry is
// refused, so only a batch of no network gets past its first entry.
bool batch_inputs(Expectation& e, const std::vector<Input>& in) {
  const std::uint64_t count = in[0].dims[0] * in[0].dims[1];
  if (in[1].kind != Kind::Cell || in[1].dims[0] * in[1].dims[1] != count)
    return e.fail(format("2nd input argument (NLabels) must be a cell with one entry per network (%llu), as Templates.",
                         static_cast<unsigned long long>(count)));
  if (count > 0) return e.fail("1st input argument (Templates{1}) is not set; every entry must hold a network.");
  if (network_parameters(e, in)) return true;
  const Input& P = in[6];
  if (P.kind == Kind::Cell)
    return P.dims[0] * P.dims[1] != 0 &&
           e.fail("7th input argument (Patterns) must be one matrix for every network, or a cell with one entry per "
                  "network (0), as Templates.");
  return e.matrix(P, 7, "Patterns", 2147483647u, 1073741823u, false, 0);
}

}  // namespace

std::optional<std::string> expected_eval_error(const Call& call) {
  Expectation e("VORLA_EVAL");
  const std::vector<Input>& in = call.inputs;
  if (in.size() != 9) return e.fail(format("%d input arguments required.", 9)), e.message;
  std::uint64_t K = 0;
  if (classification_inputs(e, in, K)) return e.message;
  double v = 0;
  std::int32_t option = 0;
  if (e.scalar(in[7], 8, "unknown_label", v)) return e.message;
  if (!fits_int32(v))
    return e.fail("8th input argument (unknown_label) must be a finite value in the 32-bit integer range."), e.message;
  if (e.scalar(in[8], 9, "oflag", v, true)) return e.message;
  if (e.option(v, 0, 3, "9th input argument (oflag) must be 0,1,2 or 3.", option)) return e.message;
  if (call.nlhs != 1) e.fail(format("%d output argument required.", 1));
  return e.message;
}

std::optional<std::string> expected_score_error(const Call& call) {
  Expectation e("VORLA_SCORE");
  const std::vector<Input>& in = call.inputs;
  if (in.size() != 8 && in.size() != 9) return e.fail("8 or 9 input arguments required."), e.message;
  std::uint64_t K = 0;
  const bool batch = in[0].kind == Kind::Cell;
  if (batch ? batch_inputs(e, in) : classification_inputs(e, in, K)) return e.message;
  double v = 0;
  if (e.scalar(in[7], 8, "class_count", v)) return e.message;
  if (!(fits_int32(v) && std::trunc(v) >= 0 && v == std::trunc(v)))
    return e.fail("8th input argument (class_count) must be a whole number from 0 to 2147483647."), e.message;
  const double classes = std::trunc(v);
  for (std::uint64_t k = 0; k < K; ++k) {
    const double label = std::trunc(in[1].values[k]);
    // class_count 0 asks for the classes alone, of any class numbers.
    if (classes == 0 && label < 1)
      return e.fail(format("2nd input argument (NLabels) must hold class numbers from 1; entry %llu is not one.",
                           static_cast<unsigned long long>(k + 1))),
             e.message;
    if (classes > 0 && (label < 1 || label > classes))
      return e.fail(format("2nd input argument (NLabels) must hold class numbers 1 to class_count (%d); entry %llu is "
                           "not one.",
                           static_cast<int>(classes), static_cast<unsigned long long>(k + 1))),
             e.message;
  }
  if (in.size() == 9) {
    if (e.scalar(in[8], 9, "threads", v)) return e.message;
    if (!(fits_int32(v) && v >= 0 && v == std::trunc(v)))
      return e.fail("9th input argument (threads) must be a whole number from 0 to 2147483647."), e.message;
  }
  if (call.nlhs > 2) return e.fail(format("at most %d output arguments allowed.", 2)), e.message;
  if (!batch && score_bytes_wrap(call)) e.fail("Not enough memory available; unable to run!");
  return e.message;
}

namespace {

// With VORLA_FUZZ_OUTCOMES set, how the calls ended is tallied and printed at exit.
struct Tally {
  std::map<std::string, long> counts;
  ~Tally() {
    for (const auto& [outcome, n] : counts) std::fprintf(stderr, "%10ld  %s\n", n, outcome.c_str());
  }
};

void tally(const char* target, const std::optional<std::string>& expected) {
  static const bool wanted = std::getenv("VORLA_FUZZ_OUTCOMES") != nullptr;
  static Tally outcomes;
  if (!wanted) return;
  // The sizes in "of type  NxM" messages are folded, so that each message is one line.
  const std::string text = expected ? *expected : std::string("success");
  std::string key = std::string(target) + ": ";
  for (std::size_t k = 0; k < text.size();) {
    std::size_t end = k;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == k) {
      key += text[k++];
      continue;
    }
    const bool size = (k > 0 && text[k - 1] == 'x') || (end < text.size() && text[end] == 'x');
    key += size ? std::string("#") : text.substr(k, end - k);
    k = end;
  }
  ++outcomes.counts[key];
}

}  // namespace

bool check_outcome(const char* target, const Call& call, const std::optional<std::string>& expected,
                   const standin::CallResult& result) {
  tally(target, expected);
  static const bool show = std::getenv("VORLA_FUZZ_SHOW") != nullptr;
  if (show)
    std::fprintf(stderr, "%s%s -> %s\n", call.describe().c_str(), target,
                 result.error ? result.error->c_str() : "success");
  if (!result.faults.empty()) violation(target, "host fault: " + result.faults.front(), call);
  if (!result.warnings.empty()) violation(target, "warning: " + result.warnings.front(), call);
  if (result.free_store_live != 0)
    violation(target, format("%ld free-store blocks outlived the call", result.free_store_live), call);
  if (expected) {
    if (!result.error) violation(target, "succeeded; expected the error \"" + *expected + "\"", call);
    if (*result.error != *expected)
      violation(target, "raised \"" + *result.error + "\"; expected \"" + *expected + "\"", call);
  } else if (result.error) {
    violation(target, "raised \"" + *result.error + "\"; expected success", call);
  }
  if (result.error_count != (expected ? 1 : 0))
    violation(target, format("%d errors raised", result.error_count), call);
  return !expected;
}

void violation(const char* target, const std::string& what, const Call& call) {
  std::fprintf(stderr, "\n%s: %s\n%s", target, what.c_str(), call.describe().c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
