// The community features through the player core, with the real engine on a network of
// real songs and the real main window: no community window without "-WEB", the start-up
// log-in and its retry loop, the Community settings page's log-in and revert on Cancel, and
// the link reports against an HTTP server on 127.0.0.1. The engine of this build refuses
// every community call; where a path needs the server to say yes, the FakeCommunity double
// stands in for the server's operations only (setCommunityOps).
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <deque>

#include "FakeCommunity.h"
#include "app/appcore/AppCore.h"
#include "app/community/CommunitySettingsPage.h"
#include "app/community/LinkReporter.h"
#include "app/community/LoginWizard.h"
#include "app/community/UserListTab.h"
#include "app/mainwindow/MainWindow.h"
#include "app/settings/SettingsDialog.h"
#include "app/settings/SettingsPage.h"
#include "app/views/BarrelView.h"
#include "app_test_support.h"
#include "http_test_server.h"

namespace zarvell::app {
namespace {

using apptest::audioFixture;
using Button = QMessageBox::StandardButton;

class CommunityCoreTest : public ::testing::Test {
 protected:
  void SetUp() override { apptest::application(); }
  void TearDown() override {
    core_.reset();
    unsetenv("ZARVELL_LINKREPORT_HOST");
  }

  void start(const std::string& commandLine) {
    apptest::writeSongNetwork(home_.file("songs.xml"),
                              {{"One", audioFixture("tone1k_2s.wav"), 2, 0.5},
                               {"Two", audioFixture("tone1k_2s.mp3"), 2, 0.9},
                               {"Three", audioFixture("tone1k_20s.wav"), 20, 0.7}});
    core_ = std::make_unique<AppCore>(commandLine, MainWindow::factory());
    core_->initialise();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    core_->messages().setAnswerer([this](const MessageRequest& request) {
      if (request.caption == "New Account?") return newAccount_;
      if (answers_.empty())
        return core_->messages().history().size() < 100 ? Button::Ok : Button::Cancel;
      const Button answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }
  MainWindow& window() { return *static_cast<MainWindow*>(core_->mainWindow()); }
  Node* song(const char* name) { return core_->engine().getNodeByPath(audioFixture(name).c_str()); }
  const std::vector<MessageRequest>& shown() { return core_->messages().history(); }
  // Drives the modal log-in wizard once it is up: an existing account's name and password,
  // Next, Finish.
  void logInThroughWizardWhenShown(const QString& name, const QString& password) {
    auto* timer = new QTimer(core_.get());
    QObject::connect(timer, &QTimer::timeout, [timer, name, password] {
      auto* wizard = qobject_cast<LoginWizard*>(QApplication::activeModalWidget());
      if (!wizard) return;
      timer->stop();
      auto* page = qobject_cast<LoginWizardGeneric*>(wizard->currentPage());
      page->firstEdit()->setText(name);
      page->secondEdit()->setText(password);
      wizard->next();
      wizard->accept();
    });
    timer->start(20);
  }

  apptest::ScratchHome home_;
  apptest::FakeCommunity server_;
  std::deque<Button> answers_;
  Button newAccount_ = Button::No;
  std::unique_ptr<AppCore> core_;
};

TEST_F(CommunityCoreTest, CommunityWindowsAndTheStartUpLogInExistOnlyInWebMode) {
  for (const char* line : {"zarvell", "zarvell -debug", "zarvell -web", "zarvell -WEB -debug"}) {
    SCOPED_TRACE(line);
    start(line);
    const bool web = std::string(line).find_first_of("wW") != std::string::npos;
    EXPECT_EQ(core_->makeUserListTab(nullptr) != nullptr, web);
    EXPECT_EQ(core_->makeCommunityPage(nullptr) != nullptr, web);
    auto* tabs = window().findChild<QTabWidget*>("TabManager_1057");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), web ? 2 : 1);
    if (web) {
      EXPECT_EQ(tabs->tabText(1), "Similar Users");
      auto* users = qobject_cast<UserListTab*>(tabs->widget(1));
      ASSERT_NE(users, nullptr);
      auto* results = qobject_cast<BarrelView*>(users->resultView());
      ASSERT_NE(results, nullptr);  // the result nodes go to a node list of the users kind
      EXPECT_EQ(results->kind(), kUsersView);
    }
    core_->config().userName.clear();
    if (web) logInThroughWizardWhenShown("bob", "secret");
    core_->setCommunityOps(&server_);
    core_->startupLogin();
    EXPECT_EQ(!shown().empty(), web);  // the wizard's first question
    EXPECT_EQ(window().loginText(), web ? "Logged in as bob" : "");
    core_.reset();
  }
}

TEST_F(CommunityCoreTest, StartUpLogInRetriesUntilTheServerAnswersOrTheUserSkips) {
  start("zarvell -WEB");
  core_->config().userName = "bob";
  core_->config().password = "secret";
  answers_ = {Button::Ok, Button::Ok, Button::Cancel};
  core_->startupLogin();  // the real engine: every attempt fails
  ASSERT_EQ(shown().size(), 3u);
  for (const MessageRequest& request : shown()) {
    EXPECT_EQ(request.caption, "Unable to login to Zarvell server");
    EXPECT_EQ(request.text,
              "Communication with server failed.\n\nPlease click OK to try again or CANCEL to "
              "skip the log-in.");
    EXPECT_EQ(request.buttons, QMessageBox::Ok | QMessageBox::Cancel);
  }

  core_->setCommunityOps(&server_);
  server_.login.statuses = {-1, -1, 1};
  core_->startupLogin();
  EXPECT_EQ(shown().size(), 5u);
  EXPECT_EQ(server_.calls, std::vector<std::string>(3, "loginUser bob|secret"));

  core_->config().autoLogin = false;  // a known user without automatic log-in: no call
  core_->startupLogin();
  EXPECT_EQ(server_.calls.size(), 3u);
  EXPECT_EQ(shown().size(), 5u);
}

TEST_F(CommunityCoreTest, SettingsPageLogsAChangedAccountInOrRevertsOnCancel) {
  start("zarvell -WEB");
  core_->setCommunityOps(&server_);
  core_->config().userName = "bob";
  core_->config().password = "secret";
  auto page = core_->makeCommunityPage(nullptr);
  page->fill();
  EXPECT_TRUE(page->autoLoginBox()->isChecked());
  EXPECT_EQ(page->userNameEdit()->text(), "bob");
  EXPECT_EQ(page->passwordEdit()->echoMode(), QLineEdit::Password);

  // Unchanged account: no log-in, the check box taken.
  page->autoLoginBox()->setChecked(false);
  EXPECT_TRUE(page->apply());
  EXPECT_FALSE(core_->config().autoLogin);
  EXPECT_TRUE(server_.calls.empty());

  // A new password the server refuses, Cancel: the stored account stays and is shown again.
  server_.login.statuses = {-1};
  answers_ = {Button::Ok, Button::Cancel};
  page->passwordEdit()->setText("other");
  EXPECT_FALSE(page->apply());
  EXPECT_EQ(server_.calls, std::vector<std::string>(2, "loginUser bob|other"));
  ASSERT_EQ(shown().size(), 2u);
  EXPECT_EQ(shown().back().caption, "Unable to login to Zarvell server");
  EXPECT_EQ(shown().back().text,
            "Communication with server failed.\n\nPlease click OK to try again or CANCEL to "
            "revert your account settings.");
  EXPECT_EQ(core_->config().password, "secret");
  EXPECT_EQ(page->passwordEdit()->text(), "secret");

  // A new user the server takes after one retry: stored.
  server_.login.statuses = {-1, 1};
  page->userNameEdit()->setText("carol");
  page->passwordEdit()->setText("pass1");
  EXPECT_TRUE(page->apply());
  EXPECT_EQ(core_->config().userName, "carol");
  EXPECT_EQ(core_->config().password, "pass1");
}

TEST_F(CommunityCoreTest, AgainstThisBuildsEngineEverySearchAndCrossActivationEndsInFailure) {
  start("zarvell -WEB");
  core_->config().userName = "bob";
  auto tab = core_->makeUserListTab(nullptr);
  tab->activate(tab->peopleLikeMe()->child(0));
  ASSERT_TRUE(apptest::waitFor([&] { return !tab->searchRunning(); }));
  EXPECT_EQ(tab->peopleLikeMe()->child(0)->text(0), "Click here to find...");
  tab->refreshContact("anna");
  ASSERT_TRUE(apptest::waitFor([&] { return !tab->crossActivating("anna"); }));
  EXPECT_EQ(tab->statusText(),
            "Unable to find any nodes for user anna...\nPlease try again later.");

  auto page = core_->makeCommunityPage(nullptr);
  page->fill();
  page->userNameEdit()->setText("carol");
  answers_ = {Button::Cancel};
  EXPECT_FALSE(page->apply());
  EXPECT_EQ(core_->config().userName, "bob");
}

TEST_F(CommunityCoreTest, PreferencesSheetHasTheCommunityPageOnlyInWebModeAndCancelReverts) {
  const std::string plugins = std::string(ZARVELL_PROGRAM_DIR) + "/audioplugins";
  start("zarvell");
  core_->installCommunity();
  EXPECT_EQ(
      SettingsDialog(*core_, nullptr, plugins, core_->settingsPages()).pageByLabel("Community"),
      nullptr);
  core_.reset();

  start("zarvell -WEB");
  core_->installCommunity();
  core_->setCommunityOps(&server_);
  core_->config().userName = "bob";
  core_->config().password = "secret";
  SettingsDialog sheet(*core_, nullptr, plugins, core_->settingsPages());
  SettingsPage* page = sheet.pageByLabel("Community");
  ASSERT_NE(page, nullptr);
  for (int i = 0; i < sheet.pageCount(); ++i)
    if (sheet.page(i) == page) sheet.showPage(i);
  auto* name = page->findChild<QLineEdit*>("userName");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), "bob");
  QTest::keyClicks(name, "by");
  server_.login.statuses = {-1};
  answers_ = {Button::Cancel};
  EXPECT_TRUE(sheet.applyAll());  // a kept account is no invalid value: the sheet may close
  EXPECT_EQ(server_.calls, std::vector<std::string>{"loginUser bobby|secret"});
  EXPECT_EQ(core_->config().userName, "bob");
  EXPECT_EQ(name->text(), "bob");
  AppConfig written;
  ASSERT_EQ(written.readFile(home_.file("Zarvell.cfg")), AppConfigRead::kRead);
  EXPECT_EQ(written.userName, "bob");

