// SettingsDialog: the preferences sheet "Zarvell Preferences": a tree of pages beside the
// page shown, with OK, Cancel and Apply. Pages fill themselves when first shown; Apply and OK
// write every modified page into the settings and apply them; Cancel drops what was not
// applied. A page holding an invalid value keeps the sheet open and says which.
// Interface thread. Nothing here throws except std::bad_alloc.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "SettingsPage.h"

class QStackedWidget;
class QTreeWidget;

namespace zarvell::app {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The pages: General, Audio Player (probing `pluginFolder`), then `extraPages` in order,
  // then Core Advanced in debug mode.
  SettingsDialog(AppCore& core, QWidget* parent, const std::string& pluginFolder,
                 const std::vector<SettingsPageFactory>& extraPages = {});

  int pageCount() const { return static_cast<int>(pages_.size()); }
  SettingsPage* page(int index) const { return pages_.at(index); }
  SettingsPage* pageByLabel(const QString& treeLabel) const;
  void showPage(int index);  // as a click in the tree
  bool applyAll();           // the Apply button; false when a page refused

  void accept() override;  // OK: apply, then close

 private:
  void addPage(std::unique_ptr<SettingsPage> page);

  AppCore& core_;
  QTreeWidget* tree_;
  QStackedWidget* stack_;
  std::vector<SettingsPage*> pages_;  // owned by the stack
};

}  // namespace zarvell::app
