// BusyDialog: the busy window. It shows one line ("Please wait, loading network...") while
// a long engine operation runs on a worker thread, keeping the interface alive, and
// receives the operation's progress: a record with a total shows "Processing Step %d of
// %d - %s". "&Abort" shows "Aborting operation, please wait..." and makes every later
// progress record answer false, so the engine stops at its next report; the window stays
// until the operation has returned.
//
// Interface thread, except onProgress (the worker thread, which crosses to the interface
// thread with a blocking queued call). Nothing here throws except std::bad_alloc.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>

#include "app/appcore/ProgressReceiver.h"

class QLabel;
class QPushButton;

namespace zarvell::app {

class BusyDialog : public QDialog, public ProgressReceiver {
  Q_OBJECT

 public:
  BusyDialog(QWidget* parent, const QString& text);

  // Runs `job` on a worker thread while the window is shown modally; returns its result once
  // it has finished. `job` must not touch widgets.
  int run(const std::function<int()>& job);

  bool onProgress(const ProgressInfo& info) override;
  bool aborted() const { return aborted_.load(); }

 protected:
  void reject() override;  // Escape does not close the window while the job runs

 private:
  void abort();

  QLabel* label_;
  QLabel* step_;
  QPushButton* abort_;
  bool running_ = false;
  std::atomic<bool> aborted_{false};
};

}  // namespace zarvell::app
