// The number texts of every file and packet: the float text against printf and stream
// formatting over every kind of float, the fixed-point text, and how leading numbers read
// (blanks, signs, special values, overflow and underflow, what follows the number).
#include "qorncore/datatypes/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace qorn;

// The writer's float text must equal stream formatting (classic locale).
TEST(NumberText, FloatTextEqualsStreamFormatting) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> values = {0.0f,      1.0f,       0.3f,  0.1f,      0.00001f,  1e-7f,
                               123456.0f, 1234567.0f, -0.5f, 0.999999f, 0.9999995f};
  for (int i = 0; i < 20000; ++i) values.push_back(unit(rng) * (i % 2 ? 1.0f : 1e-3f));
  for (float v : values) {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << v;
    ASSERT_EQ(formatFloat(v), stream.str()) << v;
  }
}

// The writer's own digit conversion against printf "%g" over every kind of float: exact
// ties (2^-10 = 0.0009765625 rounds to even), values rounding up to the next power of ten,
// both ends of the plain-digit range, negative values, and a few million random bit
// patterns.
TEST(NumberText, FloatTextEqualsPrintfForAnyFloat) {
  auto printfText = [](float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return std::string(text);
  };
  std::vector<float> values = {0.0009765625f, 0.5f,       0.25f,           0.125f,      1.5f,
                               2.5f,          9.999995f,  9.9999996f,      99999.95f,   999999.4f,
                               999999.6f,     0.0001f,    0.000099999997f, 0.00009999f, 1e6f,
                               123456.5f,     100000.5f,  -0.0f,           -1e-4f,      -7.25f,
                               3.0e-5f,       1.0f / 3.0f};
  std::mt19937 rng(11);
  for (int i = 0; i < 3'000'000; ++i) {
    const uint32_t bits = static_cast<uint32_t>(rng());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
  }
  std::uniform_real_distribution<double> decades(-4.5, 6.5);  // the plain-digit range
  for (int i = 0; i < 1'000'000; ++i)
    values.push_back(static_cast<float>(std::pow(10.0, decades(rng))));
  for (uint32_t bits = 0x38D1B717u - 2000; bits < 0x38D1B717u + 2000; ++bits) {  // near 1e-4
    float v;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
  }
  for (float v : values) {
    if (std::isnan(v)) continue;  // the sign of a NaN's text is not printf's business here
    ASSERT_EQ(formatFloat(v), printfText(v)) << std::hexfloat << v;
  }
}

TEST(NumberText, SpecialFloatsAndFixedPoint) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(formatFloat(inf), "inf");
  EXPECT_EQ(formatFloat(-inf), "-inf");
  EXPECT_EQ(formatFloat(nan), "nan");
  EXPECT_EQ(formatFloat(-nan), "-nan");
  EXPECT_EQ(formatFloat(std::numeric_limits<float>::max()), "3.40282e+38");
  EXPECT_EQ(formatFloat(-std::numeric_limits<float>::denorm_min()), "-1.4013e-45");

  const double values[] = {0.5, -2.25, 1e-9, 1.0 / 3.0, 123456.789, -0.0, 1e300};
  for (double v : values) {
    for (int decimals : {0, 3, 8}) {
      char reference[400];
      std::snprintf(reference, sizeof reference, "%.*f", decimals, v);
      EXPECT_EQ(formatFixed(v, decimals), reference) << v << " " << decimals;
    }
  }
}

// Leading numbers read as strtod and strtol read them in the C locale, for every form a
// file can hold and the usual damage.
TEST(NumberText, LeadingNumbersReadLikeTheCConversions) {
  const char* texts[] = {"0.5",  "  -3.25xyz", "+4",     "\t\n7e2",     "1e-05",      ".5",
                         "5.",   "1e",         "1e+",    "-0",          "abc",        "",
                         "-",    "+",          "+-1",    "++1",         " + 1",       "0.75\"",
                         "1,5",  "120.7",      "1e999",  "-1e999",      "1e-999",     "-1e-999",
                         "1e39", "1e-50",      "3.4e38", "1.17549e-38", "inf",        "-Infinity",
                         "nan",  "00012",      "-1e0x",  "0.000123457", "1.23457e+08"};
  std::setlocale(LC_ALL, "C");
  for (const char* text : texts) {
    const double c = std::strtod(text, nullptr);
    const double mine = leadingDouble(text);
    if (std::isnan(c)) {
      EXPECT_TRUE(std::isnan(mine)) << text;
    } else {
      EXPECT_EQ(mine, c) << text;
      EXPECT_EQ(std::signbit(mine), std::signbit(c)) << text;
    }
    const float cf = std::strtof(text, nullptr);
    const float minef = leadingFloat(text);
    if (!std::isnan(cf)) {
      EXPECT_EQ(minef, cf) << text;
      EXPECT_EQ(std::signbit(minef), std::signbit(cf)) << text;
    }
  }
  const char* integers[] = {"42",
                            " -17",
                            "+8",
                            "120.7",
                            "end",
                            "",
                            "-",
                            "+-3",
                            "007",
                            "12ab",
                            "9223372036854775807",
                            "99999999999999999999",
                            "-99999999999999999999"};
  for (const char* text : integers)
    EXPECT_EQ(leadingInteger(text), std::strtoll(text, nullptr, 10)) << text;
  EXPECT_EQ(leadingInt("99999999999"), std::numeric_limits<int>::max());
  EXPECT_EQ(leadingInt("-99999999999"), std::numeric_limits<int>::min());
  EXPECT_EQ(leadingInt("-2147483648"), std::numeric_limits<int>::min());
}

// The exact readers take no blanks or '+' and say how much they read.
TEST(NumberText, ExactReadersTellWhatTheyRead) {
  std::size_t used = 99;
  EXPECT_EQ(readDouble("2.5e3 rest", &used), 2500.0);
  EXPECT_EQ(used, 5u);
  EXPECT_FALSE(readDouble(" 1", &used).has_value());
  EXPECT_EQ(used, 0u);
  EXPECT_FALSE(readDouble("+1").has_value());
  EXPECT_EQ(readFloat("1e-60", &used), 0.0f);  // underflow reads as zero, all of it used
  EXPECT_EQ(used, 5u);
  EXPECT_TRUE(std::isinf(*readFloat("-1e60")));
  EXPECT_EQ(readInteger("71", &used), 71);
  EXPECT_EQ(used, 2u);
  EXPECT_EQ(readInteger("7x", &used), 7);
  EXPECT_EQ(used, 1u);
  EXPECT_FALSE(readInteger("x7", &used).has_value());
  EXPECT_EQ(used, 0u);
}

// Nothing here looks at the process locale: a decimal-comma locale changes no text.
TEST(NumberText, TheProcessLocaleChangesNothing) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(formatFloat(0.75f), "0.75");
  EXPECT_EQ(formatFloat(1234.5f), "1234.5");
  EXPECT_EQ(formatFloat(1e-5f), "1e-05");
  EXPECT_EQ(formatFixed(0.5, 8), "0.50000000");
  EXPECT_EQ(leadingDouble("0.75"), 0.75);
  EXPECT_EQ(leadingFloat("1.5e-3"), 1.5e-3f);
  EXPECT_EQ(leadingDouble("0,75"), 0.0);  // the comma is no decimal point in a file
  EXPECT_EQ(leadingInt("1.000"), 1);
  std::setlocale(LC_ALL, "C");
}

}  // namespace