  QTest::keyClicks(name, "by");
  server_.login.statuses = {1};
  EXPECT_TRUE(sheet.applyAll());
  EXPECT_EQ(core_->config().userName, "bobby");
  EXPECT_EQ(window().loginText(), "Logged in as bobby");
}

// The link reports, reported to the server on 127.0.0.1 through its deployment variable.
class LinkReportTest : public CommunityCoreTest {
 protected:
  void SetUp() override {
    CommunityCoreTest::SetUp();
    setenv("ZARVELL_LINKREPORT_HOST", http_.host().c_str(), 1);
    http_.respond("200 OK", "ok");
    start("zarvell -WEB -DEBUG");
    core_->setCommunityOps(&server_);
    core_->config().userName = "dj ann&co";
  }
  std::string requestLine(size_t i) {
    const std::string request = http_.requests().at(i);
    return request.substr(0, request.find("\r\n"));
  }
  // The first line of the request that reports A and B with the link text.
  std::string expectedLine(const char* link, int a, int b) {
    return "GET /cgi-bin/linkreport.cgi?rm=addlink&referer=addlink"
           "dj%20ann%26co&source=&who=dj%20ann%26co&" +
           std::string(link) + "&nodea=" + apptest::md5Of(a) + "&nodeb=" + apptest::md5Of(b) +
           " HTTP/1.1";
  }

