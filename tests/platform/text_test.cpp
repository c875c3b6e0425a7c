#include "zarvell/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Utf16RoundTripsThroughUtf8) {
  const std::u16string text = u"K\u00e9n \u2019 \U0001F3B5 \u4e2d";
  const std::string utf8 = zarvell::utf16ToUtf8(text);
  EXPECT_EQ(utf8, "K\xc3\xa9n \xe2\x80\x99 \xf0\x9f\x8e\xb5 \xe4\xb8\xad");
  EXPECT_EQ(zarvell::utf8ToUtf16(utf8), text);
}

TEST(Text, InvalidInputIsReplacedNotDropped) {
  // An unpaired surrogate becomes U+FFFD; a lone Latin-1 byte reads as Windows-1252.
  EXPECT_EQ(zarvell::utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
  EXPECT_EQ(zarvell::utf8ToUtf16("caf\xe9 \x92"), u"caf\u00e9 \u2019");
  EXPECT_EQ(zarvell::toDisplayUtf8("caf\xe9"), "caf\xc3\xa9");
  EXPECT_EQ(zarvell::toDisplayUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
}

// File names survive UTF-16 whatever their bytes: valid UTF-8 converts as text does, every
// other byte becomes U+DC80-U+DCFF and comes back as itself.
TEST(Text, PathsRoundTripLosslesslyThroughUtf16) {
  struct Case {
    std::string bytes;
    std::u16string utf16;
  } cases[] = {
      {"plain/song.mp3", u"plain/song.mp3"},
      {"caf\xc3\xa9 \xf0\x9f\x8e\xb5", u"caf\u00e9 \U0001F3B5"},
      {"caf\xe9.mp3", u"caf\xdce9.mp3"},                  // Latin-1 byte
      {"\x80\xff", u"\xdc80\xdcff"},                      // lowest and highest
      {"\xe2\x80", u"\xdce2\xdc80"},                      // a sequence cut short
      {"\xc0\xaf", u"\xdcc0\xdcaf"},                      // overlong
      {"\xed\xa0\x80", u"\xdced\xdca0\xdc80"},            // encoded surrogate
      {"a\xe9\xc3\xa9", u"a\xdce9\u00e9"},                // bad byte beside a good sequence
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(zarvell::pathToUtf16(c.bytes), c.utf16);
    EXPECT_EQ(zarvell::utf16ToPath(c.utf16), c.bytes);
  }
  // Every single byte and every pair of bytes comes back unchanged.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(zarvell::utf16ToPath(zarvell::pathToUtf16(bytes)), bytes) << a << " " << b;
    }
  }
  // Other unpaired surrogates cannot stand for a byte and read as U+FFFD.
  EXPECT_EQ(zarvell::utf16ToPath(u"\xd800x\xdc7f"), "\xef\xbf\xbdx\xef\xbf\xbd");
  // The text conversions keep their own readings.
  EXPECT_EQ(zarvell::utf8ToUtf16("caf\xe9"), u"caf\u00e9");
}

TEST(Text, Utf8Validation) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"plain", true},          {"\xc3\xa9", true},  {"\xc0\xaf", false},  // overlong
      {"\xed\xa0\x80", false},  // surrogate
      {"\xf4\x90\x80\x80", false},  // above U+10FFFF
      {"\xe2\x80", false},      // cut short
  };
  for (const Case& c : cases) EXPECT_EQ(zarvell::isValidUtf8(c.text), c.valid) << c.text;
}

TEST(Text, FixedBuffersAreCutAtCharacterBoundaries) {
  // "aé€" is 1 + 2 + 3 bytes.
  const std::string text = "a\xc3\xa9\xe2\x82\xac";
  EXPECT_EQ(zarvell::cutAtCharBoundary(text, 2), "a");
  EXPECT_EQ(zarvell::cutAtCharBoundary(text, 3), "a\xc3\xa9");
  EXPECT_EQ(zarvell::cutAtCharBoundary(text, 5), "a\xc3\xa9");
  EXPECT_EQ(zarvell::cutAtCharBoundary(text, 6), text);
  char buffer[5];
  EXPECT_EQ(zarvell::copyToBuffer(text, buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "a\xc3\xa9");
  EXPECT_EQ(zarvell::copyToBuffer(text, buffer, 0), 0u);
}

}  // namespace
