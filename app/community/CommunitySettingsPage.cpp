#include "CommunitySettingsPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "CommunityOps.h"
#include "app/appcore/AppConfig.h"
#include "app/dialogs/MessageBoxes.h"

namespace zarvell::app {

CommunitySettingsPage::CommunitySettingsPage(QWidget* parent, AppConfig& config, CommunityOps& ops,
                                             MessageBoxes& messages)
    : QWidget(parent), config_(config), ops_(ops), messages_(messages) {
  setObjectName("CommunitySettingsPage");
  setWindowTitle("Community");
  autoLogin_ = new QCheckBox("Automatically log-in to the server on Zarvell launch", this);
  autoLogin_->setObjectName("autoLogin");

  auto* account = new QGroupBox("Account Settings", this);
  userName_ = new QLineEdit(account);
  userName_->setObjectName("userName");
  password_ = new QLineEdit(account);
  password_->setObjectName("password");
  password_->setEchoMode(QLineEdit::Password);
  auto* form = new QFormLayout(account);
  form->addRow("Username", userName_);
  form->addRow("Password", password_);

  auto* sharing = new QGroupBox("Network Sharing", this);
  shareAll_ = new QRadioButton("Share with everyone (preferred)", sharing);
  shareAllowed_ = new QRadioButton("Share only with people I allow", sharing);
  shareAll_->setChecked(true);
  shareAll_->setEnabled(false);
  shareAllowed_->setEnabled(false);
  auto* choices = new QVBoxLayout(sharing);
  choices->addWidget(shareAll_);
  choices->addWidget(shareAllowed_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(autoLogin_);
  layout->addWidget(account);
  layout->addWidget(sharing);
  layout->addStretch();
}

void CommunitySettingsPage::fill() {
  autoLogin_->setChecked(config_.autoLogin);
  userName_->setText(QString::fromStdString(config_.userName));
  password_->setText(QString::fromStdString(config_.password));
}

bool CommunitySettingsPage::apply() {
  config_.autoLogin = autoLogin_->isChecked();
  const std::string name = userName_->text().toStdString();
  const std::string password = password_->text().toStdString();
  if (name == config_.userName && password == config_.password) return true;
  while (ops_.loginUser(name, password) < 0) {
    const auto answer = messages_.show(
        this, {"Unable to login to Zarvell server",
               "Communication with server failed.\n\nPlease click OK to try again or CANCEL to "
               "revert your account settings.",
               QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel});
    if (answer != QMessageBox::Ok) {
      fill();  // the fields show the stored account again
      return false;
    }
  }
  config_.userName = name;
  config_.password = password;
  return true;
}

}  // namespace zarvell::app
