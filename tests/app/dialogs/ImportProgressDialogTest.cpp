// The import window, the busy window, the time-left estimate and the drop filter, driven on
// the offscreen platform with progress records as the engine sends them.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <fstream>

#include "app/dialogs/BusyDialog.h"
#include "app/dialogs/ImportProgressDialog.h"
#include "app/dialogs/MediaDropFilter.h"
#include "app/dialogs/RemainingTime.h"

namespace zarvell::app {
namespace {

TEST(RemainingTime, TextFormsAtTheirLimits) {
  const struct {
    int seconds;
    const char* text;
  } cases[] = {
      {0, "Time remaining for step:"},
      {-5, "Time remaining for step:"},
      {59, "Time remaining for step: 0:00:59"},
      {60, "Time remaining for step: 0:01:00"},
      {3599, "Time remaining for step: 0:59:59"},
      {3600, "Time remaining for step: 1:00:00"},
      {36125, "Time remaining for step: 10:02:05"},
  };
  for (const auto& c : cases) EXPECT_EQ(RemainingTime::text(c.seconds), c.text) << c.seconds;
}

TEST(RemainingTime, WaitsForEnoughItemsAndTimeThenFollowsTheRate) {
  RemainingTime t;
  EXPECT_EQ(t.update(0, 100, true, 10.0), 0);  // clock starts
  EXPECT_EQ(t.update(1, 100, true, 11.0), 0);  // one item: not trusted yet
  EXPECT_EQ(t.update(2, 100, true, 12.0), 0);
  EXPECT_EQ(t.update(5, 100, false, 15.0), 0);  // no total: nothing shown
  // 4 items in 4 s, 96 left: 96 s.
  EXPECT_EQ(t.update(4, 100, true, 14.0), 96);
  // Steady rate: the blend of the carried-down figure and the new one stays on the rate.
  EXPECT_EQ(t.update(10, 100, true, 20.0), 90);
  EXPECT_EQ(t.update(100, 100, true, 110.0), 0);  // done
}

TEST(RemainingTime, OneSlowItemDoesNotMakeTheFigureJump) {
  RemainingTime t;
  t.update(0, 1000, true, 0.0);
  for (int i = 1; i <= 20; ++i) t.update(i, 1000, true, i * 1.0);  // 1 s per item
  const int steady = t.update(21, 1000, true, 21.0);
  EXPECT_NEAR(steady, 979, 2);
  // One item of 30 s: the raw estimate rises by half (29,30 s over 22 items); the shown
  // figure rises by far less.
  const int after = t.update(22, 1000, true, 51.0);
  const double raw = 978.0 / 22 * 51;
  EXPECT_LT(after, steady + (raw - steady) / 2);
  EXPECT_GT(after, steady - 40);
}

TEST(RemainingTime, ARestartedCountRestartsTheClock) {
  RemainingTime t;
  t.update(0, 10, true, 0.0);
  EXPECT_EQ(t.update(5, 10, true, 50.0), 50);  // 10 s per item
  // The next phase starts again at 0 (or goes back): the old rate is forgotten.
  EXPECT_EQ(t.update(0, 100, true, 100.0), 0);
  EXPECT_EQ(t.update(4, 100, true, 102.0), 48);  // 0.5 s per item now
  EXPECT_EQ(t.update(3, 100, true, 200.0), 0);   // went back: restarted at 3
  EXPECT_EQ(t.update(7, 100, true, 204.0), 93);
}

ProgressInfo record(int stage, int current, int total, const char* caption = "",
                    const char* detail = "") {
  ProgressInfo info{};
  info.stage = stage;
  info.stages = 4;
  info.current = current;
  info.total = total;
  info.caption = caption;
  info.detail = detail;
  info.detail2 = "";
  return info;
}

QString textOf(QWidget& w, const char* name) {
  return w.findChild<QLabel*>(name)->text();
}

TEST(ImportProgressDialog, ShowsStepsPercentagesDoneAndTimeLeft) {
  double now = 0;
  ImportProgressDialog dialog(nullptr);
  dialog.setClock([&now] { return now; });
  dialog.show();
  EXPECT_EQ(textOf(dialog, "ImportHeading"), "Zarvell is processing your tracks...");
  EXPECT_EQ(textOf(dialog, "StepLine2"), "Analyzing tracks: Extracting audio...");
  EXPECT_EQ(textOf(dialog, "RemainingText"), "Time remaining for step:");

  EXPECT_TRUE(dialog.onProgress(record(1, 0, 10, "Scanning meta data")));
  EXPECT_EQ(textOf(dialog, "StepLine1"), "Scanning meta data ...");
  EXPECT_TRUE(dialog.findChild<QLabel*>("CancelNote")->isVisible());
  EXPECT_EQ(textOf(dialog, "CancelNote"), "This step can be cancelled any time.");
  EXPECT_EQ(textOf(dialog, "ResumeNote"),
            "Already processed data will survive; processing will resume on restart.");
  now = 4;
  dialog.onProgress(record(1, 4, 10));
  EXPECT_EQ(dialog.findChild<QProgressBar*>()->value(), 40);
  EXPECT_EQ(textOf(dialog, "RemainingText"), "Time remaining for step: 0:00:06");
  dialog.onProgress(record(1, 10, 10));
  EXPECT_EQ(textOf(dialog, "StepLine1"), "Scanning... done.");

  // Step 2 over 3 hours: the hours form; the earlier step stays done, the notes go.
  now = 10;
  dialog.onProgress(record(2, 0, 3610, "Feature Extraction", "a.mp3"));
  now = 20;
  dialog.onProgress(record(2, 10, 3610, "Feature Extraction", "b.mp3"));
  EXPECT_EQ(textOf(dialog, "StepLine1"), "Scanning... done.");
  EXPECT_EQ(textOf(dialog, "StepLine2"), "Feature Extraction ...");
  EXPECT_EQ(textOf(dialog, "ProgressDetail"), "b.mp3");
  EXPECT_EQ(textOf(dialog, "RemainingText"), "Time remaining for step: 1:00:00");
  EXPECT_FALSE(dialog.findChild<QLabel*>("CancelNote")->isVisible());

  // Codes above 3 belong to the last step; a record without a total keeps the bar.
  dialog.onProgress(record(4, 0, 0, "Inserting Nodes..."));
  EXPECT_EQ(textOf(dialog, "StepLine3"), "Inserting Nodes... ...");
  EXPECT_EQ(textOf(dialog, "StepLine2"), "Analyzing tracks: Extracting audio... done.");
  EXPECT_EQ(textOf(dialog, "RemainingText"), "Time remaining for step:");
}

// A job that reports like the engine until it is told to stop, on the window's worker.
struct ReportingJob {
  ImportProgressDialog* dialog;
  std::atomic<int> reports{0};
  std::atomic<int> priority{-1};
  int operator()() {
    priority = QThread::currentThread()->priority();
    for (int i = 0; i < 100000; ++i) {
      ++reports;
      if (!dialog->onProgress(record(2, i % 50, 50, "Feature Extraction"))) return -1;
      QThread::msleep(1);
    }
    return 1;
  }
};

TEST(ImportProgressDialog, CancelAndEscapeStopTheJobAndTheWindowClosesWhenItReturns) {
  for (const bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Escape" : "Cancel button");
    ImportProgressDialog dialog(nullptr);
    ReportingJob job{&dialog};
    // Cancel once the job is under way (an idle-priority worker may start late on a busy
    // machine), checked every 10 ms.
    QTimer poll;
    bool sent = false;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
      if (sent || job.reports.load() < 2) return;
      sent = true;
      if (escape)
        QTest::keyClick(&dialog, Qt::Key_Escape);
      else
        dialog.findChild<QPushButton*>("CancelButton")->click();
      EXPECT_EQ(textOf(dialog, "ImportStatus"), "Please wait, aborting import...");
      EXPECT_TRUE(dialog.isVisible());  // stays until the job has returned
    });
    poll.start(10);
    const int result = dialog.run([&job] { return job(); });
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(dialog.cancelled());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(job.priority.load(), QThread::IdlePriority);
    EXPECT_GT(job.reports.load(), 1);
  }
}

