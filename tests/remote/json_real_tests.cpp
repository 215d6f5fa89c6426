// Reals in the JSON lines are exactly what std::to_chars writes in fixed notation with four
// decimals, whichever way the writer gets there: on halfway cases, near them, at the edges of the
// range and over random values.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "protocol/json_writer.h"

namespace {

std::string Written(double value) {
  std::string out;
  quorvane::protocol::AppendJsonReal(out, value);
  return out;
}

std::string Expected(double value) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
  return std::string(text, result.ptr);
}

TEST(JsonReal, HalfwayCasesRoundToEven) {
  EXPECT_EQ(Written(0.03125), "0.0312");  // 312.5 units: even below
  EXPECT_EQ(Written(0.09375), "0.0938");  // 937.5 units: even above
  EXPECT_EQ(Written(-0.03125), "-0.0312");
  for (int bits = 1; bits <= 24; ++bits) {
    for (int k = -5000; k <= 5000; ++k) {
      const double value = std::ldexp(static_cast<double>(k), -bits);
      ASSERT_EQ(Written(value), Expected(value)) << value;
    }
  }
}

TEST(JsonReal, ValuesBesideDecimalHalfwayPointsRoundByTheirExactBinaryValue) {
  for (int64_t k = 0; k < 200000; k += 7) {
    const double value = (static_cast<double>(k) + 0.5) / 10000.0;
    for (const double each :
         {value, -value, std::nextafter(value, 0.0), std::nextafter(value, 1e9)}) {
      ASSERT_EQ(Written(each), Expected(each)) << each;
    }
  }
}

TEST(JsonReal, EdgesOfTheRange) {
  constexpr double kTiny = std::numeric_limits<double>::denorm_min();
  for (const double value :
       {0.0, -0.0, kTiny, -kTiny, std::numeric_limits<double>::min(), 1e-300, -0.00004, 0.00005,
        -0.00005, 0.49999999999, 99999999999999.99, -99999999999999.99, 1e14, -1e14, 1e15,
        123456789012345.6789, std::numeric_limits<double>::max()}) {
    EXPECT_EQ(Written(value), Expected(value)) << value;
  }
  EXPECT_EQ(Written(-0.0), "-0.0000");
  EXPECT_EQ(Written(-0.00004), "-0.0000");
}

TEST(JsonReal, RandomValuesOfEveryMagnitude) {
  std::mt19937_64 random(20261206);
  for (int i = 0; i < 100000; ++i) {
    const uint64_t bits = random();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    ASSERT_EQ(Written(value), Expected(value)) << value;
  }
  for (const double range : {1.0, 600.0, 86400.0, 1e9, 9e13}) {
    std::uniform_real_distribution<double> within(-range, range);
    for (int i = 0; i < 50000; ++i) {
      const double value = within(random);
      ASSERT_EQ(Written(value), Expected(value)) << value;
    }
  }
}

}  // namespace
