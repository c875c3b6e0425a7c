// MessageBoxes: every message box of the player goes through one object, so that what the
// user is asked and told is decided in one place and tests can answer without a modal loop.
// AppCore owns the program's one instance (AppCore::messages()); windows get it passed in.
//
// Interface thread only. Nothing here throws except std::bad_alloc.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace zarvell::app {

struct MessageRequest {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

class MessageBoxes {
 public:
  // Answers a request instead of the user (tests); the request is not shown.
  using Answerer = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

  // Shows the box modally over `parent` (or answers through the answerer) and returns the
  // button chosen; Escape or closing the box gives the escape button Qt picks.
  QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request);

  void setAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }
  // Every request made so far, shown or answered, oldest first (for diagnostics and tests).
  const std::vector<MessageRequest>& history() const { return history_; }

 private:
  Answerer answerer_;
  std::vector<MessageRequest> history_;
};

}  // namespace zarvell::app