TEST(ImportProgressDialog, HelpCallsItsHandlerAndReportShowsTheLog) {
  int helps = 0;
  ImportProgressDialog dialog(nullptr, [&helps] { ++helps; });
  dialog.show();
  dialog.findChild<QPushButton*>("HelpButton")->click();
  EXPECT_EQ(helps, 1);
  EXPECT_EQ(dialog.findChild<QPushButton*>("HelpButton")->text(), "&Help");
  EXPECT_EQ(dialog.findChild<QPushButton*>("CancelButton")->text(), "&Cancel");

  ImportReportDialog report(nullptr, "bad.mp3: cannot decode\r\n");
  EXPECT_EQ(report.windowTitle(), "Import Report");
  auto* text = report.findChild<QPlainTextEdit*>("ReportText");
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_TRUE(text->toPlainText().startsWith("bad.mp3: cannot decode"));
  report.show();
  report.findChild<QPushButton*>("ContinueButton")->click();
  EXPECT_EQ(report.result(), QDialog::Accepted);
}

TEST(BusyDialog, ShowsTheStepAndAbortStopsTheOperation) {
  BusyDialog dialog(nullptr, "Please wait, auto-generating suggested keytracks...");
  std::atomic<bool> sawStep{false};
  QTimer::singleShot(50, &dialog, [&] {
    sawStep = textOf(dialog, "BusyStep") == "Processing Step 3 of 3 - Creating links";
    dialog.findChild<QPushButton*>("AbortButton")->click();
    EXPECT_EQ(textOf(dialog, "BusyText"), "Aborting operation, please wait...");
  });
  const int result = dialog.run([&dialog] {
    for (int i = 0; i < 100000; ++i) {
      ProgressInfo info = record(3, i % 10, 10, "Creating links");
      info.stages = 3;
      if (!dialog.onProgress(info)) return -1;
      QThread::msleep(1);
    }
    return 1;
  });
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(sawStep.load());
  EXPECT_TRUE(dialog.aborted());
}

