// The player core coming up and going down: switches, the settings file, the default
// network loaded at start and saved exactly once at exit, and a damaged network kept.
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/appcore/AppCore.h"
#include "app/appcore/Switches.h"
#include "app/mainwindow/MainWindow.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

namespace fs = std::filesystem;
using apptest::audioFixture;

TEST(Switches, AreFoundAnywhereInAnyCase) {
  struct Case {
    const char* line;
    bool debug;
    bool web;
  };
  const Case cases[] = {
      {"", false, false},
      {"-DEBUG", true, false},
      {"-web", false, true},
      {"-Web -dEbUg", true, true},
      {"x-DEBUGy", true, false},  // glued to other characters
      {"--web=1", false, true},
      {"DEBUG WEB", false, false},  // without the dash they are not switches
      {"-DEBU -WE", false, false},
  };
  for (const Case& c : cases) {
    const AppSwitches s = parseSwitches(c.line);
    EXPECT_EQ(s.debug, c.debug) << c.line;
    EXPECT_EQ(s.web, c.web) << c.line;
  }
  const char* argv[] = {"zarvell", "-web", "x"};
  EXPECT_EQ(joinCommandLine(3, argv), "-web x");
}

using apptest::countOf;
using apptest::readAll;

// Closes every message box that comes up, remembering its title and text.
class MessageBoxCloser {
 public:
  MessageBoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen_.push_back(box->windowTitle() + "|" + box->text());
        box->accept();
      }
    });
    timer_.start(20);
  }
  const QStringList& seen() const { return seen_; }

 private:
  QTimer timer_;
  QStringList seen_;
};

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override { apptest::application(); }
  std::unique_ptr<AppCore> makeCore(const std::string& commandLine = "") {
    return std::make_unique<AppCore>(commandLine, MainWindow::factory());
  }
  void writeDefaultNetwork() {
    apptest::writeSongNetwork(home_.file("networks/default.xml"),
                              {{"One", audioFixture("tone1k_2s.wav"), 2, 0.4},
                               {"Two", audioFixture("tone1k_2s.mp3"), 2, 0.3}});
  }

  apptest::ScratchHome home_;
};

TEST_F(Lifecycle, TheCloseButtonSavesTheNetworkOnceAndTheSettingsAreWrittenAtTheEnd) {
  writeDefaultNetwork();
  const std::string before = readAll(home_.file("networks/default.xml"));
  {
    auto core = makeCore();
    core->initialise();
    core->loadDefaultNetwork();
    ASSERT_NE(core->engine().getNodeByPath(audioFixture("tone1k_2s.wav").c_str()), nullptr);
    core->config().volume = 4321;
    EXPECT_FALSE(fs::exists("Zarvell.cfg")) << "settings are written at exit only";
    auto* close = core->mainWindow()->findChild<QPushButton*>("Close_1023");
    ASSERT_NE(close, nullptr);
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    EXPECT_EQ(QApplication::exec(), 0) << "the Close button ends the event loop";
    EXPECT_TRUE(core->networkSaved());
    EXPECT_FALSE(core->mainWindow()->isVisible());
  }
  const std::string log = readAll("zarvell.log");
  EXPECT_EQ(countOf(log, "saving the network to networks/default.xml"), 1) << log;
  EXPECT_TRUE(fs::exists("networks/default.xml.bak")) << "the save replaced the file";
  const std::string after = readAll(home_.file("networks/default.xml"));
  EXPECT_NE(after.find("name=\"One\""), std::string::npos);

  const std::string record = readAll("Zarvell.cfg");
  ASSERT_EQ(record.size(), 1628u);
  int32_t version = 0, volume = 0;
  std::memcpy(&version, record.data(), 4);
  std::memcpy(&volume, record.data() + 1624, 4);
  EXPECT_EQ(version, 266);
  EXPECT_EQ(volume, 4321);
  EXPECT_EQ(fs::status("Zarvell.cfg").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write)
      << "the file holds the password";
}

