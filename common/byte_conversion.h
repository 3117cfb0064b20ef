#pragma once
// Whole numbers into bytes, for every place that puts a computed number on the line or into a
// byte-sized field.
#include <cstdint>

namespace marqel {

// Raises the overflow error (its number and text are what users and tests know it by).
[[noreturn]] void RaiseOverflow();

// A whole number as an unsigned byte; raises an overflow outside 0 to 255. Wide enough for
// both the line's signed sums and a code page's unsigned codes. Inline: every byte on the line
// passes here twice.
inline std::uint8_t ToByte(std::int64_t value) {
  if (value < 0 || value > 255) {
    RaiseOverflow();
  }
  return static_cast<std::uint8_t>(value);
}

}  // namespace marqel
