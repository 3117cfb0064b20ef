#include "display/number_conversion.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>

#include "common/runtime_error.h"

namespace marqel {
namespace {

struct RoundCase {
  double value;
  double rounded;
};

void PrintTo(const RoundCase& c, std::ostream* out) {
  *out << c.value << " -> " << c.rounded;
}

class RoundHalfEvenCases : public ::testing::TestWithParam<RoundCase> {};

// The host may leave the FPU in any rounding mode; ties must still go to even.
TEST_P(RoundHalfEvenCases, RoundsTiesToEvenInEveryRoundingMode) {
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(0, std::fesetround(mode));
    const double rounded = RoundHalfEven(GetParam().value);
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(GetParam().rounded, rounded) << GetParam().value << " in mode " << mode;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RoundHalfEvenCases,
    ::testing::Values(RoundCase{0.5, 0.0}, RoundCase{1.5, 2.0}, RoundCase{2.5, 2.0},
                      RoundCase{-0.5, 0.0}, RoundCase{-1.5, -2.0}, RoundCase{-2.5, -2.0},
                      RoundCase{0.49999999999999994, 0.0}, RoundCase{2.5000000000000004, 3.0},
                      RoundCase{-0.001, 0.0}, RoundCase{-1.499, -1.0}, RoundCase{13.5, 14.0},
                      RoundCase{28.125, 28.0}, RoundCase{4503599627370497.0, 4503599627370497.0}));

std::optional<int> ByteOf(double value) {
  try {
    return RoundToByte(value);
  } catch (const RuntimeError& e) {
    EXPECT_EQ(err::kOverflow, e.number());
    return std::nullopt;
  }
}

std::optional<long long> Int32Of(double value) {
  try {
    return RoundToInt32(value);
  } catch (const RuntimeError& e) {
    EXPECT_EQ(err::kOverflow, e.number());
    return std::nullopt;
  }
}

TEST(RoundToByte, OverflowsOutsideTheByteAfterRounding) {
  EXPECT_EQ(0, ByteOf(-0.5));
  EXPECT_EQ(std::nullopt, ByteOf(-0.5000001));
  EXPECT_EQ(255, ByteOf(255.4999));
  EXPECT_EQ(std::nullopt, ByteOf(255.5));
  EXPECT_EQ(254, ByteOf(254.5));
  EXPECT_EQ(std::nullopt, ByteOf(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(std::nullopt, ByteOf(std::numeric_limits<double>::infinity()));
}

TEST(RoundToInt32, OverflowsOutsideTheRangeAfterRounding) {
  EXPECT_EQ(2147483647LL, Int32Of(2147483647.4));
  EXPECT_EQ(std::nullopt, Int32Of(2147483647.5));
  EXPECT_EQ(-2147483648LL, Int32Of(-2147483648.5));  // the tie goes to the even bound
  EXPECT_EQ(std::nullopt, Int32Of(-2147483648.6));
  EXPECT_EQ(-1, Int32Of(-1.499));
  EXPECT_EQ(std::nullopt, Int32Of(-std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace marqel
