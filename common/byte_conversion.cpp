#include "common/byte_conversion.h"

#include "common/runtime_error.h"

namespace marqel {

void RaiseOverflow() {
  throw RuntimeError(err::kOverflow, "Overflow");
}

std::uint8_t ToByte(std::int64_t value) {
  if (value < 0 || value > 255) {
    RaiseOverflow();
  }
  return static_cast<std::uint8_t>(value);
}

}  // namespace marqel
