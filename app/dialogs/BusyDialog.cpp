#include "BusyDialog.h"

#include <QLabel>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

namespace zarvell::app {

BusyDialog::BusyDialog(QWidget* parent, const QString& text)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      label_(new QLabel(text, this)) {
  setObjectName("BusyDialog");
  setWindowTitle("Zarvell");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  label_->setObjectName("BusyText");
}

int BusyDialog::run(const std::function<int()>& job) {
  int result = 0;
  std::unique_ptr<QThread> worker(QThread::create([&] { result = job(); }));
  connect(worker.get(), &QThread::finished, this, [this] {
    running_ = false;
    accept();
  }, Qt::QueuedConnection);
  running_ = true;
  worker->start();
  exec();
  worker->wait();  // finished was delivered, so the thread has ended or is ending now
  return result;
}

bool BusyDialog::onProgress(const ProgressInfo&) { return true; }

void BusyDialog::reject() {
  if (!running_) QDialog::reject();
}

}  // namespace zarvell::app
