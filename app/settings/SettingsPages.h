// The pages of the preferences sheet: General, Audio Player and (debug mode) Core Advanced.
// Controls carry their identifiers in their object names ("id1071"), which the tests use.
// Interface thread. Nothing here throws except std::bad_alloc.
#pragma once

#include <string>
#include <vector>

#include "SettingsPage.h"
#include "app/audioplayer/AudioPlayer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace zarvell::app {

// "30 Minutes" ... "1 Month" for the inhibit indexes 0..9 ("" outside).
QString inhibitIntervalName(int index);

class GeneralPage : public SettingsPage {
  Q_OBJECT
 public:
  explicit GeneralPage(AppCore& core);

 protected:
  void fill() override;
  bool apply() override;

 private:
  QCheckBox* checkUpdates_;
  QCheckBox* clearQueue_;
  QCheckBox* toolTips_;
  QSlider* randomness_;
  QSlider* songInhibit_;
  QSlider* otherInhibit_;
  QLabel* songInhibitName_;
  QLabel* otherInhibitName_;
};

class PlayerPage : public SettingsPage {
  Q_OBJECT
 public:
  // pluginFolder: where the player plug-ins are probed ("audioplugins/" of the program).
  PlayerPage(AppCore& core, std::string pluginFolder);

 protected:
  void fill() override;
  bool apply() override;

 private:
  std::string folder_;
  QComboBox* players_;
  std::vector<std::string> files_;  // the plug-in file name of each entry
};

class CoreAdvancedPage : public SettingsPage {
  Q_OBJECT
 public:
  explicit CoreAdvancedPage(AppCore& core);

 protected:
  void fill() override;
  bool apply() override;

 private:
  QCheckBox* freezeLinks_;
  QCheckBox* propagate_;
  QLineEdit* boost_;
  QLineEdit* bookmarkBoost_;
  QLineEdit* accuracy_;
  QLineEdit* port_;
};

}  // namespace zarvell::app
