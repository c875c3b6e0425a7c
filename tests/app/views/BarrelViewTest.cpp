// The list views on the real engine: cell texts and the view style, re-reading, the
// actions of the context menu and the keys, removing, and drag and drop onto the queue.
#include <QLineEdit>
#include <QPushButton>

#include "app/appcore/AppLogging.h"
#include "views_test_support.h"

namespace zarvell::app {
namespace {

using Views = ViewsFixture;

TEST_F(Views, CellsShowTheNodeTextsAndTheViewStyleChoosesTheNodeTypes) {
  BarrelView& view = suggestions();
  const int row = view.listModel()->rowOf(two_);
  ASSERT_GE(row, 0);
  QStringList cells;
  for (int column = 0; column < kNodeColumnCount; ++column)
    cells << view.model()->index(row, column).data().toString();
  EXPECT_EQ(cells.mid(0, 4), (QStringList{"Two", "Test Album", "Test Artist", "02:05"}));
  EXPECT_EQ(cells[4], QString::asprintf("%0.8f", engine().getActivation(two_)));
  EXPECT_TRUE(titles(view).contains("Test Album"));
  EXPECT_TRUE(titles(view).contains("Test Artist"));

  struct Step {
    const char* entry;
    QStringList shown;  // sorted titles
  };
  const Step steps[] = {
      {"Show Albums", {"One", "Test Artist", "Three", "Two"}},  // 7 -> 5
      {"Show Artists", {"One", "Three", "Two"}},                // 5 -> 1
      {"Show Songs", {}},                                       // 1 -> 0: nothing
      {"Show Albums", {"Test Album"}},                          // 0 -> 2
  };
  for (const Step& step : steps) {
    view.runEntry(step.entry);
    QStringList shown = titles(view);
    shown.sort();
    EXPECT_EQ(shown, step.shown) << step.entry << " style " << core_->viewStyle();
  }
  EXPECT_EQ(view.menuState(false).viewStyle, 2);
}

TEST_F(Views, ViewsReReadOnNotifyAndDropNodesTheEngineNoLongerKnows) {
  BarrelView& view = suggestions();
  const int row = view.listModel()->rowOf(three_);
  const QString before = view.model()->index(row, kActivationColumn).data().toString();
  const std::vector<Node*> nodes{three_};
  engine().boost(&nodes, 1.0f, false);
  core_->notify(2);
  const int after = view.listModel()->rowOf(three_);
  ASSERT_GE(after, 0);
  EXPECT_NE(view.model()->index(after, kActivationColumn).data().toString(), before);

  // A node removed behind the view's back stays valid (the view's reference) until the
  // next re-read, which drops it.
  core_->messages().setAnswerer([](const MessageRequest&) { return QMessageBox::Yes; });
  EXPECT_TRUE(core_->removeFromNetwork({three_}));
  EXPECT_EQ(view.listModel()->rowOf(three_), -1);
  EXPECT_FALSE(titles(view).contains("Three"));
}

TEST_F(Views, SelectionActionsChangeTheEngineState) {
  BarrelView& view = history();  // the menu actions do not depend on the kind
  playInTurn({one_, two_, three_});
  view.refresh();
  ASSERT_GE(view.rowCount(), 2);
  view.selectNodes({one_, two_});
  ASSERT_EQ(view.selectedNodes().size(), 2u);

  view.runEntry("Block Selection");
  EXPECT_TRUE(engine().isBlocked(one_));
  EXPECT_TRUE(engine().isBlocked(two_));
  EXPECT_EQ(view.selectedNodes().size(), 2u) << "the selection survives the re-read";
  EXPECT_TRUE(view.menuState(true).allBlocked);
  view.runEntry("Unblock Selection");
  EXPECT_FALSE(engine().isBlocked(one_));

  view.runEntry("Inhibit Selection");
  EXPECT_GT(engine().getTaboo(one_), 0);
  EXPECT_GT(engine().getTaboo(two_), 0);
  view.runEntry("Permit Selection");
  EXPECT_EQ(engine().getTaboo(one_), 0);

  const float activation = engine().getActivation(one_);
  view.selectNodes({one_});
  view.runEntry("Boost Selection");
  EXPECT_GT(engine().getActivation(one_), activation);

  view.runEntry("Add to Bookmarks");
  view.runEntry("Add to Bookmarks");  // once only
  EXPECT_EQ(core_->bookmarks(), std::vector<Node*>{one_});

  const std::vector<Node*> queued = core_->queue().songs();
  view.selectNodes({one_, two_});
  view.runEntry("Enqueue Selection");
  std::vector<Node*> expected = queued;
  expected.insert(expected.end(), {one_, two_});
  EXPECT_EQ(core_->queue().songs(), expected);
  EXPECT_EQ(core_->currentNode(), three_) << "enqueueing does not touch playback";
}

TEST_F(Views, PlaySelectionAbortsTheCurrentSongAndPlaysTheSelectionFromTheFront) {
  std::vector<PlayReport::Kind> kinds;
  core_->setReportObserver([&](const PlayReport& r) {
    if (r.kind == PlayReport::kAbortedSong || r.kind == PlayReport::kPlay) kinds.push_back(r.kind);
  });
  core_->playSelection({one_});
  ASSERT_EQ(core_->currentNode(), one_);
  suggestions().selectNodes({three_, two_});
  suggestions().runEntry("Play Selection");
  EXPECT_EQ(core_->currentNode(), two_) << "the first of the selection in row order";
  EXPECT_EQ(kinds, (std::vector<PlayReport::Kind>{PlayReport::kPlay, PlayReport::kAbortedSong,
                                                  PlayReport::kPlay}));
  const std::vector<Node*> songs = core_->queue().songs();
  ASSERT_EQ(songs.size(), 3u);
  EXPECT_EQ(std::vector<Node*>(songs.begin(), songs.begin() + 2), (std::vector<Node*>{two_, three_}));
  EXPECT_EQ(songs[2], one_) << "the aborted song's row stays";
  EXPECT_TRUE(core_->queue().isPlaying(0));
}

TEST_F(Views, GoodAndBadChoiceLearnOnlyForOneSong) {
  playInTurn({one_, two_});
  queue().refresh();
  queue().selectNodes({two_});
  ASSERT_TRUE(queue().menuState(true).playingFirstRow);
  queue().selectNodes({one_});
  EXPECT_FALSE(queue().menuState(true).playingFirstRow);

  // The playing song is learned as a good or bad follower of the song played before it:
  // a good choice strengthens their link, a bad one removes it at once.
  const float before = engine().getLinkStrength(one_, two_);
  ASSERT_GT(before, 0.0f);
  EXPECT_EQ(core_->learnChoice({two_}, true), 1);
  EXPECT_GT(engine().getLinkStrength(one_, two_), before);
  EXPECT_EQ(core_->learnChoice({two_}, false), 1);
  EXPECT_LT(engine().getLinkStrength(one_, two_), 0.0f) << "no link any more";
  EXPECT_EQ(core_->learnChoice({one_, two_}, true), -1);
  EXPECT_EQ(core_->learnChoice({}, false), -1);
  EXPECT_EQ(core_->learnChoice({nullptr}, false), -1);
}

TEST_F(Views, RemovingAsksForTheNetworkAndRemovesRowsElsewhere) {
  std::vector<QString> asked;
  QMessageBox::StandardButton answer = QMessageBox::No;
  core_->messages().setAnswerer([&](const MessageRequest& r) {
    asked.push_back(r.caption);
    EXPECT_EQ(r.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(r.text.startsWith("Please click on YES to permanently remove"));
    return answer;
  });
  suggestions().selectNodes({three_});
  suggestions().removeSelectedRows();
  EXPECT_EQ(asked, std::vector<QString>{"Remove items from the network?"});
  EXPECT_EQ(song(kMp3), three_) << "No leaves the network";
  answer = QMessageBox::Yes;
  suggestions().selectNodes({three_});
  suggestions().removeSelectedRows();
  EXPECT_EQ(song(kMp3), nullptr);

  playInTurn({one_, two_, one_});
  history().refresh();
  const int entries = engine().getListLength(2);
  ASSERT_GE(entries, 2);
  history().selectionModel()->select(history().model()->index(0, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  history().removeSelectedRows();
  EXPECT_EQ(engine().getListLength(2), entries - 1);
  EXPECT_EQ(history().rowCount(), entries - 1);

  // The queue only loses the rows.
  core_->enqueueNodes({two_}, false);
  const int rows = core_->queue().size();
  queue().selectNodes({two_});
  queue().runEntry("Remove from Play Queue");
  EXPECT_EQ(core_->queue().size(), rows - 1);
  EXPECT_EQ(song(kWav), two_);
  EXPECT_EQ(asked.size(), 2u) << "only the suggestions ask";
}

TEST_F(Views, StoreSelectionMakesAPlaylistAndSelectsItInTheSuggestions) {
  core_->enqueueNodes({one_, two_}, false);
  queue().refresh();
  queue().selectAll();
  queue().runEntry("Store selection");
  const std::vector<Node*> selected = suggestions().selectedNodes();
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(nodeName(engine(), selected.front()), "user playlist");
  std::vector<Node*> flat{selected.front()};
  Node** songs = nullptr;
  int count = 0;
  engine().getFlatList(&flat, &songs, &count);
  EXPECT_EQ(std::vector<Node*>(songs, songs + count), (std::vector<Node*>{one_, two_}));
}

TEST_F(Views, KeysActOnTheSelection) {
  BarrelView& view = suggestions();
  view.setFocus();
  view.selectNodes({two_});
  QTest::keyClick(&view, Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(core_->queue().songs(), std::vector<Node*>{two_});
  EXPECT_EQ(core_->currentNode(), nullptr);

  QTest::keyClick(&view, Qt::Key_Space);  // the PLAY command plays the queue
  EXPECT_EQ(core_->currentNode(), two_);

  view.selectNodes({one_});
  QTest::keyClick(&view, Qt::Key_Return);
  EXPECT_EQ(core_->currentNode(), one_);

  const float activation = engine().getActivation(three_);
  view.selectNodes({three_});
  QTest::keyClick(&view, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_GT(engine().getActivation(three_), activation);

  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(core_->nodeClipboard().nodes(), std::vector<Node*>{three_});
  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_TRUE(view.selectedNodes().empty());
  QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(static_cast<int>(view.selectedNodes().size()), view.rowCount());

  // Cursor keys with Shift extend the selection.
  view.selectionModel()->setCurrentIndex(view.model()->index(0, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.selectedRows(), (std::vector<int>{0, 1}));

  // In the queue Ctrl+X cuts, the clipboard pastes back at the end and Delete removes.
  queue().setFocus();
  queue().selectNodes({two_});
  QTest::keyClick(&queue(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(core_->nodeClipboard().nodes(), std::vector<Node*>{two_});
  EXPECT_EQ(core_->queue().songs(), std::vector<Node*>{one_});
  QTest::keyClick(&queue(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(core_->queue().songs(), (std::vector<Node*>{one_, two_}));
  queue().selectNodes({two_});
  QTest::keyClick(&queue(), Qt::Key_Delete);
  EXPECT_EQ(core_->queue().songs(), std::vector<Node*>{one_});
}

TEST_F(Views, DoubleClickPlaysTheRowThroughTheQueue) {
  BarrelView& view = suggestions();
  const int row = view.listModel()->rowOf(two_);
  const QRect cell = view.visualRect(view.model()->index(row, 0));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(core_->currentNode(), two_);
  EXPECT_EQ(core_->queue().node(0), two_);
}

TEST_F(Views, RowsDraggedOntoTheQueueAreAddedThereAndQueueRowsMove) {
  core_->enqueueNodes({one_}, false);
  suggestions().selectNodes({two_, three_});
  const std::vector<int> rows = suggestions().selectedRows();
  queue().dropRows(suggestions(), rows, 0);  // in front of the only row
  std::vector<Node*> expected;
  for (int row : rows) expected.push_back(suggestions().nodeAt(row));
  expected.push_back(one_);
  EXPECT_EQ(core_->queue().songs(), expected);

  queue().dropRows(queue(), {0}, 3);  // the first row to the end
  EXPECT_EQ(core_->queue().songs(), (std::vector<Node*>{expected[1], one_, expected[0]}));

  // The playing first row stays first.
  core_->executeCommand(command::kPlay);
  Node* playing = core_->queue().node(0);
  ASSERT_TRUE(core_->queue().isPlaying(0));
  queue().dropRows(queue(), {2}, 0);
  EXPECT_EQ(core_->queue().node(0), playing);
  EXPECT_EQ(core_->queue().node(1), expected[0]);

  // The queue view takes drops of the private type only; the suggestions none.
  EXPECT_TRUE(queue().acceptDrops());
  EXPECT_FALSE(suggestions().acceptDrops());
}

TEST_F(Views, TheKeywordFieldEnablesGoAndBoostForRealText) {
  QLineEdit* field = page().findChild<QLineEdit*>("Keywords_1090");
  auto* go = page().findChild<QPushButton*>("&Go_1092");
  auto* boost = page().findChild<QPushButton*>("&Boost_1091");
  ASSERT_TRUE(field && go && boost);
  EXPECT_EQ(field->text(), "<Type keywords here>");
  EXPECT_FALSE(go->isEnabled());
  const std::pair<const char*, bool> texts[] = {{"jazz", true}, {"", false},
                                                {"<Type keywords here>", false}, {"x", true}};
  for (const auto& [text, enabled] : texts) {
    field->setText(text);
    EXPECT_EQ(go->isEnabled(), enabled) << text;
    EXPECT_EQ(boost->isEnabled(), enabled) << text;
  }

  // "&Go": the matching nodes become the suggestions' selection; no match changes nothing.
  suggestions().selectNodes({one_});
  field->setText("nomatchatall");
  go->click();
  EXPECT_EQ(suggestions().selectedNodes(), std::vector<Node*>{one_});
  field->setText("zydeco");
  go->click();
  EXPECT_EQ(suggestions().selectedNodes(), std::vector<Node*>{three_});
  EXPECT_EQ(suggestions().currentIndex().row(), suggestions().listModel()->rowOf(three_));
}

}  // namespace
}  // namespace zarvell::app
