// importITunes on the manager: a library that cannot be read, or a read the user cancels,
// imports nothing and leaves the network as it was.
#include <string>

#include "itunes_test_support.h"
#include "manager_test_support.h"
#include "qorncore/datatypes/ErrorReport.h"
#include "qorncore/manager/qornManagerNetworkFile.h"

namespace itunestest {
namespace {

class ITunesImport : public ::testing::Test {
 protected:
  ITunesImport() {
    qorn::clearLogOutputText();
    net.song(1, 200, 0, {3});
    net.song(2, 100);
    net.artist(3);
    net.link(1, 2, 0.5f);
    before = text();
  }
  ~ITunesImport() override { qorn::clearLogOutputText(); }
  std::string text() {
    std::ostringstream console;
    return qorn::networkText(engine, console);
  }
  // Stage-1 reports only: the import never went past reading the library.
  void expectOnlyScanReports() const {
    for (const Report& r : progress.reports) EXPECT_EQ(r.stage, 1) << r.caption;
  }

  TempDir dir;
  ProgressLog progress;
  qorn::qornManager engine{"", "", &progress};
  enginetest::Builder net{engine};
  std::string before;
};

TEST_F(ITunesImport, AFileThatDoesNotParseImportsNothing) {
  const std::string good =
      library(track(1, {{"Name", str("A")}, {"Location", str("file:///m/a.mp3")}}) +
                  track(2, {{"Name", str("B")}}),
              "");
  const std::string path = dir.write("broken.xml", good.substr(0, good.size() - 20));
  EXPECT_EQ(engine.importITunes(path.c_str(), 0.5f, true), 0);
  EXPECT_EQ(text(), before);
  expectOnlyScanReports();
  EXPECT_EQ(progress.reports.size(), 2u);  // both tracks were read before the break
  EXPECT_NE(qorn::logOutputText().find("Can't read iTunes library " + path), std::string::npos);
}

TEST_F(ITunesImport, ACancelledReadImportsNothing) {
  const std::string path =
      dir.write("lib.xml", library(track(1, {{"Name", str("A")}}) + track(2, {{"Name", str("B")}}),
                                   playlist("P", {1, 2})));
  progress = ProgressLog(2);
  EXPECT_EQ(engine.importITunes(path.c_str(), 0.5f, false), 0);
  EXPECT_EQ(text(), before);
  EXPECT_EQ(progress.reports.size(), 2u);
  expectOnlyScanReports();
  EXPECT_EQ(qorn::logOutputText(), "");
}

TEST_F(ITunesImport, NoFileAndNoPath) {
  EXPECT_EQ(engine.importITunes(dir.file("missing.xml").c_str(), 0.5f, true), 0);
  EXPECT_EQ(engine.importITunes(dir.path().c_str(), 0.5f, true), 0);
  EXPECT_EQ(engine.importITunes(nullptr, 0.5f, true), -1);
  EXPECT_EQ(text(), before);
  EXPECT_TRUE(progress.reports.empty());
}

}  // namespace
}  // namespace itunestest
