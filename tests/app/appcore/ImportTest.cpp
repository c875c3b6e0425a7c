// The player's imports end to end: AppCore with its main window, the real engine with the
// shipped models and Sonalyx, on short audio files made by the ffmpeg tool; the import
// window runs as the user sees it and is driven by timers on the interface thread.
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/appcore/AppCore.h"
#include "app/dialogs/ImportProgressDialog.h"
#include "app/mainwindow/MainWindow.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

namespace fs = std::filesystem;

// `seconds` of a two-tone sine at `hertz` in the format of the extension.
void makeSong(const std::string& path, int hertz, int seconds = 3) {
  fs::create_directories(fs::path(path).parent_path());
  const std::string cmd =
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i \"aevalsrc=exprs='0.5*sin(2*PI*" +
      std::to_string(hertz) + "*t)+0.2*sin(2*PI*" + std::to_string(hertz * 3 / 2) +
      "*t)':s=44100:d=" + std::to_string(seconds) + "\" -ac 1 -metadata title='Tone " +
      std::to_string(hertz) + "' -metadata artist='Tone Artist' '" + path + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// A network text with its percent escapes undone.
std::string unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The song locations of a saved network, sorted.
std::vector<std::string> songLocations(const std::string& text) {
  static const std::regex media("<media location=\"([^\"]*)\"");
  std::vector<std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), media), end; it != end; ++it)
    out.push_back(unescaped((*it)[1]));
  std::sort(out.begin(), out.end());
  return out;
}

// The visible import window, if one is up.
ImportProgressDialog* importWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<ImportProgressDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    media_ = home_.path() + "/media";
    core_ = std::make_unique<AppCore>("-DEBUG", MainWindow::factory());
    core_->initialise();
    core_->messages().setAnswerer([this](const MessageRequest& r) {
      asked_.push_back(r.caption + "|" + r.text);
      return QMessageBox::No;
    });
  }
  void TearDown() override { core_.reset(); }

  std::string networkText() {
    const std::string path = home_.file("check.xml");
    EXPECT_EQ(core_->engine().saveNet(path.c_str()), 1);
    return apptest::readAll(path);
  }
  std::string canonical(const std::string& path) { return fs::canonical(path).string(); }

  apptest::ScratchHome home_;
  std::string media_;
  std::unique_ptr<AppCore> core_;
  QStringList asked_;
};

TEST_F(ImportTest, FolderTreeWithALinkUpTheTreeImportsEachSupportedSongOnce) {
  const std::vector<std::string> songs = {
      media_ + "/a.mp3",     media_ + "/b.wav",           media_ + "/sub/c.flac",
      media_ + "/sub/d.ogg", media_ + "/sub/deep/e.opus", media_ + "/sub/deep/f.m4a",
      media_ + "/g.wma"};
  int hertz = 300;
  for (const std::string& song : songs) makeSong(song, hertz += 70);
  std::ofstream(media_ + "/notes.txt") << "not audio";
  std::ofstream(media_ + "/sub/cover.jpg") << "not audio";
  fs::create_directory_symlink(media_, media_ + "/sub/deep/back-up");

  EXPECT_EQ(core_->importFolder(media_), 1);
  std::vector<std::string> expected;
  for (const std::string& song : songs) expected.push_back(canonical(song));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(songLocations(networkText()), expected);
  EXPECT_TRUE(asked_.empty()) << asked_.join("\n").toStdString();  // no failures, no report
  EXPECT_FALSE(core_->isBusy());
  const std::string log = apptest::readAll(home_.file("zarvell.log"));
  EXPECT_EQ(apptest::countOf(log, "started recurse folder loop"), 1);
  EXPECT_EQ(apptest::countOf(log, "exit recurse folder loop"), 1);
}

TEST_F(ImportTest, DropOfTwoFilesAndAFolderStopsPlaybackAndTakesTheirSongs) {
  makeSong(media_ + "/first.mp3", 440);
  ASSERT_EQ(core_->importFiles({media_ + "/first.mp3"}), 1);
  std::vector<PlayReport> reports;
  core_->setReportObserver([&reports](const PlayReport& r) { reports.push_back(r); });
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(apptest::waitFor([&] { return core_->isPlaying(); }));

  makeSong(media_ + "/drop/one.wav", 520);
  makeSong(media_ + "/drop/two.flac", 610);
  makeSong(media_ + "/drop/folder/three.ogg", 700);
  makeSong(media_ + "/drop/folder/inner/four.mp3", 790);
  std::ofstream(media_ + "/drop/readme.txt") << "x";
  EXPECT_EQ(core_->importDropped({media_ + "/drop/one.wav", media_ + "/drop/two.flac",
                                  media_ + "/drop/folder", media_ + "/drop/readme.txt"}),
            1);
  EXPECT_FALSE(core_->isPlaying());
  EXPECT_TRUE(std::any_of(reports.begin(), reports.end(),
                          [](const PlayReport& r) { return r.kind == PlayReport::kStop; }));
  std::vector<std::string> expected = {
      canonical(media_ + "/first.mp3"), canonical(media_ + "/drop/one.wav"),
      canonical(media_ + "/drop/two.flac"), canonical(media_ + "/drop/folder/three.ogg"),
      canonical(media_ + "/drop/folder/inner/four.mp3")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(songLocations(networkText()), expected);
}

// A drop from the file manager onto the main window reaches the dropped-files import.
TEST_F(ImportTest, FilesDroppedOnTheMainWindowAreImported) {
  makeSong(media_ + "/dragged/song.wav", 480);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(media_ + "/dragged"))});
  QWidget* window = core_->mainWindow();
  const QPoint at(window->width() / 2, window->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
  EXPECT_EQ(songLocations(networkText()),
            std::vector<std::string>{canonical(media_ + "/dragged/song.wav")});
}

