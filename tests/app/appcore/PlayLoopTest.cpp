// The play loop with everything real: the engine on a network of real songs, the internal
// player plug-in playing them (fake sink, real decoding and timing) and the main window on
// the offscreen platform.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableView>

#include "app/appcore/AppCore.h"
#include "app/appcore/NodeText.h"
#include "app/mainwindow/MainWindow.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

using apptest::audioFixture;
using apptest::SongSpec;
using Kind = PlayReport::Kind;

struct Seen {
  Kind kind;
  Node* node;
  bool flag;
};

class PlayLoop : public ::testing::Test {
 protected:
  void SetUp() override { apptest::application(); }

  // Writes the network, creates the player core with its main window and loads it.
  void start(const std::vector<SongSpec>& songs) {
    apptest::writeSongNetwork(home_.file("songs.xml"), songs);
    core_ = std::make_unique<AppCore>("", MainWindow::factory());
    core_->initialise();
    ASSERT_TRUE(core_->player().loaded()) << core_->player().error();
    ASSERT_EQ(core_->loadNetwork("songs.xml"), 1);
    core_->setReportObserver([this](const PlayReport& r) {
      if (r.kind != PlayReport::kBoost) seen_.push_back({r.kind, r.node, r.flag});
      if (r.kind == PlayReport::kAbortedSong || r.kind == PlayReport::kStop)
        lastPosition_ = r.value;
      if (r.kind == PlayReport::kPickNext) lastRandomness_ = r.value;
    });
  }
  void TearDown() override { core_.reset(); }

  Node* song(const std::string& location) {
    return core_->engine().getNodeByPath(location.c_str());
  }
  MainWindow& window() { return *static_cast<MainWindow*>(core_->mainWindow()); }
  void enqueue(const std::vector<Node*>& nodes) { core_->enqueueNodes(nodes, false); }
  bool waitUntilCurrent(Node* node, int ms = 10000) {
    return apptest::waitFor([&] { return core_->currentNode() == node; }, ms);
  }
  bool waitForPosition(float seconds) {
    return apptest::waitFor([&] { return core_->position() >= seconds; });
  }
  std::vector<Node*> queueSongs() { return core_->queue().songs(); }
  // The reports so far, for failure messages: "play(A,1) end(A,0) ...".
  std::string reports() {
    static const char* const names[] = {"play", "stop", "aborted", "end", "prev",
                                        "pickNext", "pickPrev", "boost"};
    std::string out;
    for (const Seen& s : seen_)
      out += std::string(names[s.kind]) + "(" + nodeName(core_->engine(), s.node).toStdString() +
             "," + std::to_string(s.flag) + ") ";
    return out;
  }

  apptest::ScratchHome home_;
  std::unique_ptr<AppCore> core_;
  std::vector<Seen> seen_;
  float lastPosition_ = -1.0f;
  float lastRandomness_ = -1.0f;
};

const std::string kWav = audioFixture("tone1k_2s.wav");
const std::string kMp3 = audioFixture("tone1k_2s.mp3");
const std::string kM4a = audioFixture("tone1k_2s.m4a");
const std::string kFlac = audioFixture("tone1k_2s.flac");
const std::string kOgg = audioFixture("tone1k_2s.ogg");
const std::string kLong = audioFixture("tone1k_20s.wav");
const std::string kMissing = "/nonexistent/zarvell/missing.mp3";

TEST_F(PlayLoop, NextWithAnEmptyQueueAsksTheEngineAndPlaysItsChoiceFirstInTheQueue) {
  start({{"One", kWav, 2, 0.5}, {"Two", kMp3, 2, 0.9}});
  core_->executeCommand(command::kNext);
  ASSERT_GE(seen_.size(), 2u);
  EXPECT_EQ(seen_[0].kind, Kind::kPickNext);
  EXPECT_FLOAT_EQ(lastRandomness_, 0.1f);  // the default randomness, 10 hundredths
  Node* picked = seen_[0].node;
  ASSERT_NE(picked, nullptr);
  EXPECT_EQ(seen_[1].kind, Kind::kPlay);
  EXPECT_EQ(seen_[1].node, picked);
  EXPECT_TRUE(seen_[1].flag) << "an engine pick is reported as chosen by the engine";
  EXPECT_EQ(core_->currentNode(), picked);
  EXPECT_TRUE(core_->currentFromEngine());
  ASSERT_EQ(queueSongs(), std::vector<Node*>{picked});
  EXPECT_TRUE(core_->queue().isPlaying(0));
  EXPECT_TRUE(window().transportPlaying());
}

