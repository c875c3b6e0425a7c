// BusyDialog: the busy window. It shows one line ("Please wait, loading network...") while
// a long engine operation runs on a worker thread, keeping the interface alive, and
// receives the operation's progress.
//
// Interface thread, except onProgress (the worker thread). Nothing here throws except
// std::bad_alloc.
#pragma once

#include <QDialog>
#include <functional>

#include "app/appcore/ProgressReceiver.h"

class QLabel;

namespace zarvell::app {

class BusyDialog : public QDialog, public ProgressReceiver {
  Q_OBJECT

 public:
  BusyDialog(QWidget* parent, const QString& text);

  // Runs `job` on a worker thread while the window is shown modally; returns its result once
  // it has finished. `job` must not touch widgets.
  int run(const std::function<int()>& job);

  // Load and save report no steps; the window just goes on.
  bool onProgress(const ProgressInfo& info) override;

 protected:
  void reject() override;  // Escape does not close the window while the job runs

 private:
  QLabel* label_;
  bool running_ = false;
};

}  // namespace zarvell::app
