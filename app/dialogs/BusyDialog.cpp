#include "BusyDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "ModalWorker.h"

namespace zarvell::app {

BusyDialog::BusyDialog(QWidget* parent, const QString& text)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      label_(new QLabel(text, this)),
      step_(new QLabel(this)),
      abort_(new QPushButton("&Abort", this)) {
  setObjectName("BusyDialog");
  setWindowTitle("Zarvell");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  label_->setObjectName("BusyText");
  layout->addWidget(step_);
  step_->setObjectName("BusyStep");
  layout->addWidget(abort_, 0, Qt::AlignRight);
  abort_->setObjectName("AbortButton");
  abort_->setAutoDefault(false);
  connect(abort_, &QPushButton::clicked, this, &BusyDialog::abort);
}

void BusyDialog::abort() {
  aborted_.store(true);
  label_->setText("Aborting operation, please wait...");
  abort_->setEnabled(false);
}

int BusyDialog::run(const std::function<int()>& job) {
  return runWhileModal(*this, job, QThread::InheritPriority, running_);
}

bool BusyDialog::onProgress(const ProgressInfo& info) {
  if (aborted_.load()) return false;
  if (info.total > 0) {
    const int stage = (info.stage < 0 || info.stage > 3) ? 3 : info.stage;
    const QString line = QString("Processing Step %1 of %2 - %3")
                             .arg(stage)
                             .arg(info.stages)
                             .arg(QString::fromUtf8(info.caption ? info.caption : ""));
    if (QThread::currentThread() == thread())
      step_->setText(line);
    else
      QMetaObject::invokeMethod(
          this, [this, &line] { step_->setText(line); }, Qt::BlockingQueuedConnection);
  }
  return !aborted_.load();
}

void BusyDialog::reject() {
  if (!running_) QDialog::reject();
}

}  // namespace zarvell::app
