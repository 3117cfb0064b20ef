#include "common/byte_conversion.h"

#include "common/runtime_error.h"

namespace marqel {

void RaiseOverflow() {
  throw RuntimeError(err::kOverflow, "Overflow");
}

}  // namespace marqel