TEST_F(PlayLoop, NextWhileAQueuedSongPlaysDropsItsRowReportsThePositionAndPlaysTheNext) {
  start({{"One", kLong, 20, 0.1}, {"Two", kMp3, 2, 0.1}, {"Three", kWav, 2, 0.1}});
  Node* one = song(kLong);
  Node* two = song(kMp3);
  Node* three = song(kWav);
  enqueue({one, two, three});
  core_->executeCommand(command::kPlay);
  ASSERT_EQ(core_->currentNode(), one);
  ASSERT_TRUE(waitForPosition(0.5f));
  seen_.clear();
  core_->executeCommand(command::kNext);
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[0].kind, Kind::kAbortedSong);
  EXPECT_EQ(seen_[0].node, one);
  EXPECT_GE(lastPosition_, 0.5f);
  EXPECT_LT(lastPosition_, 5.0f);
  EXPECT_EQ(seen_[1].kind, Kind::kPlay);
  EXPECT_EQ(seen_[1].node, two);
  EXPECT_FALSE(seen_[1].flag) << "a queued song is the user's choice";
  EXPECT_EQ(queueSongs(), (std::vector<Node*>{two, three}));
  EXPECT_TRUE(core_->queue().isPlaying(0));
}

TEST_F(PlayLoop, PlayWhilePlayingPausesAndPlayWhilePausedResumesWithoutTellingTheEngine) {
  start({{"Long", kLong, 20, 0.1}});
  enqueue({song(kLong)});
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(waitForPosition(0.3f));
  seen_.clear();
  core_->executeCommand(command::kPlay);
  EXPECT_FALSE(window().transportPlaying());
  EXPECT_FALSE(window().findChild<QPushButton*>("PLAY_1035")->isHidden());
  EXPECT_TRUE(window().findChild<QPushButton*>("PAUSE_1039")->isHidden());
  const float paused = core_->position();
  QTest::qWait(400);
  EXPECT_NEAR(core_->position(), paused, 0.05) << "a paused song does not advance";
  core_->executeCommand(command::kPlay);
  EXPECT_TRUE(window().transportPlaying());
  EXPECT_TRUE(waitForPosition(paused + 0.3f)) << "the song goes on from where it was";
  EXPECT_EQ(core_->currentNode(), song(kLong));
  EXPECT_TRUE(seen_.empty()) << "pause and resume are not reported";
}