  apptest::HttpTestServer http_;
};

TEST_F(LinkReportTest, EachLaterSongIsReportedWithTheFirstAndNonSongsAreRefused) {
  Node* one = song("tone1k_2s.wav");
  Node* two = song("tone1k_2s.mp3");
  Node* three = song("tone1k_20s.wav");
  Node* album = core_->engine().getAlbumNode(one);
  ASSERT_TRUE(one && two && three && album);

  EXPECT_EQ(core_->reportLinks(0, {album, one, two, album, three}), 2);
  ASSERT_EQ(http_.requests().size(), 2u);
  EXPECT_EQ(requestLine(0), expectedLine("linked=1", 0, 1));
  EXPECT_EQ(requestLine(1), expectedLine("linked=1", 0, 2));
  EXPECT_NE(http_.requests()[0].find("User-Agent: AutoUpdateAgent"), std::string::npos);
  EXPECT_EQ(server_.uploaded, (std::vector<const Node*>{one, two, three}));
  ASSERT_EQ(shown().size(), 2u);  // one per non-song
  for (const MessageRequest& request : shown()) {
    EXPECT_EQ(request.caption, "Node type not supported");
    EXPECT_EQ(request.text,
              "Can't report non-song node - please ensure that only song nodes are selected.");
    EXPECT_EQ(request.icon, QMessageBox::Warning);
  }

  EXPECT_EQ(core_->reportLinks(1, {two, one}), 1);
  EXPECT_EQ(requestLine(2), expectedLine("linked=0", 1, 0));
  EXPECT_EQ(core_->reportLinks(2, {three, two}), 1);
  EXPECT_EQ(requestLine(3), expectedLine("remove=y", 2, 1));

  // The list views' report entries reach the same report.
  const auto views = window().findChildren<BarrelView*>();
  ASSERT_FALSE(views.isEmpty());
  for (BarrelView* view : views) emit view->linkReportRequested(0, {two, three});
  ASSERT_EQ(http_.requests().size(), 4u + views.size());
  EXPECT_EQ(requestLine(4), expectedLine("linked=1", 1, 2));
  http_.respond("200 OK", "ok");

  // One song alone: its features go up, nothing is reported.
  const size_t before = http_.requests().size();
  EXPECT_EQ(core_->reportLinks(0, {three}), 0);
  EXPECT_EQ(http_.requests().size(), before);
  EXPECT_EQ(server_.uploaded.back(), three);
}

