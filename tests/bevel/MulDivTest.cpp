// MulDiv rounding and the direction table.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "bevel/DirectionTable.h"
#include "bevel/MulDiv.h"

namespace {
// Oracle: exact rational rounding with 128-bit arithmetic.
int64_t RoundedQuotient(int64_t a, int64_t b, int64_t c) {
  __int128 p = __int128(a) * b;
  if (c < 0) {
    p = -p;
    c = -c;
  }
  __int128 q = p / c, r = p % c;
  if (r < 0) r = -r;
  if (2 * r >= c) q += p >= 0 ? 1 : -1;
  return int64_t(q);
}
}  // namespace

TEST(MulDiv, HalvesRoundAwayFromZero) {
  EXPECT_EQ(1, MulDiv(1, 1, 2));
  EXPECT_EQ(-1, MulDiv(-1, 1, 2));
  EXPECT_EQ(2, MulDiv(3, 1, 2));
  EXPECT_EQ(-2, MulDiv(3, -1, 2));
  EXPECT_EQ(-2, MulDiv(3, 1, -2));
  EXPECT_EQ(2, MulDiv(-3, 1, -2));
  EXPECT_EQ(0, MulDiv(2047, 1, 4096));
  EXPECT_EQ(1, MulDiv(2048, 1, 4096));
  EXPECT_EQ(-1, MulDiv(-2048, 1, 4096));
  EXPECT_EQ(0, MulDiv(-2047, 1, 4096));
}

TEST(MulDiv, ExactForWideProductsAndFailsLikeTheSystemFunction) {
  EXPECT_EQ(-1, MulDiv(5, 7, 0));
  EXPECT_EQ(-1, MulDiv(INT32_MAX, INT32_MAX, 1));  // does not fit 32 bits
  EXPECT_EQ(INT32_MAX, MulDiv(INT32_MAX, INT32_MAX, INT32_MAX));
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> small(-5000000, 5000000);
  for (int i = 0; i < 100000; ++i) {
    int32_t a = any(random), b = small(random), c = i % 3 == 0 ? 4096 : any(random);
    if (c == 0) continue;
    int64_t expected = RoundedQuotient(a, b, c);
    int32_t result = MulDiv(a, b, c);
    if (expected > INT32_MAX || expected < INT32_MIN)
      ASSERT_EQ(-1, result);
    else
      ASSERT_EQ(expected, result) << a << " " << b << " " << c;
  }
}

TEST(DirectionTable, UnitVectorsOfTheAngleSteps) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  EXPECT_FLOAT_EQ(1.0f, table.pairs[0].cos);
  EXPECT_FLOAT_EQ(0.0f, table.pairs[0].sin);
  EXPECT_FLOAT_EQ(1.0f, table.pairs[256].sin);
  EXPECT_FLOAT_EQ(-1.0f, table.pairs[512].cos);
  // The table does not use the runtime's sin and cos (they differ between
  // platforms in the last bit), yet it is as exact: within a float rounding
  // of the true values, and equal to the rounded runtime values nearly
  // everywhere (the quarter turns are exactly 0 where the runtime's, for a
  // rounded argument, are about 6e-17).
  int equal = 0;
  for (int i = 0; i < DirectionSteps; ++i) {
    long double angle = i * (2 * std::numbers::pi_v<long double> / DirectionSteps);
    ASSERT_NEAR(double(std::cos(angle)), table.pairs[i].cos, 6e-8) << i;
    ASSERT_NEAR(double(std::sin(angle)), table.pairs[i].sin, 6e-8) << i;
    double step = i * 0.006135923151542565;
    equal += float(std::cos(step)) == table.pairs[i].cos && float(std::sin(step)) == table.pairs[i].sin;
  }
  EXPECT_GE(equal, DirectionSteps - 8);
  EXPECT_EQ(0.0f, table.pairs[256].cos);
  EXPECT_EQ(0.0f, table.pairs[768].cos);
  EXPECT_EQ(0.0f, table.pairs[512].sin);
  // A biased 16.16 angle finds its step; the angle of a vector finds it back.
  EXPECT_EQ(&table.pairs[300], &DirectionFor(table, (300 << FixedShift) + DirectionBias + 0x8000));
  for (int i = 0; i < DirectionSteps; i += 7)
    EXPECT_EQ(i, DirectionAngle(table.pairs[i].cos, table.pairs[i].sin));
}
