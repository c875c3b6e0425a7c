// CommunitySettingsPage: the "Community" page of the settings (web mode only): automatic
// log-in at start-up, the account's user name and password, and the network sharing choice
// (shown, not yet offered).
//
// fill() shows the stored values. apply() (OK of the settings) stores the check box and, when
// the account changed, logs the new account in first: a failure asks to retry or to keep
// the stored account (the fields then show it again). The stored name and password change
// only after a successful log-in. Saving the settings file is the caller's. Interface
// thread only; the server call runs on it. Nothing here throws except std::bad_alloc.
#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zarvell {
struct AppConfig;
}

namespace zarvell::app {

class CommunityOps;
class MessageBoxes;

class CommunitySettingsPage : public QWidget {
  Q_OBJECT

 public:
  CommunitySettingsPage(QWidget* parent, AppConfig& config, CommunityOps& ops,
                        MessageBoxes& messages);

  void fill();
  // Returns true when the account fields were taken (unchanged, or logged in).
  bool apply();

  QCheckBox* autoLoginBox() const { return autoLogin_; }
  QLineEdit* userNameEdit() const { return userName_; }
  QLineEdit* passwordEdit() const { return password_; }

 private:
  AppConfig& config_;
  CommunityOps& ops_;
  MessageBoxes& messages_;
  QCheckBox* autoLogin_;
  QLineEdit* userName_;
  QLineEdit* password_;
  QRadioButton* shareAll_;
  QRadioButton* shareAllowed_;
};

}  // namespace zarvell::app