TEST_F(PlayLoop, AMissingQueuedSongIsBlockedAndAutomaticPlayGoesOnToTheSongAfterIt) {
  start({{"First", kWav, 2, 0.1}, {"Gone", kMissing, 200, 0.1}, {"Third", kMp3, 2, 0.1}});
  Node* first = song(kWav);
  Node* gone = song(kMissing);
  Node* third = song(kMp3);
  enqueue({first, gone, third});
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(apptest::waitFor([&] { return core_->retryPending(); }, 8000))
      << "the end of the first song starts the missing one, which fails";
  EXPECT_TRUE(core_->engine().isBlocked(gone));
  EXPECT_EQ(core_->currentNode(), nullptr);
  EXPECT_EQ(window().findChild<QLabel*>("First_Line_1096")->text(),
            "Unable to play: Test Album :Gone");
  EXPECT_EQ(window().findChild<QLabel*>("Time_1098")->text(), "--:--");
  EXPECT_EQ(queueSongs(), (std::vector<Node*>{gone, third}));
  EXPECT_FALSE(core_->queue().isPlaying(0));
  QTest::qWait(1000);
  EXPECT_EQ(core_->currentNode(), nullptr) << "the retry waits 1.5 s";
  ASSERT_TRUE(waitUntilCurrent(third, 2000)) << "the song after the failed one plays";
  EXPECT_EQ(queueSongs(), std::vector<Node*>{third});
  const std::vector<Kind> kinds = {Kind::kPlay, Kind::kSongEndReached, Kind::kPlay, Kind::kPlay};
  ASSERT_EQ(seen_.size(), kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(seen_[i].kind, kinds[i]) << i;
  EXPECT_EQ(seen_[2].node, gone);
  EXPECT_EQ(seen_[3].node, third);
}

TEST_F(PlayLoop, TenFailedAutomaticStartsInARowStopAutomaticPlay) {
  std::vector<SongSpec> songs = {{"Good", kWav, 2, 0.1}};
  for (int i = 0; i < 12; ++i)
    songs.push_back({"Gone " + std::to_string(i), "/nonexistent/gone" + std::to_string(i) + ".mp3",
                     100, 0.1});
  start(songs);
  core_->setRetryDelay(20);
  std::vector<Node*> queued = {song(kWav)};
  for (int i = 0; i < 12; ++i) queued.push_back(song("/nonexistent/gone" + std::to_string(i) + ".mp3"));
  enqueue(queued);
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(apptest::waitFor(
      [&] { return core_->failedAutomaticStarts() == AppCore::kMaxFailedAutomaticStarts; }, 10000))
      << reports();
  QTest::qWait(200);
  EXPECT_FALSE(core_->retryPending());
  EXPECT_EQ(core_->failedAutomaticStarts(), 10);
  EXPECT_TRUE(window().findChild<QLabel*>("First_Line_1096")->text().startsWith(
      "Automatic play stopped"));
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(core_->engine().isBlocked(queued[1 + i])) << i;
  EXPECT_FALSE(core_->engine().isBlocked(queued[11])) << "automatic play stopped before it: " << reports();
}

TEST_F(PlayLoop, StopReportsThePositionAndRemovesTheStoppedRow) {
  start({{"Long", kLong, 20, 0.1}, {"Next", kWav, 2, 0.1}});
  enqueue({song(kLong), song(kWav)});
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(waitForPosition(0.4f));
  seen_.clear();
  core_->executeCommand(command::kStop);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].kind, Kind::kStop);
  EXPECT_EQ(seen_[0].node, song(kLong));
  EXPECT_GE(lastPosition_, 0.4f);
  EXPECT_EQ(core_->currentNode(), nullptr);
  EXPECT_EQ(queueSongs(), std::vector<Node*>{song(kWav)});
  EXPECT_FALSE(window().transportPlaying());
}

class DoubleClick : public PlayLoop, public ::testing::WithParamInterface<bool> {};

