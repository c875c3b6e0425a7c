#include "SettingsDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "SettingsPages.h"
#include "app/appcore/AppCore.h"
#include "zarvell/paths.h"

namespace zarvell::app {

SettingsDialog::SettingsDialog(AppCore& core, QWidget* parent, const std::string& pluginFolder,
                               const std::vector<SettingsPageFactory>& extraPages)
    : QDialog(parent), core_(core) {
  setWindowTitle("Zarvell Preferences");
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(16, 16));
  tree_->setMaximumWidth(180);
  stack_ = new QStackedWidget(this);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  auto* body = new QHBoxLayout;
  body->addWidget(tree_);
  body->addWidget(stack_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(buttons);

  addPage(std::make_unique<GeneralPage>(core));
  addPage(std::make_unique<PlayerPage>(core, pluginFolder));
  for (const SettingsPageFactory& make : extraPages)
    if (auto page = make(core)) addPage(std::move(page));
  if (core.debugMode()) addPage(std::make_unique<CoreAdvancedPage>(core));

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) showPage(tree_->indexOfTopLevelItem(item));
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { applyAll(); });
  tree_->setCurrentItem(tree_->topLevelItem(0));
}

void SettingsDialog::addPage(std::unique_ptr<SettingsPage> page) {
  auto* item = new QTreeWidgetItem(tree_, QStringList{page->treeLabel()});
  // The skin's bitmap when one is installed, else the tree stays without icons.
  const QString icon = QString::fromStdString(programFolder() + "/skins/default/icon_sidebar.bmp");
  if (QFile::exists(icon)) item->setIcon(0, QIcon(icon));
  pages_.push_back(page.get());
  stack_->addWidget(page.release());
}

SettingsPage* SettingsDialog::pageByLabel(const QString& treeLabel) const {
  for (SettingsPage* page : pages_)
    if (page->treeLabel() == treeLabel) return page;
  return nullptr;
}

void SettingsDialog::showPage(int index) {
  if (index < 0 || index >= pageCount()) return;
  pages_[index]->activate();
  stack_->setCurrentIndex(index);
  if (tree_->currentItem() != tree_->topLevelItem(index))
    tree_->setCurrentItem(tree_->topLevelItem(index));
}

bool SettingsDialog::applyAll() {
  for (int i = 0; i < pageCount(); ++i) {
    if (pages_[i]->applyPage()) continue;
    showPage(i);
    core_.messages().show(this,
                          {"Zarvell Preferences", "Please enter a number in the highlighted field.",
                           QMessageBox::Warning, QMessageBox::Ok});
    return false;
  }
  return true;
}

void SettingsDialog::accept() {
  if (applyAll()) QDialog::accept();
}

}  // namespace zarvell::app
