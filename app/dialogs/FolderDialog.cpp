#include "FolderDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include "MessageBoxes.h"

namespace zarvell::app {

namespace {

const char* const kGroup = "FolderHistory";
const char* const kPrefix = "Folder";
constexpr int kLastIndexedKey = 999;

QString indexedKey(int index) {
  return QString("%1%2").arg(kPrefix).arg(index, 4, 10, QChar('0'));
}

// A folder path as stored and compared: cleaned, without a trailing "/" (except "/").
QString normalFolder(const QString& text) {
  QString path = text.trimmed();
  if (path.isEmpty()) return path;
  if (path.startsWith("~/")) path = QDir::homePath() + path.mid(1);
  return QDir::cleanPath(path);
}

// The text shown for a folder in the edit field: the path with a trailing "/".
QString shownFolder(const QString& folder) {
  return folder.endsWith('/') ? folder : folder + '/';
}

bool accessibleFolder(const QString& folder) {
  const QFileInfo info(folder);
  return !folder.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace

FolderDialog::FolderDialog(QWidget* parent, const QString& startFolder, const QString& title,
                           MessageBoxes* messages)
    : QFileDialog(parent), messages_(messages) {
  if (!messages_) messages_ = ownMessages_ = new MessageBoxes;
  setWindowTitle(title);
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::ShowDirsOnly, true);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  if (!startFolder.isEmpty()) setDirectory(startFolder);

  auto* label = new QLabel("Folder &name:", this);
  label->setObjectName(QString::number(kFolderNameLabelId));
  combo_ = new QComboBox(this);
  combo_->setObjectName(QString::number(kFolderHistoryComboId));
  combo_->setEditable(true);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  combo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  label->setBuddy(combo_);
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName(QString::number(kFolderOkButtonId));
  connect(ok, &QPushButton::clicked, this, &FolderDialog::accept);

  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(combo_, row, 1, 1, grid->columnCount() > 2 ? grid->columnCount() - 2 : 1);
    grid->addWidget(ok, row, grid->columnCount() - 1);
  }

  const QStringList history = loadHistory();
  combo_->addItems(history);
  QSettings settings;
  const QString last = settings.value(QString(kGroup) + "/" + kPrefix).toString();
  const int at = last.isEmpty() ? -1 : history.indexOf(last);
  if (at >= 0)
    combo_->setCurrentIndex(at);
  else
    combo_->setEditText(last);

  connect(this, &QFileDialog::directoryEntered, this, &FolderDialog::followFolder);
  connect(this, &QFileDialog::currentChanged, this, &FolderDialog::followFolder);
}

FolderDialog::~FolderDialog() {
  delete ownMessages_;
}

int FolderDialog::exec() {
  folder_.clear();
  return QFileDialog::exec();
}

void FolderDialog::followFolder(const QString& path) {
  if (QFileInfo(path).isDir()) combo_->setEditText(shownFolder(normalFolder(path)));
}

void FolderDialog::accept() {
  QString chosen = normalFolder(combo_->currentText());
  if (chosen.isEmpty()) chosen = normalFolder(selectedFiles().value(0));
  if (!accessibleFolder(chosen)) {
    messages_->show(this, {"Zarvell", QString("The folder '%1' isn't accessible.").arg(chosen),
                           QMessageBox::Warning, QMessageBox::Ok});
    return;  // the dialog stays open
  }
  folder_ = chosen;
  saveHistory(withChosen(loadHistory(), chosen), chosen);
  QDialog::accept();
}

QStringList FolderDialog::loadHistory() {
  QSettings settings;
  settings.beginGroup(kGroup);
  QStringList history;
  for (int index = 0; index < kMaxHistory; ++index) {
    const QString folder = settings.value(indexedKey(index)).toString();
    if (folder.isEmpty()) break;
    if (QFileInfo(folder).isDir() && !history.contains(folder)) history << folder;
  }
  return history;
}

void FolderDialog::saveHistory(const QStringList& history, const QString& last) {
  QSettings settings;
  settings.beginGroup(kGroup);
  const int count = std::min<int>(history.size(), kMaxHistory);
  for (int index = 0; index < count; ++index) settings.setValue(indexedKey(index), history[index]);
  for (int index = count; index <= kLastIndexedKey; ++index) {
    if (!settings.contains(indexedKey(index))) break;
    settings.remove(indexedKey(index));
  }
  settings.setValue(kPrefix, last);
  settings.sync();
}

QStringList FolderDialog::withChosen(QStringList history, const QString& chosen) {
  history.removeAll(chosen);
  history.prepend(chosen);
  while (history.size() > kMaxHistory) history.removeLast();
  return history;
}

}  // namespace zarvell::app
