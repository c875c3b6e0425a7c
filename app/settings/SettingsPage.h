// SettingsPage: one page of the preferences sheet. A page fills its controls from the
// settings record when it is shown and writes them back on apply; any change of a control
// marks it modified. Interface thread. Nothing here throws except std::bad_alloc.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace zarvell::app {

class AppCore;

class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  SettingsPage(AppCore& core, QString treeLabel, QString title);

  const QString& treeLabel() const { return treeLabel_; }  // its entry in the page tree
  const QString& title() const { return title_; }          // the heading above the page
  bool isFilled() const { return filled_; }
  bool isModified() const { return modified_; }

  // Fills the controls from the record unless edits are pending (called on activation).
  void activate();
  // Writes the controls into the record and applies the settings; false (nothing written)
  // when a control holds an invalid value, which the page then shows.
  bool applyPage();

 protected:
  virtual void fill() = 0;
  virtual bool apply() = 0;  // false: an invalid value, nothing written
  void markModified() { modified_ = true; }
  AppCore& core() { return core_; }

 private:
  AppCore& core_;
  QString treeLabel_;
  QString title_;
  bool filled_ = false;
  bool modified_ = false;
};

// Makes one page; the sheet adds pages in the order of its factory list.
using SettingsPageFactory = std::function<std::unique_ptr<SettingsPage>(AppCore&)>;

}  // namespace zarvell::app
