// The main window with everything real: the engine on a network of real songs, the
// internal player plug-in (fake sink) and the widgets on the offscreen platform. Its
// menus, the keyboard shortcuts that work everywhere, maximise and restore with the kept
// geometry, and the tool tips.
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTableView>
#include <QStyleFactory>
#include <QTest>
#include <QUrl>

#include "app/appcore/AppCore.h"
#include "app/mainwindow/GlobalKeys.h"
#include "app/mainwindow/MainMenus.h"
#include "app/mainwindow/MainWindow.h"
#include "app/skin/Skin.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

using apptest::audioFixture;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { apptest::application(); }
  void TearDown() override { core_.reset(); }

  void start(const std::string& commandLine = "") {
    apptest::writeSongNetwork(home_.file("songs.xml"),
                              {{"One", audioFixture("tone1k_20s.wav"), 20, 0.5},
                               {"Two", audioFixture("tone1k_2s.mp3"), 2, 0.9},
                               {"Three", audioFixture("tone1k_2s.wav"), 2, 0.7}});
    core_ = std::make_unique<AppCore>(commandLine, MainWindow::factory());
    core_->setSkin(skin_);
    core_->initialise();
    ASSERT_TRUE(core_->player().loaded()) << core_->player().error();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    window().activateWindow();
  }
  MainWindow& window() { return *static_cast<MainWindow*>(core_->mainWindow()); }
  Node* song(const char* name) {
    return core_->engine().getNodeByPath(audioFixture(name).c_str());
  }
  template <typename W>
  W* control(const char* name) {
    auto* w = window().findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void press(int key, Qt::KeyboardModifiers mods) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                  : window().suggestionsView();
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
  }

  apptest::ScratchHome home_;
  const Skin* skin_ = nullptr;  // none unless a test installs one
  std::unique_ptr<AppCore> core_;
};

TEST_F(MainWindowTest, NetworkItemsOnlyInDebugModeAndSelectionItemsGreyedWithoutSelection) {
  for (const char* line : {"", "zarvell -debug"}) {
    SCOPED_TRACE(line);
    start(line);
    const bool debug = *line != '\0';
    MainMenus& menus = window().menus();
    window().suggestionsView()->clearSelection();
    window().openMenu(command::kFileMenu);
    EXPECT_EQ(menus.action(menu::kOpenNetwork)->isVisible(), debug);
    EXPECT_EQ(menus.action(menu::kSaveNetwork)->isVisible(), debug);
    for (int id : {menu::kExportM3u, menu::kCopyMedia, menu::kTaboo, menu::kEnqueue})
      EXPECT_FALSE(menus.action(id)->isEnabled()) << id;
    EXPECT_TRUE(menus.action(menu::kImportFolder)->isEnabled());
    menus.menu(command::kFileMenu)->close();

    window().suggestionsView()->setFocus();
    window().suggestionsView()->selectRow(0);
    window().openMenu(command::kFileMenu);
    for (int id : {menu::kExportM3u, menu::kCopyMedia, menu::kTaboo, menu::kEnqueue})
      EXPECT_TRUE(menus.action(id)->isEnabled()) << id;
    menus.menu(command::kFileMenu)->close();
    core_.reset();
  }
}

TEST_F(MainWindowTest, EnqueueSelectionFromTheEditMenuAppendsTheSelectedSongs) {
  start();
  QTableView* view = window().suggestionsView();
  view->setFocus();
  std::vector<Node*> songs;  // the song rows (album and artist rows stand for their songs)
  std::vector<int> rows;
  for (int row = 0; row < view->model()->rowCount(); ++row) {
    view->selectRow(row);
    const std::vector<Node*> one = window().selectedNodes();
    if (one.size() == 1 && core_->engine().getNodeType(one[0]) == 1) {
      songs.push_back(one[0]);
      rows.push_back(row);
    }
  }
  ASSERT_GE(songs.size(), 2u);
  view->clearSelection();
  view->setSelectionMode(QAbstractItemView::MultiSelection);
  for (int row : rows) view->selectRow(row);
  const std::vector<Node*> selected = window().selectedNodes();
  ASSERT_EQ(selected.size(), songs.size());
  window().menus().action(menu::kEnqueue)->trigger();
  EXPECT_EQ(core_->queue().songs(), selected);
  EXPECT_EQ(core_->currentNode(), nullptr);  // playback is not touched
}

