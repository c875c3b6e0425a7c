// FolderDialog: picks a folder (the media folder to import, the target of a media copy).
// The user browses folders as in a file dialog (Qt's own dialog in directory mode, never the
// desktop's native one, so the history row can be added), and a "Folder &name:" combo box
// offers the folders chosen before, most recent first.
//
// The history lives in the application's QSettings (native format), group "FolderHistory":
// "Folder0000", "Folder0001"... (at most 50, most recent first) and "Folder" (the last
// choice). Folders that no longer exist are not offered and drop out at the next save.
// Folder paths on Linux are case-sensitive, so entries are compared exactly.
//
// Interface thread only. Nothing here throws except std::bad_alloc.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

class QComboBox;

namespace zarvell::app {

class MessageBoxes;

// Control identifiers (each control's objectName is its number).
inline constexpr int kFolderNameLabelId = 1001;
inline constexpr int kFolderHistoryComboId = 1002;
inline constexpr int kFolderOkButtonId = 1003;

class FolderDialog : public QFileDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxHistory = 50;

  // `messages` shows "The folder '%s' isn't accessible."; without one the dialog uses its
  // own (shown to the user, no test answerer). Not owned; must outlive the dialog.
  FolderDialog(QWidget* parent, const QString& startFolder = {},
               const QString& title = "Select Folder", MessageBoxes* messages = nullptr);
  ~FolderDialog() override;

  // Runs the dialog modally; QDialog::Accepted once a folder that exists and can be read
  // was chosen (the history is saved then), QDialog::Rejected on Cancel.
  int exec() override;

  // The chosen folder without a trailing "/" (empty unless accepted).
  QString folder() const { return folder_; }

  // The stored history as it would be offered: existing folders only, most recent first.
  static QStringList loadHistory();
  // Stores `history` (first 50) under the indexed keys, deletes stale indexed keys after
  // them (up to index 999, stopping at the first missing one), and `last` under "Folder".
  static void saveHistory(const QStringList& history, const QString& last);
  // `history` with `chosen` moved (or added) to the top, exact comparison, at most 50.
  static QStringList withChosen(QStringList history, const QString& chosen);

 public slots:
  void accept() override;

 private:
  void followFolder(const QString& path);

  QComboBox* combo_;
  MessageBoxes* messages_;
  MessageBoxes* ownMessages_ = nullptr;
  QString folder_;
};

}  // namespace zarvell::app
