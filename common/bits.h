// Bit scans that every compiler the MEX files meet can build: GCC and Clang (Linux, macOS,
// MinGW-w64) through their builtin, Microsoft's compiler through its intrinsic, any other
// through a plain loop.
#ifndef VORLA_BITS_H
#define VORLA_BITS_H

#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace vorla {

// The index of the lowest set bit of a non-zero word.
inline std::int32_t lowest_set_bit(std::uint32_t word) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_ctz(word);
#elif defined(_MSC_VER)
  unsigned long index = 0;
  _BitScanForward(&index, word);
  return static_cast<std::int32_t>(index);
#else
  std::int32_t index = 0;
  for (; (word & 1u) == 0; word >>= 1) ++index;
  return index;
#endif
}

}  // namespace vorla

#endif
