// What goes over the wire to the community server: the packet text of upload and download
// entries, value escaping, feature formatting, the multipart body and the request itself,
// as a real HTTP server on 127.0.0.1 receives them.
#include <gtest/gtest.h>

#include <clocale>

#include "CommunityTestSupport.h"
#include "zarvell/deployment.h"
#include "QrPacket.h"
#include "SonalyxTestSupport.h"

namespace sonalyx::test {
namespace {

constexpr const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QR ver='300'>\n";

class CommunityWire : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ok()); }
  // Runs one exchange against the server and returns the packet it received.
  std::string exchange(CommunitySongs& songs, bool upload) {
    CommunityConnection connection;
    const auto refs = songs.refs();
    const std::int32_t status = upload ? connection.upload(refs) : connection.download(refs);
    EXPECT_EQ(status, 0);
    const auto requests = server_.requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::string() : packetOf(requests.back());
  }
  FixtureHttpServer server_;
  ScopedEnv host_{zarvell::kCommunityHostVariable, server_.hostPort()};
};

// Fills every metadata field with a distinct value.
void fillAll(CommunitySongs& s, int i) {
  FESyncItem& it = s.item(i);
  it.path = s.text(u"/music/Folder.x/01 It's.mp3");
  it.name = s.text(u"It's\ta\nsong");
  it.artist = s.text(u"AC<DC>");
  it.album = s.text(u"Rock & \"Roll\"");
  it.textCp = s.text(u"cp");
  it.textCt = s.text(u"ct");
  it.textCd = s.text(u"cd");
  it.textLg = s.text(u"lg");
  it.genre = s.text(u"Gr\u00e9");
  it.textIk = s.text(u"ik");
  it.textMo = s.text(u"mo");
  it.textPd = s.text(u"pd");
  it.textPr = s.text(u"pr");
  it.textPb = s.text(u"pb");
  it.textSt = s.text(u"st");
  it.textWt = s.text(u"wt");
  it.duration = 215;
  it.playCount = 7;
  it.intYr = 11;
  it.year = 1999;
  it.reserved = 5;
  it.intBm = 120;
  it.intId = -4;
  it.intTn = 3;
}

std::string featureLine(const std::vector<float>& f) {
  std::string out = "\t<FT";
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) {
    char v[64];
    std::snprintf(v, sizeof v, " f%d=\"%0.8f\"", 300 + k,
                  static_cast<double>(f[static_cast<std::size_t>(k)]));
    out += v;
  }
  return out + " />\n";
}

std::vector<float> someFeatures() {
  std::vector<float> f(SONALYX_FEATURE_COUNT);
  for (int k = 0; k < SONALYX_FEATURE_COUNT; ++k) f[static_cast<std::size_t>(k)] = k * 0.37f - 9.0f;
  f[0] = 0.5f;
  f[1] = 1.0f / 3.0f;
  f[2] = -0.0f;
  f[3] = 123456.789f;
  return f;
}

TEST_F(CommunityWire, UploadPacketCarriesAllMetadataInOrderAndTheFeatures) {
  CommunitySongs songs(2);
  fillAll(songs, 0);
  songs.item(1).path = songs.text(u"plain.wav");  // nothing else: only fn and the hash
  const auto f = someFeatures();
  songs.setFeatures(0, f);
  songs.setFeatures(1, f);
  const std::string expected =
      std::string(kDecl) +
      "<ET>\n\t<MD\n"
      "\t\tal=\"Rock &amp; &quot;Roll&quot;\"\n\t\tar=\"AC&lt;DC&gt;\"\n\t\tbm=\"120\"\n"
      "\t\tcd=\"cd\"\n\t\tcp=\"cp\"\n\t\tct=\"ct\"\n\t\tdr=\"215\"\n"
      "\t\tfn=\"01 It&apos;s.mp3\"\n\t\tgr=\"Gr\xc3\xa9\"\n\t\tid=\"-4\"\n\t\tik=\"ik\"\n"
      "\t\tlg=\"lg\"\n\t\tmo=\"mo\"\n\t\tnm=\"It&apos;sa song\"\n\t\tpb=\"pb\"\n\t\tpd=\"pd\"\n"
      "\t\tpr=\"pr\"\n\t\tst=\"st\"\n\t\ttn=\"3\"\n\t\twt=\"wt\"\n\t\typ=\"1999\"\n\t\tyr=\"11\"\n"
      "\t\tmd5=\"00000000000000000000000000abc000\"\n\t\t/>\n" +
      featureLine(f) +
      "</ET>\n<ET>\n\t<MD\n\t\tfn=\"plain.wav\"\n"
      "\t\tmd5=\"00000000000000000000000000abc001\"\n\t\t/>\n" +
      featureLine(f) + "</ET>\n</QR>\n";
  EXPECT_EQ(exchange(songs, true), expected);
  EXPECT_NE(expected.find(" f300=\"0.50000000\" f301=\"0.33333334\""), std::string::npos);
  EXPECT_EQ(int32_t{songs.item(0).sent}, 1);
  EXPECT_EQ(int32_t{songs.item(1).sent}, 1);
  EXPECT_EQ(server_.requests()[0].target, "/community/FeatureUpload");
}