TEST_F(MainWindowTest, GlobalShortcutsActWhereverTheFocusIs) {
  start();
  core_->enqueueNodes({song("tone1k_20s.wav"), song("tone1k_2s.wav")}, false);
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(apptest::waitFor([&] { return core_->position() > 0.2f; }));
  window().queueView()->setFocus();

  const int volume = core_->volume();
  press(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(core_->volume(), volume - GlobalKeys::kVolumeStep);
  EXPECT_EQ(control<QSlider>("Vol_Slider_1062")->value(), core_->volume());
  press(Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(core_->volume(), volume);

  const float before = core_->position();
  press(Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_GE(core_->position(), before + 4.5f);
  press(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_LT(core_->position(), before + 4.5f);

  press(Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_TRUE(core_->player().isMuted());
  EXPECT_TRUE(control<QPushButton>("UNMUTE_1040")->isVisibleTo(&window()));
  press(Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_FALSE(core_->player().isMuted());

  press(Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier);  // swallowed
  EXPECT_EQ(core_->volume(), volume);

  Node* first = core_->currentNode();
  press(Qt::Key_Right, Qt::ControlModifier);
  ASSERT_TRUE(apptest::waitFor([&] { return core_->currentNode() == song("tone1k_2s.wav"); }));
  press(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_TRUE(apptest::waitFor([&] { return core_->currentNode() == first; }));

  press(Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier);  // stop
  EXPECT_FALSE(core_->isPlaying());
}

// The target is the window's own interface to the player; here it only records, to show
// that a blocked target (a long operation running) takes no key and passes it on.
struct RecordingTarget : GlobalKeys::Target {
  bool blocked = false;
  std::vector<std::string> calls;
  bool shortcutsBlocked() const override { return blocked; }
  void runCommand(int id) override { calls.push_back("command " + std::to_string(id)); }
  void stepVolume(int delta) override { calls.push_back("volume " + std::to_string(delta)); }
  void stepPosition(double s) override { calls.push_back("seek " + std::to_string(int(s))); }
};

TEST(GlobalKeys, EachShortcutOnceAndNoneWhileBlocked) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    bool taken;
    const char* call;  // "" for none
  };
  const Case cases[] = {
      {Qt::Key_Left, Qt::ControlModifier, true, "command 1034"},
      {Qt::Key_Right, Qt::ControlModifier, true, "command 1037"},
      {Qt::Key_Up, Qt::ControlModifier, true, "volume 500"},
      {Qt::Key_Down, Qt::ControlModifier, true, "volume -500"},
      {Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier, true, "seek -5"},
      {Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier, true, "seek 5"},
      {Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier, true, "command 1038"},
      {Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier, true, ""},
      {Qt::Key_Left, Qt::NoModifier, false, ""},
      {Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier, false, ""},
      {Qt::Key_A, Qt::ControlModifier, false, ""},
  };
  for (bool blocked : {false, true}) {
    for (const Case& c : cases) {
      RecordingTarget target;
      target.blocked = blocked;
      GlobalKeys keys(target);
      const QKeyEvent event(QEvent::KeyPress, c.key, c.mods);
      EXPECT_EQ(keys.handleKey(event), c.taken && !blocked) << c.key << " " << blocked;
      const std::vector<std::string> expected =
          *c.call && !blocked ? std::vector<std::string>{c.call} : std::vector<std::string>{};
      EXPECT_EQ(target.calls, expected) << c.key;
    }
  }
}

TEST_F(MainWindowTest, MaximiseFillsTheScreenKeepsTheNormalPlaceAndRestoreReturns) {
  start();
  window().setGeometry(100, 80, 700, 500);
  const QRect normal = window().geometry();
  EXPECT_EQ(core_->config().mainWidth, 700);

  core_->executeCommand(command::kMaximize);
  EXPECT_TRUE(window().maximised());
  EXPECT_EQ(window().geometry(), QGuiApplication::primaryScreen()->availableGeometry());
  EXPECT_TRUE(control<QPushButton>("Restore_1026")->isVisibleTo(&window()));
  EXPECT_FALSE(control<QPushButton>("Maximize_1024")->isVisibleTo(&window()));
  EXPECT_EQ(core_->config().mainWidth, 700);  // the stored place stays the normal one

  QWidget* header = control<QWidget>("Header");
  QTest::mouseDClick(header, Qt::LeftButton);  // a double click on the header restores
  EXPECT_FALSE(window().maximised());
  EXPECT_EQ(window().geometry(), normal);
  EXPECT_TRUE(control<QPushButton>("Maximize_1024")->isVisibleTo(&window()));

  window().move(150, 90);
  EXPECT_EQ(core_->config().mainLeft, 150);
  EXPECT_EQ(core_->config().mainTop, 90);
}

// An empty skin folder: every control falls back to the Qt style and keeps its caption, and
// the window still plays.
TEST_F(MainWindowTest, WorksWithEveryBitmapMissing) {
  Skin skin(QString::fromStdString(home_.path() + "/no-skin/"));
  skin.install(apptest::application());
  skin_ = &skin;
  start();
  auto* play = control<QPushButton>("PLAY_1035");
  EXPECT_EQ(play->text(), "PLAY");
  EXPECT_FALSE(window().grab().isNull());
  core_->enqueueNodes({song("tone1k_2s.wav")}, false);
  QTest::mouseClick(play, Qt::LeftButton);
  EXPECT_TRUE(apptest::waitFor([&] { return core_->isPlaying(); }));
  core_.reset();
  QApplication::setStyle(QStyleFactory::create("Fusion"));  // the skin style goes with it
}

TEST_F(MainWindowTest, ToolTipsFollowTheSetting) {
  start();
  auto* next = control<QPushButton>("NEXT_1037");
  EXPECT_EQ(next->toolTip(), "Play next song");
  EXPECT_EQ(control<QLabel>("Time_1098")->toolTip(),
            "Click to toggle current/remaining song time");
  core_->config().showToolTips = false;
  window().applyToolTips();
  EXPECT_TRUE(next->toolTip().isEmpty());
}

TEST_F(MainWindowTest, LogInStateShownOnlyInWebMode) {
  start();
  EXPECT_FALSE(control<QLabel>("LoginState")->isVisibleTo(&window()));
  core_.reset();
  start("zarvell -web");
  core_->config().userName = "";
  window().updateLoginText();
  EXPECT_EQ(window().loginText(), "Not logged in.");
  core_->config().userName = "anna";
  window().updateLoginText();
  EXPECT_EQ(window().loginText(), "Logged in as anna");
}

TEST_F(MainWindowTest, EditAndViewItemsActOnTheEngineAndHelpItemsOpenTheirPages) {
  start();
  std::vector<QUrl> opened;
  core_->setUrlOpener([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  Node* one = song("tone1k_20s.wav");
  window().suggestionsView()->setFocus();
  window().showInSuggestions(one);
  ASSERT_EQ(window().selectedNodes(), std::vector<Node*>{one});
  MainMenus& menus = window().menus();

  menus.action(menu::kTaboo)->trigger();
  EXPECT_TRUE(core_->engine().getTaboo(one));
  menus.action(menu::kUntaboo)->trigger();
  EXPECT_FALSE(core_->engine().getTaboo(one));
  menus.action(menu::kBlock)->trigger();
  EXPECT_TRUE(core_->engine().isBlocked(one));
  menus.action(menu::kUnblock)->trigger();
  EXPECT_FALSE(core_->engine().isBlocked(one));

  menus.action(menu::kViewAlbums)->trigger();
  menus.action(menu::kViewArtists)->trigger();
  EXPECT_EQ(core_->viewStyle(), 1);
  window().openMenu(command::kViewMenu);
  EXPECT_TRUE(menus.action(menu::kViewSongs)->isChecked());
  EXPECT_FALSE(menus.action(menu::kViewAlbums)->isChecked());
  menus.menu(command::kViewMenu)->close();
  menus.action(menu::kViewSongs)->trigger();
  EXPECT_EQ(window().suggestionsView()->model()->rowCount(), 0);  // nothing left to show

  menus.action(menu::kHelpContents)->trigger();
  menus.action(menu::kHomepage)->trigger();
  QTest::mouseClick(control<QPushButton>("Logo_1055"), Qt::LeftButton);
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_TRUE(opened[0].isLocalFile());
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("help/index.html"));
  EXPECT_EQ(opened[1], opened[2]);  // the logo opens the home page
  EXPECT_EQ(opened[1].scheme(), "http");
}

}  // namespace
}  // namespace zarvell::app