TEST_P(DoubleClick, OnASuggestionQueuesAndPlaysItClearingTheQueueFirstWhenSet) {
  const bool clear = GetParam();
  start({{"Queued A", kWav, 2, 0.2}, {"Queued B", kMp3, 2, 0.2}, {"Hot", kM4a, 2, 0.9}});
  core_->config().clearQueueOnDoubleClick = clear;
  enqueue({song(kWav), song(kMp3)});
  window().refreshViews();
  QTableView* suggestions = window().suggestionsView();
  window().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
  int row = -1;
  for (int r = 0; r < suggestions->model()->rowCount(); ++r)
    if (suggestions->model()->index(r, 0).data().toString() == "Hot") row = r;
  ASSERT_GE(row, 0) << "the active song is among the suggestions";
  const QRect cell = suggestions->visualRect(suggestions->model()->index(row, 0));
  QTest::mouseClick(suggestions->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(suggestions->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(core_->currentNode(), song(kM4a)) << reports();
  const std::vector<Node*> expected =
      clear ? std::vector<Node*>{song(kM4a)} : std::vector<Node*>{song(kM4a), song(kWav), song(kMp3)};
  EXPECT_EQ(queueSongs(), expected);
  EXPECT_TRUE(core_->queue().isPlaying(0));
}

INSTANTIATE_TEST_SUITE_P(ClearQueueOnDoubleClick, DoubleClick, ::testing::Bool());

TEST_F(PlayLoop, KeyboardSeekStaysInsideTheSong) {
  start({{"Long", kLong, 20, 0.1}});
  enqueue({song(kLong)});
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(waitForPosition(0.1f));
  const float length = core_->duration();
  ASSERT_NEAR(length, 20.0f, 0.2f);
  core_->seek(length - 2.5f);
  ASSERT_TRUE(waitForPosition(length - 2.5f));
  core_->stepSeek(5.0, true);
  EXPECT_NEAR(core_->position(), length - 1.0f, 0.3f) << "one second before the end, not past";
  EXPECT_EQ(core_->currentNode(), song(kLong));
  core_->seek(2.0f);
  ASSERT_TRUE(apptest::waitFor([&] { return core_->position() < 3.0f; }));
  core_->stepSeek(-5.0, true);
  EXPECT_LT(core_->position(), 0.5f) << "not before the start";
  core_->stepSeek(5.0, false);
  EXPECT_LT(core_->position(), 1.0f) << "apply false does nothing";
}

TEST_F(PlayLoop, TheTimeFieldAndTheAutoselectCountdownFollowThePlayingSong) {
  start({{"Long", kLong, 20, 0.1}, {"Short", kWav, 2, 0.1}});
  enqueue({song(kLong), song(kWav)});
  auto* time = window().findChild<QLabel*>("Time_1098");
  auto* autoselect = window().findChild<QLabel*>("Autoselect");
  EXPECT_EQ(autoselect->text(), "- Autoselect resuming in 0:22");
  core_->executeCommand(command::kPlay);
  core_->seek(12.0f);
  ASSERT_TRUE(apptest::waitFor([&] { return time->text() == "0:12"; }, 3000)) << time->text().toStdString();
  EXPECT_EQ(window().findChild<QLabel*>("First_Line_1096")->text(), "Long");
  EXPECT_EQ(window().findChild<QLabel*>("Second_Line_1097")->text(), "Test Artist / Test Album");
  QTest::mouseClick(time, Qt::LeftButton);  // elapsed <-> remaining
  EXPECT_TRUE(time->text() == "-0:08" || time->text() == "-0:07") << time->text().toStdString();
  ASSERT_TRUE(apptest::waitFor([&] { return autoselect->text() == "- Autoselect resuming in 0:09"; }, 3000))
      << "the queued songs' time minus the position: " << autoselect->text().toStdString();
  auto* slider = window().findChild<QSlider*>("Pos_Slider_1063");
  EXPECT_NEAR(slider->value(), core_->position() * 10000 / core_->duration(), 600)
      << "the position in ten-thousandths of the song";
  core_->executeCommand(command::kStop);
  EXPECT_EQ(time->text(), "--:--");
}

TEST_F(PlayLoop, FiveSongsEndOneAfterTheOtherAndThenTheEngineChooses) {
  start({{"A", kWav, 2, 0.1},
         {"B", kMp3, 2, 0.1},
         {"C", kM4a, 2, 0.1},
         {"D", kFlac, 2, 0.1},
         {"E", kOgg, 2, 0.1},
         {"Pick", kLong, 20, 0.95}});
  const std::vector<Node*> five = {song(kWav), song(kMp3), song(kM4a), song(kFlac), song(kOgg)};
  enqueue(five);
  core_->executeCommand(command::kPlay);
  ASSERT_TRUE(apptest::waitFor(
      [&] { return core_->currentNode() && core_->currentFromEngine(); }, 30000))
      << "after the queue ran out the engine's choice plays: " << reports();
  core_->executeCommand(command::kStop);

  std::vector<Seen> expected;
  for (size_t i = 0; i < five.size(); ++i) {
    expected.push_back({Kind::kPlay, five[i], false});
    expected.push_back({Kind::kSongEndReached, five[i], false});
  }
  ASSERT_GE(seen_.size(), expected.size() + 2);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(seen_[i].kind, expected[i].kind) << "report " << i;
    EXPECT_EQ(seen_[i].node, expected[i].node) << "report " << i;
    EXPECT_EQ(seen_[i].flag, expected[i].flag) << "report " << i;
  }
  EXPECT_EQ(seen_[expected.size()].kind, Kind::kPickNext);
  EXPECT_EQ(seen_[expected.size() + 1].kind, Kind::kPlay);
  EXPECT_TRUE(seen_[expected.size() + 1].flag) << "the engine chose it";
  // The pick (a song, or an album that plays from its first song) is the queue's first row.
  Node* pick = seen_[expected.size()].node;
  Node* played = seen_[expected.size() + 1].node;
  EXPECT_TRUE(played == pick || core_->engine().getSubNode(pick, 0) == played) << reports();
  EXPECT_GE(core_->engine().getListLength(2), 5) << "the engine's history holds the songs";
  // A song whose length was unknown learns it from the player.
  EXPECT_EQ(core_->engine().getDuration(five[0]), 2);
}

}  // namespace
}  // namespace zarvell::app
