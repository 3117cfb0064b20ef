#pragma once
// Numeric conversions of the refresh cycle. A value that does not fit the target type is an
// overflow error, and the statement that converts it leaves its result as it was.
#include <cstdint>

namespace marqel {

// Nearest integer, ties to even, in whatever rounding mode the host has left the FPU. Infinities
// and NaN come back as they are.
double RoundHalfEven(double value);

// Rounded (ties to even) to a signed 32-bit integer; raises an overflow outside its range or for
// NaN.
std::int32_t RoundToInt32(double value);

// Rounded (ties to even) to an unsigned byte: -0.5 still gives 0, 255.5 and above or below -0.5
// raise an overflow, as does NaN.
std::uint8_t RoundToByte(double value);

}  // namespace marqel
