// The preferences sheet on the real player core: each page filled from the settings and
// applied back with the engine effects, the player list from real plug-ins, Cancel, and the
// numeric edits refusing what is not a number.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "app/appcore/AppCore.h"
#include "app/settings/SettingsDialog.h"
#include "app/settings/SettingsPages.h"
#include "app_test_support.h"
#include "zarvell/paths.h"

namespace zarvell::app {
namespace {

namespace fs = std::filesystem;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    fs::create_directories(home_.file("plugins"));
    fs::create_symlink(programFolder() + "/audioplugins/internal.so",
                       home_.file("plugins/internal.so"));
    fs::create_symlink(HIDDEN_PLAYER_PLUGIN, home_.file("plugins/hidden.so"));
  }
  void start(const std::string& commandLine) {
    core_ = std::make_unique<AppCore>(commandLine, nullptr);
    core_->config().checkUpdatesOnStart = false;
    core_->initialise();
    core_->messages().setAnswerer([](const MessageRequest&) { return QMessageBox::Ok; });
  }
  std::unique_ptr<SettingsDialog> sheet(const std::string& folder = "plugins") {
    return std::make_unique<SettingsDialog>(*core_, nullptr, home_.file(folder));
  }
  template <typename W>
  static W* control(SettingsPage* page, int id) {
    W* widget = page->findChild<W*>(QString("id%1").arg(id));
    EXPECT_NE(widget, nullptr) << id;
    return widget;
  }

  apptest::ScratchHome home_;
  std::unique_ptr<AppCore> core_;
};

TEST_F(Settings, PagesAndTheirTreeDependOnTheSwitches) {
  start("");
  auto plain = sheet();
  EXPECT_EQ(plain->windowTitle(), "Zarvell Preferences");
  ASSERT_EQ(plain->pageCount(), 2);
  EXPECT_EQ(plain->page(0)->treeLabel(), "General");
  EXPECT_EQ(plain->page(1)->treeLabel(), "Audio Player");
  EXPECT_EQ(plain->page(1)->title(), "Player (Internal/External)");
  EXPECT_EQ(plain->pageByLabel("Core Advanced"), nullptr);
  EXPECT_TRUE(plain->page(0)->isFilled());   // the first page is shown at once
  EXPECT_FALSE(plain->page(1)->isFilled());  // the others when first shown
  core_.reset();
  start("-DEBUG");
  auto debug = sheet();
  ASSERT_EQ(debug->pageCount(), 3);
  EXPECT_EQ(debug->page(2)->treeLabel(), "Core Advanced");
}

TEST_F(Settings, GeneralPageFillsAndApplies) {
  start("");
  AppConfig& c = core_->config();
  c.checkUpdatesOnStart = false;
  c.clearQueueOnDoubleClick = true;
  c.showToolTips = false;
  c.randomness = 30;
  c.songInhibitIndex = 2;
  c.otherInhibitIndex = 7;
  auto s = sheet();
  SettingsPage* page = s->page(0);
  EXPECT_FALSE(control<QCheckBox>(page, 1071)->isChecked());
  EXPECT_TRUE(control<QCheckBox>(page, 1070)->isChecked());
  EXPECT_FALSE(control<QCheckBox>(page, 1072)->isChecked());
  QSlider* randomness = control<QSlider>(page, 1111);
  EXPECT_EQ(randomness->value(), 30);
  EXPECT_EQ(randomness->maximum(), 100);
  EXPECT_EQ(randomness->tickInterval(), 10);
  QSlider* song = control<QSlider>(page, 1113);
  EXPECT_EQ(song->value(), 2);
  EXPECT_EQ(song->maximum(), 9);
  EXPECT_EQ(control<QLabel>(page, 1115)->text(), "1 Hour");
  EXPECT_EQ(control<QLabel>(page, 1116)->text(), "1 Week");
  EXPECT_FALSE(page->isModified());

  song->setValue(9);
  EXPECT_EQ(control<QLabel>(page, 1115)->text(), "1 Month");  // at once, before applying
  EXPECT_EQ(c.songInhibitIndex, 2);
  control<QCheckBox>(page, 1071)->setChecked(true);
  randomness->setValue(70);
  EXPECT_TRUE(page->isModified());
  s->accept();
  EXPECT_EQ(s->result(), QDialog::Accepted);
  EXPECT_EQ(c.songInhibitIndex, 9);
  EXPECT_EQ(kInhibitIntervals[c.songInhibitIndex], 2592000);  // what applySettings hands on
  EXPECT_EQ(c.otherInhibitIndex, 7);
  EXPECT_EQ(c.randomness, 70);
  EXPECT_TRUE(c.checkUpdatesOnStart);
  EXPECT_TRUE(c.clearQueueOnDoubleClick);
  EXPECT_FALSE(page->isModified());
}

