// The small XML reader used for community replies: its tokens, raw sections, names in any
// case, entities, and its refusal of broken, truncated or too deeply nested input.
#include <gtest/gtest.h>

#include "XmlNode.h"
#include "zarvell/text.h"

namespace sonalyx {
namespace {

XmlNode parse(const std::string& utf8, std::string* error = nullptr) {
  return parseXml(zarvell::utf8ToUtf16(utf8), error);
}
std::string u8(const std::u16string& s) {
  return zarvell::utf16ToUtf8(s);
}

TEST(CommunityXml, ReadsElementsAttributesAndTextInDocumentOrder) {
  const XmlNode doc = parse(
      "<?xml version=\"1.0\"?>\r\n<QR ver='300' b=bare c = \"sp ace\" flag>\n\t<ET n=1/>"
      "<et n=\"2\"></et>  hello <!-- <ET n=3/> --> world <ET n='4'/></QR>");
  const XmlNode* qr = doc.child(u"qr");
  ASSERT_NE(qr, nullptr);
  ASSERT_EQ(qr->attributes.size(), 4u);
  EXPECT_EQ(u8(qr->attributes[0].first), "ver");
  EXPECT_EQ(u8(*qr->attribute(u"VER")), "300");
  EXPECT_EQ(u8(*qr->attribute(u"b")), "bare");
  EXPECT_EQ(u8(*qr->attribute(u"c")), "sp ace");
  EXPECT_EQ(u8(*qr->attribute(u"flag")), "");
  EXPECT_EQ(qr->attribute(u"missing"), nullptr);
  EXPECT_EQ(qr->countChildren(u"Et"), 3u);
  ASSERT_EQ(qr->children.size(), 3u);
  EXPECT_EQ(u8(*qr->children[1].attribute(u"n")), "2");
  EXPECT_EQ(u8(*qr->children[2].attribute(u"n")), "4");
  EXPECT_EQ(u8(qr->text), "hello world");
}

TEST(CommunityXml, RawSectionsStayUnparsed) {
  const XmlNode doc = parse(
      "<!DOCTYPE qr [x]><r><![CDATA[a<b>&c]]><pre><x>&bogus;</x></PRE>"
      "<SCRIPT>if (a < b && c > d) {}</script></r>");
  const XmlNode* r = doc.child(u"r");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(u8(r->text), "a<b>&c");
  ASSERT_EQ(r->children.size(), 2u);
  EXPECT_EQ(u8(r->children[0].name), "PRE");
  EXPECT_EQ(u8(r->children[0].text), "<x>&bogus;</x>");
  EXPECT_EQ(u8(r->children[1].text), "if (a < b && c > d) {}");
}

TEST(CommunityXml, DecodesTheFiveEntitiesInAnyCase) {
  const XmlNode doc = parse("<a v='&lt;&GT;&amp;&Apos;&quot;'>x &amp;amp; y</a>");
  ASSERT_NE(doc.child(u"a"), nullptr);
  EXPECT_EQ(u8(*doc.child(u"a")->attribute(u"v")), "<>&'\"");
  EXPECT_EQ(u8(doc.child(u"a")->text), "x &amp; y");
}

TEST(CommunityXml, UnknownEntityIsReportedAndDropsTheDocument) {
  struct Case {
    std::string xml, message;
  } cases[] = {
      {"<a v='&nbsp;'/>", "unknown escape character: '&nbsp'\n"},
      {"<a>&#65;</a>", "unknown escape character: '&#65'\n"},
      {"<a v='x & y'/>", "unknown escape character: '& y'\n"},
      {"<a v='&averyverylongname;'/>", "unknown escape character: '&averyveryl'\n"},
      {"<a v='&lt'/>", "unknown escape character: '&lt'\n"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStdout();
    const XmlNode doc = parse(c.xml);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message) << c.xml;
    EXPECT_TRUE(doc.children.empty()) << c.xml;
  }
}

TEST(CommunityXml, BrokenInputGivesAnEmptyTree) {
  const char* cases[] = {
      "<a>",      "<a></b>",     "</a>",          "<a b='x></a>", "<a <b/></a>",
      "<a =x/>",  "<>",          "<a><!-- x</a>", "<![CDATA[ x",  "<pre>x",
      "<script>", "<!DOCTYPE x", "<?xml ",        "<a b=\"",      "<a/",
  };
  for (const char* xml : cases) {
    std::string error;
    const XmlNode doc = parse(xml, &error);
    EXPECT_TRUE(doc.children.empty()) << xml;
    EXPECT_FALSE(error.empty()) << xml;
  }
}

TEST(CommunityXml, EveryTruncationOfAReplyIsSafe) {
  const std::string reply =
      "<?xml version=\"1.0\"?><QR ver='300'><!-- c --><ET><MD md5=\"abc\" nm='A &amp; B'/>"
      "<FT f300=\"0.5\" f301='1'/></ET><![CDATA[x]]></QR>";
  for (std::size_t n = 0; n < reply.size(); ++n) {
    const XmlNode doc = parse(reply.substr(0, n));
    EXPECT_EQ(doc.child(u"QR"), nullptr) << n;
  }
  EXPECT_NE(parse(reply).child(u"QR"), nullptr);
}

TEST(CommunityXml, NestingIsBounded) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<e>";
    for (int i = 0; i < depth; ++i) s += "</e>";
    return s;
  };
  EXPECT_EQ(parse(nested(kXmlMaxDepth)).children.size(), 1u);
  std::string error;
  EXPECT_TRUE(parse(nested(kXmlMaxDepth + 1), &error).children.empty());
  EXPECT_EQ(error, "elements nested too deeply");
  EXPECT_TRUE(parse(std::string(100000, '<')).children.empty());
}

}  // namespace
}  // namespace sonalyx
