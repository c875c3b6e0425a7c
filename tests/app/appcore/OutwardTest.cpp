// Export, copying, purchase links, web pages, the update check and the help, on the real
// engine with a network of real songs, real files and a real HTTP server on 127.0.0.1.
#include <QDir>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/appcore/AppCore.h"
#include "app/appcore/Outward.h"
#include "app_test_support.h"
#include "http_test_server.h"
#include "zarvell/paths.h"

namespace zarvell::app {
namespace {

namespace fs = std::filesystem;
using apptest::audioFixture;
using apptest::readAll;

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(PurchaseLinks, EncodeTheTermsForEachStore) {
  const std::string itunes = "itms://itunes.test/WebObjects/MZSearch.woa/wa/advancedSearchResults?";
  const std::string msn = "http://msn.test/commerce/default.aspx?";
  const StoreAddresses stores{itunes, msn};
  struct Case {
    const char* store;
    LinkTerms terms;
    std::string link;
  };
  const Case cases[] = {
      {"iTunes",
       {1, "Rock & Roll", "Best Of", "The Band"},
       itunes + "songTerm=Rock%20%20%20Roll&albumTerm=Best%20Of&artistTerm=The%20Band"},
      {"MSN",
       {1, "Rock & Roll", "Best-Of", "The Band"},
       msn + "song=Rock%20%20%20Roll&album=Best%20Of&artist=The%20Band&affid="},
      {"iTunes",
       {1, "Jay-Z Song", "(Unknown Album)", "(Unknown Artist)"},
       itunes + "songTerm=Jay-Z%20Song"},
      {"MSN",
       {1, "Jay-Z Song", "(Unknown Album)", "(Various Artists)"},
       msn + "song=Jay%20Z%20Song&affid="},
      {"iTunes", {2, "Abbey Road", "", "(Various Artists)"}, itunes + "albumTerm=Abbey%20Road"},
      {"MSN",
       {2, "Abbey Road", "", "The Beatles"},
       msn + "album=Abbey%20Road&artist=The%20Beatles&affid="},
      {"iTunes", {4, "AC/DC", "", ""}, itunes + "artistTerm=AC/DC"},
      {"MSN", {4, "AC-DC", "", ""}, msn + "artist=AC%20DC&affid="},
      // UTF-8 bytes are kept, percent-encoded, so the store can still find the title.
      {"iTunes",
       {1, "Caf\xC3\xA9", "", "Bj\xC3\xB6rk"},
       itunes + "songTerm=Caf%C3%A9&artistTerm=Bj%C3%B6rk"},
      {"Other", {1, "Song", "", ""}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(purchaseLinkFor(c.store, c.terms, stores), c.link) << c.store << " " << c.terms.name;
}

class Outward : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    fs::create_directories(home_.file("a"));
    fs::create_directories(home_.file("b"));
    fs::copy_file(audioFixture("tone1k_2s.wav"), home_.file("a/01 Intro.wav"));
    fs::copy_file(audioFixture("tone1k_2s.mp3"), home_.file("b/01 Intro.wav"));  // same name
    apptest::writeSongNetwork(home_.file("songs.xml"),
                              {{"Caf\xC3\xA9 & Co", home_.file("a/01 Intro.wav"), 2, 0.4},
                               {"Second", home_.file("b/01 Intro.wav"), -1, 0.3}});
    core_ = std::make_unique<AppCore>("", nullptr);
    core_->config().checkUpdatesOnStart = false;
    core_->initialise();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    core_->setUrlOpener([this](const QUrl& url) {
      opened_.push_back(url.toString());
      return openerAnswer_;
    });
  }
  void TearDown() override { core_.reset(); }

  Node* song(const std::string& path) { return core_->engine().getNodeByPath(path.c_str()); }
  Node* album() { return core_->engine().getAlbumNode(song(home_.file("a/01 Intro.wav"))); }
  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (const MessageRequest& r : core_->messages().history())
      out.push_back(r.caption.toStdString());
    return out;
  }

