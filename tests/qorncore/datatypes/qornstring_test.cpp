#include "qorncore/datatypes/qornstring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qorn::qornstring;
using Tokens = std::vector<std::string>;

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(qornstring, EscapeForFileCases) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"a/b", "a%2fb"},
      {"\"%&/<>", "%22%25%26%2f%3c%3e"},
      {"tab\there", "tab here"},
      {bytes({0xE9}), bytes({0xC3, 0xA9})},
      {bytes({0xFF, 0x80}), bytes({0xC3, 0xBF, 0xC2, 0x80})},
      {"Salt & Iron", "Salt %26 Iron"},
      {"plain 'text' ok", "plain 'text' ok"},
  };
  for (const Case& c : cases) EXPECT_EQ(qornstring(c.in).escapeForFile().str(), c.out) << c.in;
}

TEST(qornstring, EveryByteSurvivesEscapeThenDecode) {
  // Control bytes cannot stand in an attribute and become spaces by design; every other
  // byte value comes back as it was.
  for (int b = 0; b < 256; ++b) {
    const std::string in = "x" + bytes({b}) + "y";
    const std::string expected = b < 0x20 ? std::string("x y") : in;
    EXPECT_EQ(qornstring::decodeFileText(qornstring(in).escapeForFile().str()).str(), expected)
        << "byte " << b;
  }
  std::string all;
  for (int b = 0x20; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(qornstring::decodeFileText(qornstring(all).escapeForFile().str()).str(), all);
}

TEST(qornstring, DecodeFileTextCorners) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"100%", "100%"},                                  // "%" at the end is copied
      {"50% off", "50% off"},                            // "%" before a space is copied
      {"%4", "4"},                                       // one byte after "%": "%" dropped
      {"%41%42", "AB"},
      {bytes({0xE2, 0x82, 0xAC}) + "!", "?!"},           // three-byte character
      {bytes({0xF0, 0x9F, 0x8E, 0xB5}) + "!", "?!"},     // four-byte character
      {"a" + bytes({0xC3}), "a"},                        // lead byte at the end dropped
      {bytes({0x80}) + "a", "a"},                        // stray continuation dropped
  };
  for (const Case& c : cases) EXPECT_EQ(qornstring::decodeFileText(c.in).str(), c.out) << c.in;
}

TEST(qornstring, UnescapeFromFileKeepsUtf8AndDecodesPercent) {
  struct Case {
    std::string in;
    bool decode;
    std::string out;
  } cases[] = {
      {"My%20Music/caf%C3%A9.mp3", true, "My Music/caf" + bytes({0xC3, 0xA9}) + ".mp3"},
      {"caf" + bytes({0xC3, 0xA9}), true, "caf" + bytes({0xC3, 0xA9})},
      {bytes({0xE4, 0xB8, 0xAD}) + "%2F", true, bytes({0xE4, 0xB8, 0xAD}) + "/"},
      {"100%", true, "100%"},
      {"%zz", true, "%zz"},
      {"My%20Music", false, "My%20Music"},
  };
  for (const Case& c : cases) EXPECT_EQ(qornstring(c.in).unescapeFromFile(c.decode).str(), c.out);
}

TEST(qornstring, TokenizeTable) {
  struct Case {
    std::string text;
    bool filter;
    Tokens tokens;
  } cases[] = {
      {"The Best of", true, {"best", "of"}},
      {"The Best of", false, {"the", "best", "of"}},
      {"Don't Stop", true, {"don't", "stop"}},
      {"rock'n'roll", true, {"rock'n'roll"}},
      {"it's", true, {"it's"}},                  // joined tokens are never stop words
      {"'quoted' words", true, {"quoted", "words"}},
      {"a b c in is at", true, {}},
      {"AC/DC - Live!", true, {"ac", "dc", "live"}},
      {"x__y", false, {"x", "y"}},
      // Non-ASCII delimiters as UTF-8 characters: right quote, inverted ?, multiplication.
      {"Don\xe2\x80\x99t \xc2\xbfque? 2\xc3\x97" "3", false, {"don", "t", "que", "2", "3"}},
      // Bytes inside other UTF-8 characters never split: U+00C9 and U+4E2D stay whole.
      {"\xc3\x89t\xc3\xa9 \xe4\xb8\xad\xe6\x96\x87", false,
       {"\xc3\x89t\xc3\xa9", "\xe4\xb8\xad\xe6\x96\x87"}},
      // Not UTF-8: the byte 0x92 reads as Windows-1252 right quote, a delimiter.
      {"Don\x92t", false, {"don", "t"}},
  };
  for (const Case& c : cases) EXPECT_EQ(qornstring(c.text).tokenize(c.filter), c.tokens) << c.text;
}

TEST(qornstring, NumbersAndConstruction) {
  EXPECT_EQ(qornstring("42abc").toInt(), 42);
  EXPECT_EQ(qornstring("abc").toInt(), 0);
  EXPECT_FLOAT_EQ(qornstring("0.75").toFloat().value(), 0.75f);
  EXPECT_EQ(qornstring(static_cast<const char*>(nullptr)).str(), "");
  EXPECT_EQ(qornstring(-7).str(), "-7");
  EXPECT_EQ(qornstring(std::u16string_view(u"caf\u00e9")).str(), "caf\xc3\xa9");
}

}  // namespace
