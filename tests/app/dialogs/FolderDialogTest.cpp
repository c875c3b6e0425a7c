// The folder dialog on real folders, with the history in a scratch settings file.
#include "app/dialogs/FolderDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/dialogs/MessageBoxes.h"

namespace zarvell::app {
namespace {

class FolderDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root_.filePath("config"));
    QCoreApplication::setOrganizationName("ZarvellTest");
    QCoreApplication::setApplicationName("FolderDialogTest");
    QSettings().clear();
  }
  QString makeFolder(const QString& name) {
    QDir(root_.path()).mkpath(name);
    return root_.filePath(name);
  }
  static QString stored(const QString& key) {
    return QSettings().value("FolderHistory/" + key).toString();
  }
  static QComboBox* combo(FolderDialog& dialog) { return dialog.findChild<QComboBox*>("1002"); }
  // Types `text` into the history box and presses the dialog's OK button.
  static void choose(FolderDialog& dialog, const QString& text) {
    combo(dialog)->setEditText(text);
    dialog.findChild<QPushButton*>("1003")->click();
  }

  QTemporaryDir root_;
  MessageBoxes messages_;
};

TEST_F(FolderDialogTest, OffersExistingFoldersAndSelectsTheLastChoice) {
  const QString a = makeFolder("a"), b = makeFolder("b");
  FolderDialog::saveHistory({a, root_.filePath("deleted"), b}, b);
  FolderDialog dialog(nullptr, {}, "Select Media Folder", &messages_);
  EXPECT_EQ(dialog.windowTitle(), "Select Media Folder");
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
  QComboBox* box = combo(dialog);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(box->count(), 2);  // the deleted folder is not offered
  EXPECT_EQ(box->itemText(0), a);
  EXPECT_EQ(box->itemText(1), b);
  EXPECT_EQ(box->currentText(), b);
}

TEST_F(FolderDialogTest, ChoosingMovesTheFolderToTopAndDropsDeletedEntries) {
  const QString a = makeFolder("a"), b = makeFolder("b"), c = makeFolder("c");
  const QString gone = makeFolder("gone");
  FolderDialog::saveHistory({a, gone, b, c}, a);
  QDir(gone).removeRecursively();
  FolderDialog dialog(nullptr, {}, "Select Folder", &messages_);
  dialog.show();
  choose(dialog, c + "/");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.folder(), c);
  EXPECT_EQ(stored("Folder0000"), c);
  EXPECT_EQ(stored("Folder0001"), a);
  EXPECT_EQ(stored("Folder0002"), b);
  EXPECT_FALSE(QSettings().contains("FolderHistory/Folder0003"));  // stale key deleted
  EXPECT_EQ(stored("Folder"), c);
  EXPECT_TRUE(messages_.history().empty());
}

TEST_F(FolderDialogTest, HistoryComparesExactlyAndKeepsFifty) {
  QStringList history;
  for (int i = 0; i < 50; ++i) history << QString("/music/%1").arg(i);
  QStringList top = FolderDialog::withChosen(history, "/music/7");
  EXPECT_EQ(top.size(), 50);
  EXPECT_EQ(top.front(), "/music/7");
  EXPECT_EQ(top.count("/music/7"), 1);
  top = FolderDialog::withChosen(history, "/Music/7");  // another folder on Linux
  EXPECT_EQ(top.size(), 50);
  EXPECT_EQ(top.front(), "/Music/7");
  EXPECT_TRUE(top.contains("/music/7"));
  EXPECT_FALSE(top.contains("/music/49"));  // the oldest falls off

  // Stored: 50 indexed keys at most, and leftovers of a longer old list are removed.
  QSettings settings;
  for (int i = 0; i < 60; ++i)
    settings.setValue(QString("FolderHistory/Folder%1").arg(i, 4, 10, QChar('0')), "/x");
  settings.sync();
  FolderDialog::saveHistory(top, top.front());
  EXPECT_EQ(stored("Folder0049"), "/music/48");
  EXPECT_FALSE(QSettings().contains("FolderHistory/Folder0050"));
  EXPECT_FALSE(QSettings().contains("FolderHistory/Folder0059"));
}

TEST_F(FolderDialogTest, InaccessibleFolderIsReportedAndTheDialogStaysOpen) {
  const QString locked = makeFolder("locked");
  QFile::setPermissions(locked, QFileDevice::WriteOwner);
  struct Case {
    QString typed, shown;
  } cases[] = {{root_.filePath("missing"), root_.filePath("missing")}, {locked, locked}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    if (c.typed == locked && QFileInfo(locked).isReadable()) continue;  // running as root
    messages_.setAnswerer([](const MessageRequest&) { return QMessageBox::Ok; });
    FolderDialog dialog(nullptr, {}, "Select Folder", &messages_);
    dialog.show();
    const size_t before = messages_.history().size();
    choose(dialog, c.typed);
    ASSERT_EQ(messages_.history().size(), before + 1);
    EXPECT_EQ(messages_.history().back().text, "The folder '" + c.shown + "' isn't accessible.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.folder().isEmpty());
    EXPECT_FALSE(QSettings().contains("FolderHistory/Folder"));
  }
  QFile::setPermissions(locked,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FolderDialogTest, EditFieldFollowsTheBrowsedFolder) {
  const QString start = makeFolder("start");
  const QString sub = makeFolder("start/sub");
  FolderDialog dialog(nullptr, start, "Select Folder", &messages_);
  dialog.show();
  dialog.setDirectory(sub);
  emit dialog.directoryEntered(sub);
  EXPECT_EQ(combo(dialog)->currentText(), sub + "/");
  dialog.findChild<QPushButton*>("1003")->click();
  EXPECT_EQ(dialog.folder(), sub);
}

}  // namespace
}  // namespace zarvell::app
