// The features XML file and the normaliser file: the writer's exact text, reading back in
// both "s" modes with plain and scrambled normalisers, version check, lookup mode, the
// error reports, and loading the normaliser table at engine start.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "feature_test_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/features/FeatureXmlReader.h"
#include "qorncore/manager/features/NormaliserTable.h"

using namespace qorn;
using namespace featuretest;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class FeatureXml : public testing::Test {
 protected:
  void SetUp() override {
    normaliserTable() = mixedTable();
    clearLogOutputText();
    setManagerPresent(true);
  }
  void TearDown() override {
    normaliserTable().clear();
    setManagerPresent(false);
    clearLogOutputText();
  }

  // A store of `count` songs; song 1 is marked uploaded and has a segment end.
  std::unique_ptr<FeatureManager> store(const std::string& name, int count) {
    auto m = std::make_unique<FeatureManager>(dir_.file(name));
    for (int i = 0; i < count; ++i) {
      FeatureSet set(sampleValues(i));
      m->append(md5For(i), set);
    }
    return m;
  }
  void expectSameSongs(FeatureManager& a, FeatureManager& b, int count) {
    for (int i = 0; i < count; ++i) {
      const FeatureSet* x = a.featureSet(md5For(i));
      const FeatureSet* y = b.featureSet(md5For(i));
      ASSERT_NE(x, nullptr);
      ASSERT_NE(y, nullptr) << i;
      ASSERT_EQ(y->values().size(), 72u);
      for (int k = 0; k < kFeatureCount; ++k) {
        // Six significant digits in the text.
        EXPECT_NEAR(y->values()[k], x->values()[k],
                    1e-5 * std::max(1.0f, std::abs(x->values()[k])));
      }
      EXPECT_EQ(y->tempo(), x->tempo());
    }
  }
  void expectSameTable(const NormaliserTable& a, const NormaliserTable& b) {
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < kFeatureCount; ++i) {
      ASSERT_NE(b.at(i), nullptr) << i;
      EXPECT_EQ(b.at(i)->type(), a.at(i)->type()) << i;
      for (int s = 0; s < Normaliser::kStatCount; ++s) {
        EXPECT_FLOAT_EQ(b.at(i)->stat(static_cast<Normaliser::Stat>(s)),
                        a.at(i)->stat(static_cast<Normaliser::Stat>(s)));
      }
    }
  }

  TempDir dir_;
  LogCapture log_;
};

}  // namespace

TEST_F(FeatureXml, WrittenTextLineForLine) {
  normaliserTable() = normalTable();
  auto m = store("a.mbff", 2);
  const std::vector<std::string> l = lines(m->xmlText());
  ASSERT_EQ(l.size(), 2u + 74u + 1u + 2 * (2u + 72u + 2u) + 2u);
  EXPECT_EQ(l[0], "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(l[1], "<features version=\"1.0\"  >");
  EXPECT_EQ(l[2], "<normalisation version=\"1.0\" s=\"0\" >");
  EXPECT_EQ(l[3],
            "<normf name=\"Mean_Acc1298_Mean_Mem40_Centroid\" type=\"normal\" mean=\"0\" "
            "stddev=\"2\" q0_125=\"0\" q0_25=\"0\" q0_375=\"0\" median=\"0\" q0_625=\"0\" "
            "q0_75=\"0\" q0_875=\"0\" />");
  EXPECT_EQ(l[75], "</normalisation>");
  EXPECT_EQ(l[76], "<songs s=\"1\" >");
  // Songs in md5 order.
  const bool zeroFirst = md5For(0) < md5For(1);
  const int first = zeroFirst ? 0 : 1;
  EXPECT_EQ(l[77], " <song md5=\"" + md5For(first) + "\"  ul=\"0\"  >");
  EXPECT_EQ(l[78], "  <segment seqid=\"1\"  start=\"0\" end=\"end\" tempo=\"" +
                       std::to_string(140 + first) + "\">");
  EXPECT_EQ(l[79], "   <feature name=\"0\" val=\"" + floatText(sampleValues(first)[0]) + "\"  />");
  EXPECT_EQ(l[79 + 71],
            "   <feature name=\"71\" val=\"" + floatText(sampleValues(first)[71]) + "\"  />");
  EXPECT_EQ(l[151], "  </segment>");
  EXPECT_EQ(l[152], "</song>");
  EXPECT_EQ(l[l.size() - 2], "</songs>");
  EXPECT_EQ(l.back(), "</features>");
}

