// The console's link-inference commands over the shipped models and normalisers (the
// program folder of the build), with songs of the reference collection's held-out part.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "Console.h"
#include "ReferenceSet.h"
#include "qorncore/manager/features/FeatureManager.h"
#include "qorncore/manager/qornManager.h"

namespace {

TEST(InferenceCommands, SimilarityAndInferLinksOnShippedModels) {
  char pattern[] = "/tmp/zarvell-console-infer-XXXXXX";
  const char* folder = ::mkdtemp(pattern);
  ASSERT_NE(folder, nullptr);
  ASSERT_EQ(::chdir(folder), 0);
  std::filesystem::create_directories("networks");
  qorn::reference::Collection collection;
  std::string error;
  ASSERT_TRUE(qorn::reference::readArff(std::string(ZARVELL_SOURCE_DIR) + "/data/emotions/emotions.arff",
                                        collection, error))
      << error;

  IQornManager manager(false, nullptr);
  kalvoret::Session session(manager);
  const kalvoret::CommandTable table = kalvoret::allCommands();
  std::ostringstream script;
  int id = 1;
  for (const auto& s : qorn::reference::heldOutPart(collection)) {
    if (id > 24) break;
    char md5[33];
    std::snprintf(md5, sizeof md5, "%032x", id);
    std::vector<float> values(s.features.begin(), s.features.end());
    ASSERT_EQ(session.engine().featureStore().append(md5, qorn::FeatureSet(values)), 0);
    script << "song " << id << " s" << id << " md5=" << md5 << "\n";
    ++id;
  }
  script << "artist 99 someone\n"
            "similarity 1 2\nsimilarity 2 1\nsimilarity 1 1\nsimilarity 1 99\nsimilarity 1\n"
            "inferLinks x\ninferLinks 0.5\n";
  std::istringstream in(script.str());
  std::ostringstream out;
  EXPECT_EQ(kalvoret::runScript(session, table, in, out), 3);
  std::vector<std::string> lines;
  std::istringstream text(out.str());
  for (std::string l; std::getline(text, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 32u);
  const auto result = [](const std::string& l) { return l.substr(l.find("=> ") + 3); };
  const float ab = std::stof(result(lines[25])), ba = std::stof(result(lines[26]));
  EXPECT_EQ(ab, ba);
  EXPECT_GT(ab, 0.0f);
  EXPECT_LE(ab, 1.0f);
  EXPECT_GT(std::stof(result(lines[27])), ab - 1e-6f);  // a song is at least as like itself
  EXPECT_EQ(lines[28], "similarity 1 99 => error: not a song: 99");
  EXPECT_EQ(lines[29], "similarity 1 => error: usage: similarity SONG SONG");
  EXPECT_EQ(lines[30], "inferLinks x => error: not a number: x");
  EXPECT_EQ(result(lines[31]).rfind("1 links=", 0), 0u) << lines[31];
  const long links = std::stol(result(lines[31]).substr(8));
  EXPECT_GE(links, 12);  // every song gets at least one link to another
  EXPECT_LE(links, 24 * 5);
  EXPECT_NE(result(lines[31]).find(" visits=24 "), std::string::npos);
  std::filesystem::remove_all(folder);
}

}  // namespace