TEST_F(Settings, CancelDiscardsWhatWasNotApplied) {
  start("");
  core_->config().randomness = 10;
  auto s = sheet();
  QSlider* randomness = control<QSlider>(s->page(0), 1111);
  randomness->setValue(40);
  ASSERT_TRUE(s->applyAll());
  EXPECT_EQ(core_->config().randomness, 40);
  randomness->setValue(90);
  s->reject();
  EXPECT_EQ(core_->config().randomness, 40);
}

TEST_F(Settings, PlayerListOffersOnlyPluginsThatAskAndSwitchesOnlyOnChange) {
  start("");
  core_->config().playerPlugin = "INTERNAL.so";  // names compare without regard to case
  auto s = sheet();
  s->showPage(1);
  QComboBox* players = control<QComboBox>(s->page(1), 1008);
  ASSERT_EQ(players->count(), 1);  // the hidden plug-in loads but answers 0 to "offered"
  const std::vector<PlayerPluginInfo> probed = listPlayerPlugins(home_.file("plugins"));
  ASSERT_EQ(probed.size(), 2u);
  EXPECT_EQ(probed[0].name, "Hidden Test Player");
  EXPECT_FALSE(probed[0].offered);
  EXPECT_EQ(players->itemText(0).toStdString(), probed[1].name);
  EXPECT_EQ(players->currentIndex(), 0);
  AudioPlayer* before = &core_->player();
  s->accept();  // the same player: not reloaded, the song not stopped
  EXPECT_EQ(&core_->player(), before);
  EXPECT_EQ(core_->config().playerPlugin, "INTERNAL.so");

  core_->config().playerPlugin = "gone.so";
  auto again = sheet();
  again->showPage(1);
  QComboBox* list = control<QComboBox>(again->page(1), 1008);
  EXPECT_EQ(list->currentIndex(), -1);
  list->setCurrentIndex(0);
  again->accept();
  EXPECT_EQ(core_->config().playerPlugin, "internal.so");
  EXPECT_NE(&core_->player(), before);
  EXPECT_TRUE(core_->player().loaded());

  fs::create_directories(home_.file("empty"));
  auto none = sheet("empty");
  none->showPage(1);
  EXPECT_EQ(control<QComboBox>(none->page(1), 1008)->count(), 0);
  none->accept();
  EXPECT_EQ(core_->config().playerPlugin, "internal.so");
}

TEST_F(Settings, CoreAdvancedShowsExpertValuesAndRefusesNonNumbers) {
  start("-DEBUG");
  AppConfig& c = core_->config();
  c.boostStrength = 0.25f;
  c.routerPort = 20001;
  c.propagateToMeta = true;
  auto s = sheet();
  SettingsPage* page = s->pageByLabel("Core Advanced");
  ASSERT_NE(page, nullptr);
  s->showPage(2);
  QLineEdit* boost = control<QLineEdit>(page, 1073);
  EXPECT_EQ(boost->text(), "0.25000000");
  EXPECT_EQ(control<QLineEdit>(page, 1125)->text(), "20001");

  boost->selectAll();
  QTest::keyClicks(boost, "x");  // the validator keeps letters out
  EXPECT_EQ(boost->text(), "0.25000000");
  boost->clear();
  QTest::keyClicks(boost, "-");  // only the start of a number: refused, not stored as 0
  EXPECT_FALSE(s->applyAll());
  EXPECT_FLOAT_EQ(c.boostStrength, 0.25f);
  ASSERT_FALSE(core_->messages().history().empty());
  EXPECT_EQ(core_->messages().history().back().text,
            "Please enter a number in the highlighted field.");

  boost->clear();
  QTest::keyClicks(boost, "0.75");
  control<QCheckBox>(page, 1071)->setChecked(false);
  s->accept();
  EXPECT_FLOAT_EQ(c.boostStrength, 0.75f);
  EXPECT_FALSE(c.propagateToMeta);
  EXPECT_FALSE(core_->engine().getPropagateToMeta());  // applied to the engine
}

}  // namespace
}  // namespace zarvell::app
