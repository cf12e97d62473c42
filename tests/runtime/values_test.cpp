// Number, date-time and text conversions shared by the commands and the units.
#include <gtest/gtest.h>

#include "runtime/values.h"

namespace {

TEST(FloatToText, RoundsToSixSignificantDigits) {
  EXPECT_EQ(rt::FloatToText(123.456f), "123.456");
  EXPECT_EQ(rt::FloatToText(0.001234567f), "0.00123457");
  EXPECT_EQ(rt::FloatToText(0.0f), "0");
  EXPECT_EQ(rt::FloatToText(0.1f), "0.1");
  EXPECT_EQ(rt::FloatToText(-2.5f), "-2.5");
  // The exponent form is msvcrt's: a sign and at least three digits.
  EXPECT_EQ(rt::FloatToText(1e10f), "1e+010");
  EXPECT_EQ(rt::FloatToText(16777216.0f), "1.67772e+007");
  EXPECT_EQ(rt::FloatToText(-3e38f), "-3e+038");
  EXPECT_EQ(rt::FloatToText(1.5e-7f), "1.5e-007");
}

// Singles whose seventh significant digit is an exact 5: evaluated in doubles, as the steps
// are defined, the scaled value falls just below the half and rounds down; extended precision
// would keep the exact half and round up. Found by comparing a double evaluation of the steps
// with an exact one over all seven-digit values ending in 5.
TEST(FloatToText, RoundingStepsAreDoubleArithmetic) {
  EXPECT_EQ(rt::FloatToText(96187.75f), "96187.7");
  EXPECT_EQ(rt::FloatToText(9518555.0f), "9.51855e+006");
  EXPECT_EQ(rt::FloatToText(1000035.0f), "1.00003e+006");
  EXPECT_EQ(rt::FloatToText(100003.5f), "100003");
  EXPECT_EQ(rt::FloatToText(-100018.5f), "-100018");
  // Exact halves that the double steps still see as halves round up.
  EXPECT_EQ(rt::FloatToText(1000005.0f), "1.00001e+006");
}

TEST(DoubleToText, ThirteenSignificantDigitsInMsvcrtForm) {
  EXPECT_EQ(rt::DoubleToText(0.1), "0.1");
  EXPECT_EQ(rt::DoubleToText(1.0 / 3), "0.3333333333333");
  EXPECT_EQ(rt::DoubleToText(-7), "-7");
  EXPECT_EQ(rt::DoubleToText(1e20), "1e+020");
  EXPECT_EQ(rt::DoubleToText(-1.5e-10), "-1.5e-010");
  EXPECT_EQ(rt::DoubleToText(1.7976931348623157e308), "1.797693134862e+308");
  EXPECT_EQ(rt::DoubleToText(12345678901234567.0), "1.234567890123e+016");
  EXPECT_EQ(rt::DoubleToText(1234567890123.0), "1234567890123");
}

TEST(DateTimeToText, DropsTrailingZeroTimeParts) {
  double midnight;
  ASSERT_TRUE(rt::TextToDateTime("2000-1-1", &midnight));
  EXPECT_EQ(midnight, 36526.0);
  EXPECT_EQ(rt::DateTimeToText(midnight), "2000年1月1日");
  EXPECT_EQ(rt::DateTimeToText(midnight + (8 * 3600 + 5) / 86400.0), "2000年1月1日8时0分5秒");
  EXPECT_EQ(rt::DateTimeToText(midnight + 8.5 / 24), "2000年1月1日8时30分");
  EXPECT_EQ(rt::DateTimeToText(midnight + 8.0 / 24), "2000年1月1日8时");
  // Out of range values clamp to the first and last day that can be shown.
  EXPECT_EQ(rt::DateTimeToText(-1e9), "100年1月1日");
  EXPECT_EQ(rt::DateTimeToText(1e9), "9999年12月31日");
  // Before the epoch the fraction is still the time of day.
  EXPECT_EQ(rt::DateTimeToText(-1.25), "1899年12月29日6时");
}

TEST(TextToDateTime, AcceptsTheSeparatorsAndRejectsMovedParts) {
  double a, b, c;
  ASSERT_TRUE(rt::TextToDateTime("2013-7-16", &a));
  ASSERT_TRUE(rt::TextToDateTime("2013年07月16日", &b));
  EXPECT_EQ(a, b);
  // Full-width digits and the full-width minus parse like ASCII.
  ASSERT_TRUE(rt::TextToDateTime("\xA3\xB2\xA3\xB0\xA3\xB1\xA3\xB3\xA3\xAD\xA3\xB7\xA3\xAD\xA3\xB1\xA3\xB6", &c));
  EXPECT_EQ(a, c);
  double t;
  ASSERT_TRUE(rt::TextToDateTime("2013/7/16 8:05:09", &t));
  EXPECT_NEAR(t - a, (8 * 3600 + 5 * 60 + 9) / 86400.0, 1e-9);
  ASSERT_TRUE(rt::TextToDateTime("2013年7月16日8时5分9秒", &t));
  EXPECT_FALSE(rt::TextToDateTime("2013-02-29", &t));
  EXPECT_TRUE(rt::TextToDateTime("2012-02-29", &t));
  EXPECT_FALSE(rt::TextToDateTime("2013-13-01", &t));
  EXPECT_FALSE(rt::TextToDateTime("2013-7-16 25:00", &t));
  EXPECT_FALSE(rt::TextToDateTime("2013", &t));
  EXPECT_FALSE(rt::TextToDateTime("", &t));
  EXPECT_FALSE(rt::TextToDateTime(nullptr, &t));
  EXPECT_FALSE(rt::TextToDateTime("2013-7-16x", &t));
  EXPECT_FALSE(rt::TextToDateTime("\xB0", &t));
}

TEST(NormaliseWide, MapsFullWidthAndDropsBlanksOnRequest) {
  EXPECT_EQ(rt::NormaliseWide("\xA3\xC1\xA1\xA1" "b\xA1\xAB\xA1\xEE\xC4\xE3", false), "A b~*\xC4\xE3");
  EXPECT_EQ(rt::NormaliseWide("a \xA1\xA1" "b", true), "ab");
  // A lead byte before the terminator ends the walk; the output is still terminated.
  EXPECT_EQ(rt::NormaliseWide("ab\xC4", false), "ab");
}

}  // namespace