TEST_F(Lifecycle, ClosingTheWindowIsTheCloseButtonAndAForeignSettingsFileIsReplaced) {
  writeDefaultNetwork();
  std::string foreign(1628, '\0');
  const int32_t header[3] = {265, static_cast<int32_t>(0xABBEFEBE), 1628};
  std::memcpy(foreign.data(), header, sizeof header);
  const int32_t volume = 1234;
  std::memcpy(foreign.data() + 1624, &volume, 4);
  std::ofstream("Zarvell.cfg", std::ios::binary) << foreign;
  {
    auto core = makeCore();
    EXPECT_EQ(core->config().volume, 7000) << "another version is ignored entirely";
    core->initialise();
    core->loadDefaultNetwork();
    QTimer::singleShot(0, core->mainWindow(), [&] { core->mainWindow()->close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(core->networkSaved());
  }
  EXPECT_EQ(countOf(readAll("zarvell.log"), "saving the network"), 1);
  const std::string record = readAll("Zarvell.cfg");
  ASSERT_EQ(record.size(), 1628u);
  int32_t version = 0;
  std::memcpy(&version, record.data(), 4);
  EXPECT_EQ(version, 266) << "rewritten in this version";
}

TEST_F(Lifecycle, ADamagedNetworkIsMovedAsideTheUserIsToldOnceAndTheExitSaveSparesIt) {
  const std::string damaged = "<qornnet version=\"1.0\">\n<nodes>\n<song id=\"1\" name=\"Cut";
  std::ofstream(home_.file("networks/default.xml")) << damaged;
  MessageBoxCloser boxes;
  std::string kept;
  {
    auto core = makeCore();
    core->initialise();
    core->loadDefaultNetwork();
    ASSERT_EQ(boxes.seen().size(), 1) << "one message";
    EXPECT_TRUE(boxes.seen()[0].contains("damaged-")) << boxes.seen()[0].toStdString();
    EXPECT_FALSE(fs::exists("networks/default.xml"));
    for (const auto& entry : fs::directory_iterator("networks"))
      if (entry.path().filename().string().rfind("default.xml.damaged-", 0) == 0)
        kept = entry.path().string();
    ASSERT_FALSE(kept.empty()) << "the damaged file is kept under a dated name";
    EXPECT_TRUE(boxes.seen()[0].contains(QString::fromStdString(fs::path(kept).filename())));
    core->requestClose();
  }
  EXPECT_EQ(boxes.seen().size(), 1) << "told once";
  EXPECT_EQ(readAll(kept), damaged) << "the damaged file is untouched";
  EXPECT_TRUE(fs::exists("networks/default.xml")) << "the exit save wrote a new file";
}

TEST_F(Lifecycle, AFirstStartWithoutANetworkShowsNoMessageAndRestoresAQueueOtherwise) {
  MessageBoxCloser boxes;
  fs::remove_all("networks");  // a data folder made for this first start
  {
    auto core = makeCore();
    core->initialise();
    core->loadDefaultNetwork();
    QTest::qWait(100);
    EXPECT_TRUE(boxes.seen().isEmpty()) << "a missing file at the first start is no failure";
    EXPECT_TRUE(core->queue().empty());
    core->requestClose();
  }
  EXPECT_TRUE(fs::exists("networks/default.xml")) << "the first exit saves the network";
  // A network with a saved play queue: the queue comes back at start.
  writeDefaultNetwork();
  {
    std::string text = readAll("networks/default.xml");
    text.insert(text.rfind("</qornnet>"),
                " <playqueue>\n  <listentry id=\"101\"  />\n  <listentry id=\"100\"  />\n </playqueue>\n");
    std::ofstream("networks/default.xml") << text;
  }
  auto core = makeCore();
  core->initialise();
  core->loadDefaultNetwork();
  EXPECT_TRUE(boxes.seen().isEmpty());
  ASSERT_EQ(core->queue().size(), 2);
  EXPECT_EQ(core->queue().node(0),
            core->engine().getNodeByPath(audioFixture("tone1k_2s.mp3").c_str()));
  EXPECT_FALSE(core->queue().isPlaying(0));
  core->requestClose();
}

}  // namespace
}  // namespace zarvell::app