  apptest::ScratchHome home_;
  std::unique_ptr<AppCore> core_;
  std::vector<QString> opened_;
  bool openerAnswer_ = true;
};

TEST_F(Outward, ExportsAnAlbumsSongsAsM3u) {
  int asked = 0;
  QString chosen = QString::fromStdString(home_.file("list.m3u"));
  core_->setSaveFileChooser([&](QWidget*) {
    ++asked;
    return chosen;
  });
  core_->exportM3U({});
  EXPECT_EQ(asked, 0);  // nothing selected: no dialog
  ASSERT_NE(album(), nullptr);
  core_->exportM3U({album()});
  EXPECT_EQ(readAll(home_.file("list.m3u")),
            "#EXTM3U\n#EXTINF:2,Caf\xC3\xA9 & Co\n" + home_.file("a/01 Intro.wav") +
                "\n#EXTINF:-1,Second\n" + home_.file("b/01 Intro.wav") + "\n");

  chosen.clear();  // cancelled: the old file stays as it is
  core_->exportM3U({song(home_.file("b/01 Intro.wav"))});
  EXPECT_EQ(apptest::countOf(readAll(home_.file("list.m3u")), "#EXTINF"), 2);
}

TEST_F(Outward, CopiesMediaWithoutOverwritingAndKeepsTheCurrentFolder) {
  const std::string target = home_.file("target");
  fs::create_directories(target);
  std::ofstream(target + "/01 Intro.wav") << "the user's own file";
  const QString before = QDir::currentPath();
  core_->setFolderChooser([&](QWidget*) {
    QDir::setCurrent("/");  // as a folder dialog may do
    return QString::fromStdString(target);
  });
  core_->copyMedia({album()});
  EXPECT_EQ(QDir::currentPath(), before);
  EXPECT_EQ(readAll(target + "/01 Intro.wav"), "the user's own file");
  EXPECT_EQ(readAll(target + "/01 Intro (2).wav"), readAll(home_.file("a/01 Intro.wav")));
  EXPECT_EQ(readAll(target + "/01 Intro (3).wav"), readAll(home_.file("b/01 Intro.wav")));
  EXPECT_FALSE(fs::exists(target + "/01 Intro (4).wav"));

  core_->setFolderChooser([](QWidget*) { return QString(); });  // cancelled
  core_->copyMedia({album()});
  EXPECT_FALSE(fs::exists(target + "/01 Intro (4).wav"));
}

TEST(CopyFiles, ReportsEachFileAndStopsWhenCancelled) {
  apptest::ScratchHome home;
  fs::create_directories(home.file("to"));
  const std::vector<std::string> files = {audioFixture("tone1k_2s.wav"), home.file("missing.wav"),
                                          audioFixture("tone1k_2s.mp3")};
  std::vector<std::string> seen;
  const int copied = copyFilesTo(files, home.file("to"), [&](const ProgressInfo& info) {
    seen.push_back(std::string(info.caption) + " " + std::to_string(info.current) + "/" +
                   std::to_string(info.total));
    return true;
  });
  EXPECT_EQ(copied, 2);  // the missing file is skipped, the next one still copied
  EXPECT_EQ(seen,
            (std::vector<std::string>{"Copying file 1 of 3... 0/3", "Copying file 2 of 3... 1/3",
                                      "Copying file 3 of 3... 2/3", "Finished 3/3"}));
  int calls = 0;
  fs::create_directories(home.file("cancel"));
  EXPECT_EQ(
      copyFilesTo(files, home.file("cancel"), [&](const ProgressInfo&) { return ++calls < 2; }), 1);
  EXPECT_TRUE(fs::exists(home.file("cancel/tone1k_2s.wav")));
  EXPECT_FALSE(fs::exists(home.file("cancel/tone1k_2s.mp3")));
}

TEST_F(Outward, BuildsStoreLinksOfEngineNodes) {
  const std::vector<PurchaseStore> stores = core_->purchaseStores();
  ASSERT_EQ(stores.size(), 2u);
  EXPECT_EQ(stores[0].key, "iTunes");
  EXPECT_EQ(stores[0].label, "Apple &iTunes");
  EXPECT_EQ(stores[1].key, "MSN");
  EXPECT_EQ(stores[1].label, "&MSN Music");
  ScopedEnv msn("ZARVELL_MSN_MUSIC_HOST", "127.0.0.1:9");
  EXPECT_EQ(core_->purchaseLink(song(home_.file("a/01 Intro.wav")), "MSN"),
            "http://127.0.0.1:9/commerce/default.aspx?song=Caf%C3%A9%20%20%20Co"
            "&album=Test%20Album&artist=Test%20Artist&affid=");
  EXPECT_EQ(
      core_->purchaseLink(album(), "MSN"),
      "http://127.0.0.1:9/commerce/default.aspx?album=Test%20Album&artist=Test%20Artist&affid=");
  EXPECT_EQ(core_->purchaseLink(nullptr, "MSN"), "");
}

TEST_F(Outward, UpdateCheckReportsEachOutcome) {
  apptest::HttpTestServer server;
  ScopedEnv host("ZARVELL_VERSION_HOST", server.host());
  const std::string unable = "Unable to connect with " + server.host();
  struct Case {
    const char* status;
    const char* body;
    bool interactive;
    int result;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"200 OK", "0104\n", true, 0, {"No updates have been found."}},
      {"200 OK", "104", false, 0, {}},
      {"200 OK", "105 new", true, 0, {"Newer Version Found"}},
      {"200 OK", "105", false, 0, {"Newer Version Found"}},  // the quiet check speaks here
      {"200 OK", "version one", true, 0, {unable}},          // not a number: failed
      {"200 OK", "version one", false, 0, {}},
      {"200 OK", "", true, 3, {unable}},
      {"404 Not Found", "104", true, 2, {unable}},
      {"404 Not Found", "104", false, 2, {}},
  };
  for (const Case& c : cases) {
    server.respond(c.status, c.body);
    std::vector<std::string> boxes;
    core_->messages().setAnswerer([&](const MessageRequest& r) {
      boxes.push_back(r.caption.toStdString());
      return QMessageBox::No;
    });
    EXPECT_EQ(core_->checkForUpdates(nullptr, c.interactive), c.result) << c.body;
    EXPECT_EQ(boxes, c.boxes) << c.status << " " << c.body << " " << c.interactive;
  }
  EXPECT_TRUE(opened_.empty());  // every offer was declined
  EXPECT_NE(server.requests().back().find("User-Agent: AutoUpdateAgent"), std::string::npos);
}

