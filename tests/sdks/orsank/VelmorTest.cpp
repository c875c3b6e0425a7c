// Velmor.so through its real export: the attribute order and what a missing attribute
// leaves behind, the year's leading digits, and the 100 ns length conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "Duration.h"
#include "OrsankTestSupport.h"
#include "TagText.h"
#include "zarvell/status.h"

namespace orsank::test {
namespace {

struct Buffers {
  char title[kOrsankTextBufferSize] = "old title";
  char album[kOrsankTextBufferSize] = "old album";
  char author[kOrsankTextBufferSize] = "old author";
  char genre[kOrsankTextBufferSize] = "old genre";
  std::int32_t year = 1234;
  std::int32_t duration = 99;
};

class Velmor : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(velmor_.entry) << velmor_.module.error(); }
  std::int32_t read(const std::string& path, Buffers& b) const {
    return velmor_.entry(path.c_str(), b.title, b.album, b.author, b.genre, &b.year, &b.duration);
  }
  Loaded<ExtractMetaDataWMFFn> velmor_ =
      loadEntry<ExtractMetaDataWMFFn>("Velmor", "ExtractMetaDataWMF");
};

// WM/Year "1999-05" gives 1999 through the genre buffer, which then gets WM/Genre.
TEST_F(Velmor, ReadsEveryAttribute) {
  Buffers b;
  EXPECT_EQ(read(tagFile("tagged.wma"), b), 0);
  EXPECT_STREQ(b.title, "Blue Hour – Café wma");
  EXPECT_STREQ(b.author, "Zarvell Ensemble");
  EXPECT_STREQ(b.album, "Night Sessions");
  EXPECT_STREQ(b.genre, "Jazz");
  EXPECT_EQ(b.year, 1999);
  EXPECT_EQ(b.duration, 7);
}

// Only "Title" is present: the year is not written, the genre buffer is emptied, the other
// buffers keep what they held; the length is still read.
TEST_F(Velmor, MissingAttributesLeaveTheirValuesExceptGenreAndDuration) {
  Buffers b;
  EXPECT_EQ(read(tagFile("nodate.wma"), b), 0);
  EXPECT_STREQ(b.title, "No Date");
  EXPECT_EQ(b.year, 1234);
  EXPECT_STREQ(b.genre, "");
  EXPECT_STREQ(b.album, "old album");
  EXPECT_STREQ(b.author, "old author");
  EXPECT_EQ(b.duration, 7);
}

TEST_F(Velmor, FilesThatAreNotWindowsMediaFail) {
  for (const std::string& path : {tagFile("tagged.mp3"), audioFile("garbage.wma"),
                                  audioFile("empty.mp3"), tagFile("missing.wma")}) {
    Buffers b;
    EXPECT_EQ(read(path, b), ZARVELL_E_FAIL) << path;
    for (const char* text : {b.title, b.album, b.author, b.genre}) EXPECT_STREQ(text, "") << path;
  }
  Buffers b;
  EXPECT_EQ(velmor_.entry(tagFile("tagged.wma").c_str(), b.title, nullptr, b.author, b.genre,
                          &b.year, &b.duration),
            ZARVELL_E_INVALIDARG);
}

TEST(VelmorDuration, HundredNanosecondUnitsAreTruncatedToSeconds) {
  EXPECT_EQ(velmor::secondsFrom100ns(2'345'670'000u), 234);
  EXPECT_EQ(velmor::secondsFrom100ns(9'999'999u), 0);
  EXPECT_EQ(velmor::secondsFrom100ns(10'000'000u), 1);
  EXPECT_EQ(velmor::secondsFrom100ns(std::numeric_limits<std::uint64_t>::max()),
            std::numeric_limits<std::int32_t>::max());
}

// The year is the number the date starts with, as the C decimal conversion reads it.
TEST(TagYear, LeadingDigitsOfTheDate) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"1999-05", 1999},
      {"1999-05-17T10:00", 1999},
      {"2004", 2004},
      {"  1987", 1987},
      {"+12", 12},
      {"-44", -44},
      {"May 1999", 0},
      {"", 0},
      {"99999999999", std::numeric_limits<std::int32_t>::max()},
      {"-99999999999", std::numeric_limits<std::int32_t>::min()}};
  for (const auto& [text, year] : cases) EXPECT_EQ(leadingNumber(text), year) << text;
}

}  // namespace
}  // namespace orsank::test
