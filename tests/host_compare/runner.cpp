// Runs calls described on standard input through the stand-in host and prints what each
// call gave, so that another host can be compared with it bit for bit.
//
// Input, one call per line:  fit|eval NLHS NARGS { ROWS COLS HEX... }...
// where every value is the 16-digit hex image of a double, in column order.
// Output, one line per call:  E <hex of the message>  or  O { ROWS COLS HEX... }... T <hex of the text>
#include "standin.h"
#include "vorla_eval.h"
#include "vorla_fit.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

double from_hex(const std::string& hex) {
  std::uint64_t bits = std::stoull(hex, nullptr, 16);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string to_hex(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, bits);
  return text;
}

std::string text_to_hex(const std::string& text) {
  std::string hex;
  char byte[3];
  for (unsigned char c : text) {
    std::snprintf(byte, sizeof byte, "%02x", c);
    hex += byte;
  }
  return hex.empty() ? "-" : hex;
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string which;
    int nlhs = 0, nargs = 0;
    if (!(in >> which >> nlhs >> nargs)) continue;
    std::vector<standin::ArrayPtr> arrays;
    std::vector<const mxArray*> inputs;
    for (int k = 0; k < nargs; ++k) {
      mwSize rows = 0, cols = 0;
      in >> rows >> cols;
      std::vector<double> values(rows * cols);
      for (double& v : values) {
        std::string hex;
        in >> hex;
        v = from_hex(hex);
      }
      arrays.push_back(standin::make_double(rows, cols, values));
      inputs.push_back(arrays.back().get());
    }
    auto r = standin::call(which == "fit" ? vorla::vorla_fit : vorla::vorla_eval, nlhs, inputs);
    if (!r.faults.empty()) {
      std::cout << "F " << text_to_hex(r.faults.front()) << "\n";
    } else if (r.error) {
      std::cout << "E " << text_to_hex(*r.error) << "\n";
    } else {
      std::cout << "O";
      for (const auto& out : r.outputs) {
        auto dims = standin::dims_of(out.get());
        std::cout << " " << dims[0] << " " << dims[1];
        for (double v : standin::values_of(out.get())) std::cout << " " << to_hex(v);
      }
      std::cout << " T " << text_to_hex(r.text) << "\n";
    }
  }
  return 0;
}
