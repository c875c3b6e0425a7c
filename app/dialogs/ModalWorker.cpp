#include "ModalWorker.h"

#include <memory>

namespace zarvell::app {

int runWhileModal(QDialog& dialog, const std::function<int()>& job, QThread::Priority priority,
                  bool& running) {
  int result = 0;
  std::unique_ptr<QThread> worker(QThread::create([&] { result = job(); }));
  QObject::connect(
      worker.get(), &QThread::finished, &dialog,
      [&dialog, &running] {
        running = false;
        dialog.accept();
      },
      Qt::QueuedConnection);
  running = true;
  worker->start(priority);
  dialog.exec();
  worker->wait();  // finished was delivered, so the thread has ended or is ending now
  return result;
}

}  // namespace zarvell::app
