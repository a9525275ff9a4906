#include "common/fixed_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace common;

struct IntCase {
  long long value;
  int width;
  const char* expected;
};

const IntCase kIntCases[] = {
    {0, 1, "0"},
    {7, 4, "   7"},
    {-7, 4, "  -7"},
    {999, 3, "999"},
    {1000, 3, "***"},   // one digit too wide
    {-99, 3, "-99"},
    {-100, 3, "***"},   // the sign makes it too wide
    {12345678, 8, "12345678"},
    {std::numeric_limits<long long>::min(), 20, "-9223372036854775808"},
    {std::numeric_limits<long long>::min(), 19, "*******************"},
};

TEST(FixedFormat, IntegerFields) {
  for (const IntCase& c : kIntCases) {
    SCOPED_TRACE(testing::Message() << c.value << " in " << c.width);
    EXPECT_EQ(FmtInt(c.value, c.width), c.expected);
  }
}

// Line numbers in read messages: four columns up to 9999, then as wide as
// the number needs.
TEST(FixedFormat, IntegerFieldsThatWidenInsteadOfAsterisks) {
  const IntCase cases[] = {
      {8, 4, "   8"},        {9999, 4, "9999"},    {10000, 4, "10000"},
      {123456, 4, "123456"}, {-999, 4, "-999"},    {-1000, 4, "-1000"},
      {42, 0, "42"},
  };
  for (const IntCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " in " << c.width);
    EXPECT_EQ(FmtIntAtLeast(c.value, c.width), c.expected);
  }
}

struct FixedCase {
  double value;
  int width;
  int decimals;
  const char* expected;
};

// Negative values that round to zero, and negative zero, keep their sign.
const FixedCase kFixedCases[] = {
    {0.5, 4, 2, "0.50"},
    {0.5, 5, 2, " 0.50"},
    {-0.5, 5, 2, "-0.50"},
    {-0.5, 4, 2, "-.50"},       // the leading zero gives way when the field is full
    {0.5, 3, 2, ".50"},
    {0.5, 2, 2, "**"},
    {-0.5, 3, 2, "***"},
    {0.0, 6, 3, " 0.000"},
    {-0.0, 6, 3, "-0.000"},
    {-0.0004, 6, 3, "-0.000"},
    {3.0, 5, 0, "   3."},       // no decimals still prints the point
    {0.4, 3, 0, " 0."},
    {2.5, 3, 0, " 2."},         // ties of the exact binary value round to even
    {0.125, 5, 2, " 0.12"},
    {0.375, 5, 2, " 0.38"},
    {2.675, 5, 2, " 2.67"},     // 2.675 is stored slightly below the tie
    {1.005, 5, 2, " 1.00"},
    {9.995, 5, 2, " 9.99"},
    {9.9951, 5, 2, "10.00"},
    {99.995, 5, 2, "*****"},    // rounds up to 100.00, one digit too wide
    {-9.9951, 5, 2, "*****"},
    {123.456, 8, 3, " 123.456"},
    {123.456, 7, 3, "123.456"},
    {-123.456, 7, 3, "*******"},
    {1e300, 10, 2, "**********"},
    {999.9000244140625, 8, 3, " 999.900"},
};

TEST(FixedFormat, FixedPointFields) {
  for (const FixedCase& c : kFixedCases) {
    SCOPED_TRACE(testing::Message() << c.value << " as F" << c.width << "." << c.decimals);
    EXPECT_EQ(FmtFixed(c.value, c.width, c.decimals), c.expected);
  }
}

TEST(FixedFormat, NotANumberGivesAsterisks) {
  EXPECT_EQ(FmtFixed(std::nan(""), 6, 2), "******");
  EXPECT_EQ(FmtFixed(std::numeric_limits<double>::infinity(), 6, 2), "******");
  EXPECT_EQ(FmtFixed(-std::numeric_limits<double>::infinity(), 4, 1), "****");
}

TEST(FixedFormat, TextFields) {
  EXPECT_EQ(FmtText("abc", 6), "   abc");
  EXPECT_EQ(FmtText("abc", 3), "abc");
  EXPECT_EQ(FmtText("abcdef", 4), "abcd");
  EXPECT_EQ(FmtText("", 2), "  ");
  EXPECT_EQ(RepeatChar('-', 3), "---");
  EXPECT_EQ(RepeatChar('-', -1), "");
}

TEST(FixedFormat, BlankHelpers) {
  EXPECT_EQ(TrimRight("  ab c  "), "  ab c");
  EXPECT_EQ(TrimRight("ab\t "), "ab\t");  // blanks only
  EXPECT_EQ(TrimRight("   "), "");
  EXPECT_EQ(TrimBoth("  ab c  "), "ab c");
  EXPECT_EQ(TrimBoth("    "), "");
  EXPECT_EQ(AdjustLeft("  ab "), "ab   ");
  EXPECT_EQ(AdjustLeft("   "), "   ");
  EXPECT_EQ(AdjustRight(" ab  "), "   ab");
  EXPECT_EQ(AdjustRight(""), "");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadRight("abcdef", 4), "abcd");
}

TEST(FixedFormat, RoundHalfAwayFromZero) {
  const struct {
    double x;
    long long expected;
  } cases[] = {
      {0.5, 1},   {-0.5, -1}, {1.5, 2},  {2.5, 3},   {-2.5, -3},
      {0.49999999999999994, 0}, {2.4999999999999996, 2}, {-0.4, 0},
      {4503599627370497.0, 4503599627370497LL},  // above 2^52: already whole
      {1e19, std::numeric_limits<long long>::max()},
      {-1e19, std::numeric_limits<long long>::min()},
      {9223372036854775807.0, std::numeric_limits<long long>::max()},  // = 2^63
      {-9223372036854775808.0, std::numeric_limits<long long>::min()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(RoundHalfAway(c.x), c.expected);
  }
}

}  // namespace