TEST_F(FeatureXml, SegmentEndAndUploadFlagAreWritten) {
  FeatureManager m(dir_.file("s.mbff"));
  FeatureSet set(sampleValues(0));
  m.append(md5For(0), set);
  // The store keeps no XML-only fields: load them through a file.
  const std::string xml = "<features version=\"1.0\"><songs s=\"1\"><song md5=\"" + md5For(7) +
                          "\" ul=\"1\"><segment seqid=\"1\" start=\"0\" end=\"30\" tempo=\"99\">" +
                          [] {
                            std::string f;
                            for (int i = 0; i < 72; ++i)
                              f += "<feature name=\"" + std::to_string(i) + "\" val=\"1\"/>";
                            return f;
                          }() +
                          "</segment></song></songs></features>";
  writeFile(dir_.file("in.xml"), xml);
  ASSERT_TRUE(m.loadXml(dir_.file("in.xml")));
  const std::string text = m.xmlText();
  EXPECT_NE(text.find(" <song md5=\"" + md5For(7) +
                      "\"  ul=\"1\"  >\n"
                      "  <segment seqid=\"1\"  start=\"0\" end=\"30\" tempo=\"99\">\n"),
            std::string::npos);
}

TEST_F(FeatureXml, RoundTripPositionsAndScrambledNormalisers) {
  for (bool scrambled : {false, true}) {
    SCOPED_TRACE(scrambled);
    const NormaliserTable written = mixedTable();
    normaliserTable() = written;
    normaliserTable().setScrambled(scrambled);
    auto source = store(scrambled ? "s1.mbff" : "s0.mbff", 5);
    const std::string xml = dir_.file(scrambled ? "s1.xml" : "s0.xml");
    ASSERT_EQ(source->saveXml(xml), 1);
    EXPECT_EQ(readFile(xml).find("Mean_Acc1298") == std::string::npos, scrambled);

    normaliserTable().clear();
    FeatureManager target(dir_.file(scrambled ? "t1.mbff" : "t0.mbff"));
    ASSERT_TRUE(target.loadXml(xml));
    EXPECT_EQ(target.recordCount(), 5u);
    expectSameSongs(*source, target, 5);
    expectSameTable(written, normaliserTable());
    EXPECT_EQ(normaliserTable().scrambled(), scrambled);
    // The songs went to the binary store too.
    FeatureManager reread(target.storePath());
    EXPECT_EQ(reread.readFromFile(target.storePath(), true), FeatureManager::kOk);
    EXPECT_EQ(reread.featureSetCount(), 5u);
  }
  EXPECT_EQ(logOutputText(), "");
}

TEST_F(FeatureXml, LongNamesWithSZero) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<features version=\"1.3\">\n<songs s=\"0\">\n"
      "<song md5=\"" +
      md5For(3) + "\" ul=\"0\">\n<segment end=\"end\" tempo=\"-1\">\n";
  // Feature order does not matter: names place the values.
  for (int i = kFeatureCount - 1; i >= 0; --i) {
    xml += "<feature name=\"" + std::string(getFeatureName(i)) + "\" val=\"" +
           floatText(sampleValues(3)[i]) + "\"/>\n";
  }
  xml += "</segment></song></songs></features>\n";
  writeFile(dir_.file("long.xml"), xml);
  FeatureManager m(dir_.file("long.mbff"));
  ASSERT_TRUE(m.loadXml(dir_.file("long.xml")));
  const FeatureSet* set = m.featureSet(md5For(3));
  ASSERT_NE(set, nullptr);
  for (int i = 0; i < kFeatureCount; ++i) EXPECT_NEAR(set->values()[i], sampleValues(3)[i], 1e-5);
  EXPECT_EQ(set->tempo(), 143);  // derived, as the file gave none
  EXPECT_EQ(m.xmlVersion(), "1.3");
}

TEST_F(FeatureXml, UpperCaseMd5IsLowered) {
  auto source = store("u.mbff", 1);
  std::string text = source->xmlText();
  std::string upper = md5For(0);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  text.replace(text.find(md5For(0)), 32, upper);
  writeFile(dir_.file("u.xml"), text);
  FeatureManager m(dir_.file("u2.mbff"));
  ASSERT_TRUE(m.loadXml(dir_.file("u.xml")));
  EXPECT_NE(m.featureSet(md5For(0)), nullptr);
}