TEST_F(Outward, NewerVersionOffersTheDownloadPage) {
  apptest::HttpTestServer server;
  ScopedEnv host("ZARVELL_VERSION_HOST", server.host());
  ScopedEnv download("ZARVELL_DOWNLOAD_HOST", server.host());
  server.respond("200 OK", "1207");
  QString text;
  core_->messages().setAnswerer([&](const MessageRequest& r) {
    text = r.text;
    return QMessageBox::Yes;
  });
  EXPECT_EQ(core_->checkForUpdates(nullptr, false), 0);
  EXPECT_TRUE(text.startsWith("An updated version of Zarvell (v12.07) is now available.\n"))
      << text.toStdString();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], QString::fromStdString("http://" + server.host() + "/download.html"));
}

TEST_F(Outward, NoServerIsReportedOnlyWhenAsked) {
  std::string port;
  {
    apptest::HttpTestServer gone;
    port = gone.host();
  }
  ScopedEnv host("ZARVELL_VERSION_HOST", port);
  core_->messages().setAnswerer([](const MessageRequest&) { return QMessageBox::Ok; });
  EXPECT_EQ(core_->checkForUpdates(nullptr, false), 2);
  EXPECT_TRUE(captions().empty());
  EXPECT_EQ(core_->checkForUpdates(nullptr, true), 2);
  EXPECT_EQ(captions(), std::vector<std::string>{"Unable to connect with " + port});
}

TEST_F(Outward, StartUpCheckRunsQuietlyAndSpeaksOfANewerVersion) {
  apptest::HttpTestServer server;
  ScopedEnv host("ZARVELL_VERSION_HOST", server.host());
  server.respond("200 OK", "200");
  core_.reset();
  core_ = std::make_unique<AppCore>("", nullptr);
  core_->messages().setAnswerer([](const MessageRequest&) { return QMessageBox::No; });
  core_->config().checkUpdatesOnStart = true;
  core_->initialise();  // returns before the answer is in
  EXPECT_TRUE(apptest::waitFor([&] { return !captions().empty(); }));
  EXPECT_EQ(captions(), std::vector<std::string>{"Newer Version Found"});
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(Outward, OpensPagesAndTheHelpOrSaysWhy) {
  ScopedEnv home("ZARVELL_HOMEPAGE_HOST", "127.0.0.1:9");
  ScopedEnv survey("ZARVELL_SURVEY_HOST", "127.0.0.1:9");
  core_->messages().setAnswerer([](const MessageRequest&) { return QMessageBox::Ok; });
  core_->openHomePage();
  core_->openSurvey();
  core_->openHelp();
  const QString help =
      QUrl::fromLocalFile(QString::fromStdString(programFolder() + "/help/index.html")).toString();
  EXPECT_EQ(opened_,
            (std::vector<QString>{"http://127.0.0.1:9/", "http://127.0.0.1:9/survey.html", help}));
  EXPECT_TRUE(help.startsWith("file:///"));
  EXPECT_TRUE(captions().empty());

  openerAnswer_ = false;  // the desktop refuses
  EXPECT_FALSE(core_->openUrl("http://127.0.0.1:9/x"));
  ASSERT_EQ(core_->messages().history().size(), 1u);
  EXPECT_EQ(core_->messages().history()[0].caption, "Unable to launch Web Browser");
  EXPECT_EQ(core_->messages().history()[0].text,
            "We were unable to navigate to\n\nhttp://127.0.0.1:9/x\n\nPlease point your web "
            "browser to the above URL.");

  openerAnswer_ = true;
  ScopedEnv program("ZARVELL_PROGRAM_DIR", home_.path());  // a folder without help/
  const size_t openedBefore = opened_.size();
  core_->openHelp();
  EXPECT_EQ(opened_.size(), openedBefore);
  ASSERT_EQ(core_->messages().history().size(), 2u);
  EXPECT_EQ(core_->messages().history()[1].caption, "Error");
  EXPECT_EQ(core_->messages().history()[1].icon, QMessageBox::Critical);
  EXPECT_TRUE(
      core_->messages().history()[1].text.startsWith("Zarvell is unable to find the Help file"));
}

}  // namespace
}  // namespace zarvell::app
