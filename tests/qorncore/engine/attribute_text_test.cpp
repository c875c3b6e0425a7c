// The network reader's fast number readers give exactly what the general readers give,
// bit for bit, for the texts a saved network holds and for every odd text around them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "qorncore/datatypes/NumberText.h"
#include "qorncore/engine/AttributeText.h"

namespace {

namespace at = qorn::attributetext;

uint64_t bits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

void expectSameAsGeneral(const std::string& text) {
  EXPECT_EQ(at::leadingInt(text.c_str()), qorn::leadingInt(text)) << '"' << text << '"';
  EXPECT_EQ(bits(at::leadingDouble(text.c_str())), bits(qorn::leadingDouble(text)))
      << '"' << text << '"';
}

TEST(AttributeText, OddTextsReadAsTheGeneralReadersReadThem) {
  const char* const texts[] = {
      "",          "0",           "-0",          "7",          "-1",         "15061",
      "0012",      "-0012",       " 12",         "+13",        "\t-4",       "-",
      "+",         ".",           "-.",          ".5",         "-.5",        "5.",
      "0.62101",   "0.0527572",   "0.3",         "1e-3",       "1E5",        "2.5e",
      "7.e2",      "123abc",      "31x",         "12.5.6",     "0x1p3",      "nan",
      "-inf",      "infinity",    "3.4e39",      "1e-50",      "2147483647", "2147483648",
      "-2147483648", "-2147483649", "999999999999999999", "9999999999999999999",
      "123456789012345", "1234567890123456", "0.123456789012345", "0.1234567890123456789",
      "99999999999999999999999", "000000000000000000001", "1.000000000000000",
      "-0.000000", "4.9e-324",  "1..2",        "--5",         "+-5",        "-+5"};
  for (const char* text : texts) expectSameAsGeneral(text);
}

TEST(AttributeText, PlainDecimalsAreCorrectlyRounded) {
  // Strengths and activations as the writer prints them (%g of floats), and plain
  // decimals of up to 15 digits with the point anywhere.
  std::mt19937_64 random(42);
  char text[64];
  for (int i = 0; i < 200000; ++i) {
    const float f = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
    expectSameAsGeneral(text);
    const int digits = 1 + static_cast<int>(random() % 15);
    std::string plain;
    for (int d = 0; d < digits; ++d) plain += static_cast<char>('0' + random() % 10);
    plain.insert(random() % (plain.size() + 1), ".");
    if (random() % 2) plain.insert(0, "-");
    expectSameAsGeneral(plain);
    if (testing::Test::HasFailure()) return;
  }
}

TEST(AttributeText, IsComparesWholeTexts) {
  EXPECT_TRUE(at::is("id", "id"));
  EXPECT_FALSE(at::is("i", "id"));
  EXPECT_FALSE(at::is("idx", "id"));
  EXPECT_FALSE(at::is("", "id"));
  EXPECT_TRUE(at::is("", ""));
  EXPECT_FALSE(at::is("to", "tempo"));
}

}  // namespace
