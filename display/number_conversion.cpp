#include "display/number_conversion.h"

#include <cmath>
#include <limits>

#include "common/byte_conversion.h"

namespace marqel {
namespace {

// The rounded value as T, when it lies within T's range (NaN never does).
template <class T>
T RoundedInto(double value) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<T>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<T>::max()))) {
    RaiseOverflow();
  }
  return static_cast<T>(rounded);
}

}  // namespace

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) {
    return value;
  }
  // floor and the difference are exact in every rounding mode; only the tie needs a choice.
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction < 0.5) {
    return below;
  }
  if (fraction > 0.5) {
    return below + 1.0;
  }
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::int32_t RoundToInt32(double value) {
  return RoundedInto<std::int32_t>(value);
}

std::uint8_t RoundToByte(double value) {
  return RoundedInto<std::uint8_t>(value);
}

}  // namespace marqel
