#include "MessageBoxes.h"

namespace zarvell::app {

QMessageBox::StandardButton MessageBoxes::show(QWidget* parent, const MessageRequest& request) {
  history_.push_back(request);
  if (answerer_) return answerer_(request);
  QMessageBox box(request.icon, request.caption, request.text, request.buttons, parent);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace zarvell::app