TEST_F(ImportTest, ITunesLibraryOfRealFiles) {
  makeSong(media_ + "/lib/x.mp3", 450);
  makeSong(media_ + "/lib/y.m4a", 530);
  const auto track = [](int id, const std::string& name, const std::string& path) {
    return "<key>" + std::to_string(id) + "</key>\n<dict>\n\t<key>Track ID</key><integer>" +
           std::to_string(id) + "</integer>\n\t<key>Name</key><string>" + name +
           "</string>\n\t<key>Artist</key><string>Lib Artist</string>\n"
           "\t<key>Album</key><string>Lib Album</string>\n\t<key>Location</key><string>file://" +
           path + "</string>\n</dict>\n";
  };
  const std::string library = home_.file("iTunes Music Library.xml");
  std::ofstream(library)
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "\t<key>Major Version</key><integer>1</integer>\n\t<key>Tracks</key>\n<dict>\n"
      << track(1, "X Song", media_ + "/lib/x.mp3") << track(2, "Y Song", media_ + "/lib/y.m4a")
      << "</dict>\n\t<key>Playlists</key>\n<array>\n</array>\n</dict>\n</plist>\n";
  EXPECT_EQ(core_->importITunes(library), 1);
  const std::string text = networkText();
  EXPECT_EQ(songLocations(text).size(), 2u);
  EXPECT_NE(unescaped(text).find("X Song"), std::string::npos);
  EXPECT_NE(unescaped(text).find("Lib Album"), std::string::npos);
}

TEST_F(ImportTest, CancelInEachStepLeavesTheNetworkAsItWas) {
  makeSong(media_ + "/old.mp3", 400);
  ASSERT_EQ(core_->importFiles({media_ + "/old.mp3"}), 1);
  makeSong(media_ + "/new/p.mp3", 480);
  makeSong(media_ + "/new/q.flac", 560);
  makeSong(media_ + "/new/r.wav", 640);
  for (const char* line : {"StepLine1", "StepLine2", "StepLine3"}) {
    SCOPED_TRACE(line);
    const std::string before = networkText();
    bool clicked = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      ImportProgressDialog* window = importWindow();
      if (!window || clicked) return;
      if (!window->findChild<QLabel*>(line)->text().endsWith(" ...")) return;
      window->findChild<QPushButton*>("CancelButton")->click();
      clicked = true;
      EXPECT_TRUE(window->isVisible());
    });
    poll.start();
    const int result = core_->importFolder(media_ + "/new");
    poll.stop();
    ASSERT_TRUE(clicked);
    EXPECT_NE(result, 1);
    EXPECT_EQ(importWindow(), nullptr);
    EXPECT_EQ(networkText(), before);
  }
}

TEST_F(ImportTest, CommandsAreIgnoredWhileTheImportRunsAndFailuresAreOffered) {
  makeSong(media_ + "/fine.mp3", 420);
  ASSERT_EQ(core_->importFiles({media_ + "/fine.mp3"}), 1);
  std::ofstream(media_ + "/broken.mp3") << "this is no audio at all";
  const std::uint64_t serial = core_->playSerial();
  bool tried = false;
  int nested = -5;
  QTimer::singleShot(0, [&] {
    tried = core_->isBusy();
    core_->executeCommand(command::kPlay);
    core_->executeCommand(command::kNext);
    QTest::keyClick(core_->mainWindow(), Qt::Key_Space);
    nested = core_->importFolder(media_);  // a second import cannot start
  });
  core_->importFiles({media_ + "/broken.mp3"});
  EXPECT_TRUE(tried);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(core_->playSerial(), serial);
  EXPECT_EQ(core_->currentNode(), nullptr);
  const std::string log = core_->engine().getLogOutput();
  ASSERT_FALSE(log.empty());
  ASSERT_EQ(asked_.size(), 1);
  EXPECT_EQ(asked_[0],
            "Import Warning|We were unable to process some of your media during the import "
            "process.\n\nWould you like to see a detailed report?");
}

}  // namespace
}  // namespace zarvell::app
