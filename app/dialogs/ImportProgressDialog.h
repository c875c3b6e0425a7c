// ImportProgressDialog: the import window. It runs one import on a worker thread at idle
// priority, so the interface stays responsive while songs are analysed, and shows the
// engine's progress: the three steps (scanning, analysing, building the network) with
// percentages and "done.", the time left for the running step, and Cancel and Help.
//
// Step lines: the folder scan (code 0) and the engine's tag or library scan (code 1) are
// step 1, feature extraction (code 2) step 2, building nodes and links (code 3) step 3.
//
// Threads: construction, run() and the widgets on the interface thread; onProgress on the
// worker, which copies the record and hands the copy to the interface thread with a
// blocking queued call, so the worker waits until the window has updated. Cancel sets a
// flag the worker reads: the next progress record answers false and the engine stops; the
// window stays ("Please wait, aborting import...") until the import has returned.
// Nothing here throws except std::bad_alloc.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <atomic>
#include <functional>

#include "RemainingTime.h"
#include "app/appcore/ProgressReceiver.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zarvell::app {

// A progress record copied out of the sender's storage (its texts live only for the call).
struct ProgressCopy {
  int step = 0;  // 0..3
  int steps = 0;
  int current = 0;
  int total = 0;
  bool meaningful = false;
  QString caption, detail, detail2;

  static ProgressCopy of(const ProgressInfo& info);
};

class ImportProgressDialog : public QDialog, public ProgressReceiver {
  Q_OBJECT

 public:
  inline static const QString kStepNames[3] = {
      "Scanning...", "Analyzing tracks: Extracting audio...", "Building network..."};

  // `openHelp` is called for Help (button or Alt+H); may be empty.
  ImportProgressDialog(QWidget* parent, std::function<void()> openHelp = {});

  // Runs `job` on a worker thread at idle priority while the window is shown modally;
  // returns the job's result once it has returned (the window is closed then). `job` must
  // not touch widgets.
  int run(const std::function<int()>& job);

  // Worker thread (or the interface thread itself): false once the user has cancelled.
  bool onProgress(const ProgressInfo& info) override;

  bool cancelled() const { return cancelled_.load(); }
  // The clock of the time estimate, in seconds (tests set their own); interface thread,
  // before run().
  void setClock(std::function<double()> clock) { clock_ = std::move(clock); }

  // The line index (0..2) that shows progress code `step`.
  static int lineOf(int step);

 public slots:
  void reject() override;  // Cancel, Escape: cancels; the window closes when the job returns

 private:
  void display(const ProgressCopy& record, int remaining);  // interface thread

  std::function<void()> openHelp_;
  std::function<double()> clock_;
  RemainingTime remaining_;  // worker thread only
  std::atomic<bool> cancelled_{false};
  bool running_ = false;
  QLabel* heading_;
  std::array<QLabel*, 3> lines_{};
  QLabel* cancelNote_;
  QLabel* resumeNote_;
  QLabel* detail_;
  QLabel* remainingLabel_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* cancelButton_;
  QPushButton* helpButton_;
};

// The report of media that could not be processed: the engine's log text, read-only.
class ImportReportDialog : public QDialog {
  Q_OBJECT

 public:
  ImportReportDialog(QWidget* parent, const QString& log);
};

}  // namespace zarvell::app