TEST(MediaDropFilter, AcceptsMediaDragsAndHandsOverTheDroppedPaths) {
  QTemporaryDir dir;
  const QString song = dir.filePath("a.flac"), text = dir.filePath("notes.txt");
  std::ofstream(song.toStdString()) << "x";
  std::ofstream(text.toStdString()) << "x";
  QWidget target;
  std::vector<std::vector<std::string>> drops;
  new MediaDropFilter(&target, [&drops](const std::vector<std::string>& p) { drops.push_back(p); });
  EXPECT_TRUE(target.acceptDrops());

  const auto mime = [](const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
  };
  const struct {
    const char* what;
    QList<QUrl> urls;
    bool accepted;
  } cases[] = {
      {"a song and a text", {QUrl::fromLocalFile(text), QUrl::fromLocalFile(song)}, true},
      {"a folder", {QUrl::fromLocalFile(dir.path())}, true},
      {"only a text file", {QUrl::fromLocalFile(text)}, false},
      {"a web address", {QUrl("https://example.org/a.mp3")}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<QMimeData> data(mime(c.urls));
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    }
    const size_t before = drops.size();
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    ASSERT_EQ(drops.size(), before + (c.accepted ? 1 : 0));
  }
  ASSERT_EQ(drops.size(), 2u);
  EXPECT_EQ(drops[0], (std::vector<std::string>{text.toStdString(), song.toStdString()}));
}

}  // namespace
}  // namespace zarvell::app
