#pragma once
// Whole numbers into bytes, for every place that puts a computed number on the line or into a
// byte-sized field.
#include <cstdint>

namespace marqel {

// Raises the overflow error (its number and text are what users and tests know it by).
[[noreturn]] void RaiseOverflow();

// A whole number as an unsigned byte; raises an overflow outside 0 to 255. Wide enough for
// both the line's signed sums and a code page's unsigned codes.
std::uint8_t ToByte(std::int64_t value);

}  // namespace marqel
