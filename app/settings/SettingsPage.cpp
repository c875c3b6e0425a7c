#include "SettingsPage.h"

#include <utility>

#include "app/appcore/AppCore.h"

namespace zarvell::app {

SettingsPage::SettingsPage(AppCore& core, QString treeLabel, QString title)
    : core_(core), treeLabel_(std::move(treeLabel)), title_(std::move(title)) {}

void SettingsPage::activate() {
  if (modified_) return;  // keep the user's edits while moving between pages
  fill();
  filled_ = true;
  modified_ = false;  // filling moves the controls; that is no edit
}

bool SettingsPage::applyPage() {
  if (!filled_ || !modified_) return true;
  if (!apply()) return false;
  modified_ = false;
  core_.applySettings();
  return true;
}

}  // namespace zarvell::app