TEST_F(FeatureXml, KnownSongsAreNotStoredTwiceAndBrokenSongsSkipped) {
  auto m = store("k.mbff", 3);
  const std::string xml = dir_.file("k.xml");
  ASSERT_EQ(m->saveXml(xml), 1);
  std::string text = readFile(xml);
  // A fourth song with a feature missing, and a fifth with a bad md5.
  std::string extra = " <song md5=\"" + md5For(4) + "\"><segment end=\"end\" tempo=\"-1\">";
  for (int i = 0; i < 71; ++i) extra += "<feature name=\"" + std::to_string(i) + "\" val=\"1\"/>";
  extra += "</segment></song>\n <song md5=\"xyz\"><segment end=\"end\" tempo=\"-1\">";
  for (int i = 0; i < 72; ++i) extra += "<feature name=\"" + std::to_string(i) + "\" val=\"1\"/>";
  extra += "</segment></song>\n";
  text.insert(text.find("</songs>"), extra);
  writeFile(xml, text);
  ASSERT_TRUE(m->loadXml(xml));
  EXPECT_EQ(m->recordCount(), 3u);
  EXPECT_EQ(readFile(m->storePath()).size(), 14u + 3 * 330u);
  EXPECT_TRUE(log_.contains("ignoring incomplete feature set of " + md5For(4)));
  EXPECT_TRUE(log_.contains("ignoring song with malformed md5 'xyz'"));
}

// A value that reads as no finite number makes its song damaged: skipped with a warning,
// the songs around it stored.
TEST_F(FeatureXml, NonFiniteValueMakesASongDamaged) {
  const char* texts[] = {"inf", "-inf", "1e39", "-3.5e40", "infinity"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    std::string xml = "<features version=\"1.0\"><songs s=\"1\">\n";
    for (int song = 0; song < 3; ++song) {
      xml += " <song md5=\"" + md5For(song) + "\"><segment end=\"end\" tempo=\"-1\">";
      for (int i = 0; i < kFeatureCount; ++i) {
        const std::string value = song == 1 && i == 40 ? text : std::to_string(0.5 + i);
        xml += "<feature name=\"" + std::to_string(i) + "\" val=\"" + value + "\"/>";
      }
      xml += "</segment></song>\n";
    }
    xml += "</songs></features>\n";
    const std::string path = dir_.file("nonfinite.xml");
    writeFile(path, xml);
    std::filesystem::remove(dir_.file("nonfinite.mbff"));
    FeatureManager m(dir_.file("nonfinite.mbff"));
    ASSERT_TRUE(m.loadXml(path));
    EXPECT_EQ(m.recordCount(), 2u);
    EXPECT_NE(m.featureSet(md5For(0)), nullptr);
    EXPECT_EQ(m.featureSet(md5For(1)), nullptr);
    EXPECT_NE(m.featureSet(md5For(2)), nullptr);
    EXPECT_TRUE(log_.contains("ignoring damaged feature set of " + md5For(1) +
                              ": a value is not a finite number"));
    FeatureManager reread(m.storePath());
    ASSERT_EQ(reread.readFromFile(m.storePath(), true), FeatureManager::kOk);
    EXPECT_EQ(reread.featureSetCount(), 2u);
  }
}

TEST_F(FeatureXml, NewerVersionIsIgnored) {
  auto source = store("n.mbff", 2);
  std::string text = source->xmlText();
  text.replace(text.find("version=\"1.0\"  >"), 13, "version=\"2.0\"");
  writeFile(dir_.file("n.xml"), text);
  normaliserTable().clear();
  FeatureManager m(dir_.file("n2.mbff"));
  EXPECT_TRUE(m.loadXml(dir_.file("n.xml")));
  EXPECT_TRUE(log_.contains("can't parse features.xml with version new than2.0"));
  EXPECT_EQ(m.recordCount(), 0u);
  EXPECT_TRUE(normaliserTable().empty());
  EXPECT_EQ(m.xmlVersion(), "1.0");  // the next file written stays readable
  EXPECT_FALSE(std::filesystem::exists(m.storePath()));
}

TEST_F(FeatureXml, ParseErrorReportsFourAndKeepsWhatCameBefore) {
  auto source = store("p.mbff", 2);
  std::string text = source->xmlText();
  text.insert(text.find("</songs>"), "<song md5=\"&bogus;\">\n");
  writeFile(dir_.file("p.xml"), text);
  FeatureManager m(dir_.file("p2.mbff"));
  EXPECT_FALSE(m.loadXml(dir_.file("p.xml")));
  EXPECT_EQ(logOutputText(), "Parse error in features.xml.\r\n");
  const int line = static_cast<int>(lines(text).size()) - 2;
  EXPECT_TRUE(log_.contains("Parse in error " + dir_.file("p.xml") + " at line " +
                            std::to_string(line) + " pos "));
  EXPECT_TRUE(log_.contains("undefined entity"));
  EXPECT_EQ(m.recordCount(), 2u);
}

TEST_F(FeatureXml, LookupModeFindsOneSongOnly) {
  auto source = store("l.mbff", 4);
  const std::string xml = dir_.file("l.xml");
  ASSERT_EQ(source->saveXml(xml), 1);
  normaliserTable().clear();
  auto found = findSongInFeaturesXml(xml, md5For(2));
  ASSERT_TRUE(found.has_value());
  EXPECT_NEAR(found->values()[5], sampleValues(2)[5], 1e-5);
  EXPECT_EQ(found->tempo(), 142);
  EXPECT_TRUE(normaliserTable().empty());
  EXPECT_FALSE(findSongInFeaturesXml(xml, md5For(9)).has_value());
}

