#include "qorncore/datatypes/qorndate.h"
#include "qorncore/datatypes/qornfloat.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

namespace {

using qorn::qorndate;
using qorn::qornfloat;

const std::string kCompare = "qornfloat warning: comparing an undefined value\n";
const std::string kOperate = "qornfloat warning: operating on an undefined value\n";
const std::string kDivide = "qornfloat caught divide by zero error, returning null\n";

// Runs f and returns what it wrote to standard error.
std::string stderrOf(const std::function<void()>& f) {
  testing::internal::CaptureStderr();
  f();
  return testing::internal::GetCapturedStderr();
}

TEST(qornfloat, ComparisonsWithAnUndefinedValueAreFalseEveryWay) {
  const qornfloat x(1.0f);
  const qornfloat u = qornfloat::undefinedValue();
  bool any = true;
  const std::string err = stderrOf([&] { any = (x < u) || (x >= u) || (u <= x) || (u > x); });
  EXPECT_FALSE(any);
  EXPECT_EQ(err, kCompare + kCompare + kCompare + kCompare);
  EXPECT_TRUE(qornfloat(1.0f) < qornfloat(2.0f));
  EXPECT_TRUE(qornfloat(2.0f) >= qornfloat(2.0f));
}

TEST(qornfloat, ArithmeticOnUndefinedYieldsDefinedZero) {
  const qornfloat u = qornfloat::undefinedValue();
  struct Case {
    const char* name;
    std::function<qornfloat()> op;
  } cases[] = {
      {"+", [&] { return qornfloat(3.0f) + u; }},
      {"-", [&] { return u - qornfloat(3.0f); }},
      {"*", [&] { return qornfloat(3.0f) * u; }},
      {"/", [&] { return u / qornfloat(0.0f); }},  // operating warning, not divide-by-zero
      {"pow", [&] { return u.pow(2); }},
  };
  for (const Case& c : cases) {
    qornfloat result(7.0f);
    EXPECT_EQ(stderrOf([&] { result = c.op(); }), kOperate) << c.name;
    EXPECT_FALSE(result.isUndefined()) << c.name;
    EXPECT_EQ(result.value(), 0.0f) << c.name;
  }
}

TEST(qornfloat, InPlaceOperationsLeaveTheValueOnUndefined) {
  qornfloat a(5.0f);
  EXPECT_EQ(stderrOf([&] {
              a += qornfloat::undefinedValue();
              a *= qornfloat::undefinedValue();
            }),
            kOperate + kOperate);
  EXPECT_EQ(a.value(), 5.0f);
  a -= 2.0f;
  a *= 2.0f;
  EXPECT_EQ(a.value(), 6.0f);
}

TEST(qornfloat, DivisionByZeroWarnsAndYieldsZero) {
  qornfloat result(1.0f);
  EXPECT_EQ(stderrOf([&] { result = qornfloat(1.0f) / qornfloat(0.0f); }), kDivide);
  EXPECT_EQ(result.value(), 0.0f);
  EXPECT_FALSE(result.isUndefined());
  EXPECT_FLOAT_EQ((qornfloat(1.0f) / qornfloat(4.0f)).value(), 0.25f);
}

TEST(qornfloat, PowersAndText) {
  EXPECT_FLOAT_EQ(qornfloat(0.95f).pow(10).value(), 0.598737f);
  EXPECT_FLOAT_EQ(qornfloat(2.0f).pow(-2).value(), 0.25f);
  EXPECT_FLOAT_EQ(qornfloat(0.1f).pow(0).value(), 1.0f);
  struct Case {
    float value;
    const char* text;
  } cases[] = {{0.9f, "0.9"}, {0.855f, "0.855"}, {1.0f, "1"}, {0.123456789f, "0.123457"},
               {1e-5f, "1e-05"}, {123456789.0f, "1.23457e+08"}, {-0.5f, "-0.5"}};
  for (const Case& c : cases) EXPECT_EQ(qornfloat(c.value).toText(), c.text);
  EXPECT_FLOAT_EQ(qornfloat::fromText("0.25xyz").value(), 0.25f);
  EXPECT_EQ(qornfloat::fromText("abc").value(), 0.0f);
}

TEST(qorndate, UndefinedRules) {
  const qorndate u = qorndate::undefinedValue();
  bool less = true;
  EXPECT_EQ(stderrOf([&] { less = qorndate(1) < u; }),
            "qorndate warning: comparing an undefined value\n");
  EXPECT_FALSE(less);
  qorndate diff;
  const int32_t before = static_cast<int32_t>(std::time(nullptr));
  EXPECT_EQ(stderrOf([&] { diff = qorndate(100) - u; }),
            "qorndate warning: operating on an undefined value\n");
  // The difference with an undefined date is the current time, not zero.
  EXPECT_GE(diff.seconds(), before);
  EXPECT_LE(diff.seconds(), static_cast<int32_t>(std::time(nullptr)));
  EXPECT_FALSE(diff.isUndefined());
  EXPECT_EQ((qorndate(1000) - qorndate(300)).seconds(), 700);
  EXPECT_TRUE(qorndate(5) < qorndate(6));
  EXPECT_EQ(qorndate(-1).toText(), "-1");
}

}  // namespace