TEST_F(CommunityWire, DownloadPacketSendsMetadataOnlyWhenAsked) {
  CommunitySongs songs(3);
  fillAll(songs, 0);
  songs.item(0).sendMetadata = 1;
  fillAll(songs, 1);  // same metadata, but not asked for: hash only
  songs.item(2).sendMetadata = 1;
  songs.item(2).genre = songs.text(u"");  // empty text and zero integers are left out
  const std::string expected =
      std::string(kDecl) +
      "<ET>\n\t<MD\n"
      "\t\tar=\"AC&lt;DC&gt;\"\n\t\tal=\"Rock &amp; &quot;Roll&quot;\"\n\t\tdr=\"215\"\n"
      "\t\tgr=\"Gr\xc3\xa9\"\n\t\tnm=\"It&apos;sa song\"\n\t\tfn=\"01 It&apos;s.mp3\"\n"
      "\t\typ=\"1999\"\n\t\tmd5=\"00000000000000000000000000abc000\"\n\t\t/>\n</ET>\n"
      "<ET>\n\t<MD\n\t\tmd5=\"00000000000000000000000000abc001\"\n\t\t/>\n</ET>\n"
      "<ET>\n\t<MD\n\t\tmd5=\"00000000000000000000000000abc002\"\n\t\t/>\n</ET>\n"
      "</QR>\n";
  EXPECT_EQ(exchange(songs, false), expected);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(int32_t{songs.item(i).sent}, 1) << i;
  EXPECT_EQ(server_.requests()[0].target, "/community/FeatureDownload");
}

TEST_F(CommunityWire, RequestIsAnHttp10MultipartPostWithItsHeaders) {
  CommunitySongs songs(1);
  songs.item(0).path = songs.text(u"/a/b.mp3");
  ASSERT_FALSE(exchange(songs, true).empty());
  const RecordedRequest r = server_.requests().at(0);
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.version, "HTTP/1.0");
  EXPECT_EQ(r.header("User-Agent"), "Sonalyx");
  EXPECT_EQ(r.header("Accept"), "*/*");
  EXPECT_EQ(r.header("Content-Type"),
            "multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY");
  EXPECT_EQ(r.headerCount("Content-Length"), 1);
  EXPECT_EQ(r.header("Content-Length"), std::to_string(r.body.size()));
  EXPECT_EQ(r.header("Pragma"), "no-cache");
  EXPECT_EQ(r.headerCount("Expect"), 0);
  EXPECT_EQ(r.header("Host"), server_.hostPort());

  // The framing, byte by byte: part header, UTF-16LE packet (no BOM), CR LF, closing line.
  const std::string head =
      "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: form-data; name=\"uploaded\"; "
      "filename=\"packet.xml\"\r\n\r\n";
  const std::string tail = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n";
  ASSERT_GT(r.body.size(), head.size() + tail.size());
  EXPECT_EQ(r.body.substr(0, head.size()), head);
  EXPECT_EQ(r.body.substr(r.body.size() - tail.size()), tail);
  EXPECT_EQ(r.body.substr(head.size(), 4), std::string("<\0?\0", 4));
}

TEST(CommunityMultipart, FramesEachPartAndClosesTheBody) {
  const std::string body = multipartBody({FormPart{"uploaded", u"\u00e9a"}, FormPart{"x", u""}});
  EXPECT_EQ(body, multipartHead() + std::string("\xe9\0a\0", 4) +
                      "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\nContent-Disposition: "
                      "form-data; name=\"x\"; filename=\"packet.xml\"\r\n\r\n" +
                      multipartTail());
  EXPECT_EQ(multipartBody({}), "----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n");
}

TEST(CommunityEscaping, PassesRunInOrder) {
  struct Case {
    std::u16string in, out;
  } cases[] = {
      {u"It's", u"It&apos;s"},
      {u"a\tb\t", u"ab"},
      {u"line\nbreak\n", u"line break "},
      {u"&lt;", u"&amp;lt;"},  // & first: an existing entity is escaped again
      {u"<\"x\">", u"&lt;&quot;x&quot;&gt;"},
      {u"cr\r stays", u"cr\r stays"},
      {u"\t\n", u" "},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(escapeValue(c.in), c.out) << zarvell::utf16ToUtf8(c.in);
}

TEST(CommunityEscaping, FeaturesUseEightDecimalsWhateverTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  // A locale with a decimal comma, when the machine has one: the output must not change.
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(formatFeature(0.5f), "0.50000000");
  EXPECT_EQ(formatFeature(-2.25f), "-2.25000000");
  EXPECT_EQ(formatFeature(1e-9f), "0.00000000");
  EXPECT_EQ(formatFeature(1.0f / 3.0f), "0.33333334");
  std::setlocale(LC_NUMERIC, saved.c_str());
  char reference[64];
  std::snprintf(reference, sizeof reference, "%0.8f", static_cast<double>(123456.789f));
  EXPECT_EQ(formatFeature(123456.789f), reference);
}

}  // namespace
}  // namespace sonalyx::test