TEST_F(FeatureXml, SaveFailureReportsOne) {
  auto m = store("f.mbff", 1);
  EXPECT_EQ(m->saveXml(dir_.file("no/such/folder/features.xml")), 0);
  EXPECT_EQ(logOutputText(), "Can't save features.xml file.\r\n");
}

TEST_F(FeatureXml, IncompleteTableCopiesTheNormaliserFile) {
  auto m = store("c.mbff", 1);
  normaliserTable().clear();
  m->setNormaliserFilePath(dir_.file("missing-normf.xml"));
  std::string text = m->xmlText();
  EXPECT_EQ(logOutputText(), "File normf.xml is missing.\r\n");
  EXPECT_TRUE(log_.contains("can't open " + dir_.file("missing-normf.xml")));
  EXPECT_TRUE(log_.contains("Warning inconsistent normaliser info!"));
  EXPECT_NE(text.find("<features version=\"1.0\"  >\n<songs s=\"1\" >\n"), std::string::npos);

  const std::string section = mixedTable().sectionText(false);
  writeFile(dir_.file("normf.xml"), "<?xml version=\"1.0\"?>\r\n" + section);
  m->setNormaliserFilePath(dir_.file("normf.xml"));
  text = m->xmlText();
  EXPECT_NE(text.find("<features version=\"1.0\"  >\n" + section + "<songs s=\"1\" >\n"),
            std::string::npos);
}

TEST_F(FeatureXml, NormaliserFileFillsTheTable) {
  for (bool scrambled : {false, true}) {
    const std::string path = dir_.file("normf.xml");
    writeFile(path, mixedTable().sectionText(scrambled));
    normaliserTable().clear();
    ASSERT_TRUE(loadNormaliserTable(path));
    expectSameTable(mixedTable(), normaliserTable());
  }
  EXPECT_FALSE(loadNormaliserTable(dir_.file("absent.xml")));
  EXPECT_EQ(logOutputText(), "File normf.xml is missing.\r\n");
  EXPECT_TRUE(normaliserTable().complete());  // what was loaded stays
}

TEST_F(FeatureXml, ScrambledSectionOutOfOrderIsRefused) {
  std::vector<std::string> l = lines(mixedTable().sectionText(true));
  std::swap(l[1], l[2]);  // normalisers of features 0 and 1 exchanged
  std::string text;
  for (const auto& line : l) text += line + "\n";
  writeFile(dir_.file("swapped.xml"), text);
  ASSERT_TRUE(loadNormaliserTable(dir_.file("swapped.xml")));
  EXPECT_EQ(normaliserTable().size(), 70u);
  EXPECT_EQ(normaliserTable().at(0), nullptr);
  EXPECT_TRUE(
      log_.contains("scrambled normaliser 0 does not belong to "
                    "Mean_Acc1298_Mean_Mem40_Centroid"));
}

TEST_F(FeatureXml, EngineStartPrefersTheDataFolder) {
  TempDir home, program;
  std::filesystem::create_directories(home.file("networks"));
  std::filesystem::create_directories(program.file("networks"));
  NormaliserTable one;
  one.add(Normaliser("BHSUM1", NormaliserType::Normal, {1, 1}));
  NormaliserTable two = one;
  two.add(Normaliser("BHSUM2", NormaliserType::Normal, {1, 1}));
  writeFile(program.file("networks/normf.xml"), one.sectionText(false));

  const char* oldHome = std::getenv("ZARVELL_HOME");
  const char* oldProgram = std::getenv("ZARVELL_PROGRAM_DIR");
  const std::string savedHome = oldHome ? oldHome : "", savedProgram = oldProgram ? oldProgram : "";
  setenv("ZARVELL_HOME", home.path().c_str(), 1);
  setenv("ZARVELL_PROGRAM_DIR", program.path().c_str(), 1);
  EXPECT_TRUE(loadNormaliserTable());
  EXPECT_EQ(normaliserTable().size(), 1u);  // only the program folder has one
  writeFile(home.file("networks/normf.xml"), two.sectionText(false));
  EXPECT_TRUE(loadNormaliserTable());
  EXPECT_EQ(normaliserTable().size(), 2u);  // the user's own file wins
  if (oldHome)
    setenv("ZARVELL_HOME", savedHome.c_str(), 1);
  else
    unsetenv("ZARVELL_HOME");
  if (oldProgram)
    setenv("ZARVELL_PROGRAM_DIR", savedProgram.c_str(), 1);
  else
    unsetenv("ZARVELL_PROGRAM_DIR");
}