TEST_F(LinkReportTest, FailuresAreShownAndLoggedPerNode) {
  Node* one = song("tone1k_2s.wav");
  Node* two = song("tone1k_2s.mp3");
  Node* three = song("tone1k_20s.wav");
  std::vector<std::string> log;
  LinkReporter reporter(
      core_->engine(), server_, core_->messages(), nullptr,
      [&log](bool error, const std::string& line) { log.push_back((error ? "E " : "I ") + line); });
  const std::string base =
      "http://" + http_.host() + "/cgi-bin/linkreport.cgi?rm=addlink&referer=addlink";
  const std::string reportOf2 =
      LinkReporter::address(base, "u", LinkReporter::kLinked, apptest::md5Of(0), apptest::md5Of(1));
  const std::string reportOf3 =
      LinkReporter::address(base, "u", LinkReporter::kLinked, apptest::md5Of(0), apptest::md5Of(2));

  // The service fails: every pair is told, the report goes on.
  http_.respond("500 Internal Server Error", "");
  EXPECT_EQ(reporter.report(LinkReporter::kLinked, {one, two, three}, "u", base), 0);
  EXPECT_EQ(http_.requests().size(), 2u);
  ASSERT_EQ(shown().size(), 2u);
  EXPECT_EQ(shown().back().caption, "Communication Problem Found");
  EXPECT_EQ(shown().back().text, "Unable to report link - web service failed");
  EXPECT_EQ(log,
            (std::vector<std::string>{"E could not report " + reportOf2,
                                      "E could not report " + reportOf3, "I --- report end ---"}));

  // Back up: a success is logged with its address.
  http_.respond("200 OK", "");
  log.clear();
  EXPECT_EQ(reporter.report(LinkReporter::kLinked, {one, two}, "u", base), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"I reported " + reportOf2, "I --- report end ---"}));

  // The first upload fails: said, logged with its hash, and nothing is reported.
  server_.upload.statuses = {-1};
  log.clear();
  const size_t requests = http_.requests().size();
  EXPECT_EQ(reporter.report(LinkReporter::kLinked, {one, two}, "u", base), 0);
  EXPECT_EQ(http_.requests().size(), requests);
  EXPECT_EQ(shown().back().caption, "Feature upload failed");
  EXPECT_EQ(shown().back().text,
            "Unable to upload features - please check your server settings and make sure you "
            "are connected to the internet");
  EXPECT_EQ(log, (std::vector<std::string>{"E feature upload failed " + apptest::md5Of(0),
                                           "I --- report end ---"}));

  // A refused node is logged as such.
  log.clear();
  reporter.report(LinkReporter::kLinked, {core_->engine().getAlbumNode(one)}, "u", base);
  EXPECT_EQ(log, (std::vector<std::string>{"E can't report non song node to link tool ",
                                           "I --- report end ---"}));

  // No server at all (this build's engine uploads nothing): the upload failure ends it.
  core_->setCommunityOps(nullptr);
  EXPECT_EQ(core_->reportLinks(0, {one, two}), 0);
  EXPECT_EQ(shown().back().caption, "Feature upload failed");
  EXPECT_EQ(http_.requests().size(), requests);
}

TEST(LinkReportAddress, UnsafeCharactersOfTheTextsAreEscaped) {
  EXPECT_EQ(LinkReporter::address("B?", "a&b c=d/é", LinkReporter::kRemove, "h1", "h#2"),
            "B?a%26b%20c%3Dd%2F%C3%A9&source=&who=a%26b%20c%3Dd%2F%C3%A9&remove=y&nodea=h1"
            "&nodeb=h%232");
  EXPECT_EQ(LinkReporter::address("B?", "Plain-name_1.x~", LinkReporter::kLinked, "", ""),
            "B?Plain-name_1.x~&source=&who=Plain-name_1.x~&linked=1&nodea=&nodeb=");
}

}  // namespace
}  // namespace zarvell::app
