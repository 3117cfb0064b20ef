#include "common/byte_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "common/runtime_error.h"

namespace marqel {
namespace {

TEST(ToByte, OverflowsOutsideZeroTo255) {
  EXPECT_EQ(0, ToByte(0));
  EXPECT_EQ(255, ToByte(255));
  // Both the line's signed sums and a code page's unsigned codes come through here.
  for (const std::int64_t outside : {std::int64_t{-1}, std::int64_t{256}, std::int64_t{0x8842},
                                     std::int64_t{std::numeric_limits<std::int32_t>::min()},
                                     std::int64_t{std::numeric_limits<std::uint32_t>::max()}}) {
    try {
      ToByte(outside);
      ADD_FAILURE() << outside << " is no byte";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.number(), err::kOverflow);
      EXPECT_EQ(error.description(), "Overflow");
    }
  }
}

}  // namespace
}  // namespace marqel
