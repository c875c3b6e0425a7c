// LoginWizard: the community log-in wizard. Three runs: a new account (welcome, user name,
// password, full name, finish), an existing account (name and password, finish) and the
// contact mode (one contact name, finish). Which of the first two is asked of the user when
// the wizard is made. Every server check goes through CommunityOps; a failed call asks to
// retry or to give up, without limit.
//
// Finish writes the user name and password into the settings (not in contact mode); Cancel
// or a given-up server call writes nothing. Interface thread only; the server calls run on
// it and are expected to return promptly. Nothing here throws except std::bad_alloc.
#pragma once

#include <QWizard>
#include <QWizardPage>
#include <string>

class QLabel;
class QLineEdit;

namespace zarvell {
struct AppConfig;
}

namespace zarvell::app {

class CommunityOps;
class MessageBoxes;

// The checks of the wizard's entries.
bool validUserName(const QString& name);      // at least 2 characters, no space
bool validPassword(const QString& password);  // at least 4 characters, no space
bool validFullName(const QString& name);      // not empty

class LoginWizard : public QWizard {
  Q_OBJECT

 public:
  // The generic page's modes.
  enum PageMode { kUserName = 0, kPassword = 1, kFullName = 2, kLogin = 3, kContact = 4 };

  LoginWizard(QWidget* parent, CommunityOps& ops, MessageBoxes& messages, AppConfig& config,
              bool contactMode);

  bool contactMode() const { return contactMode_; }
  bool newAccount() const { return newAccount_; }
  const std::string& userName() const { return userName_; }
  const std::string& password() const { return password_; }
  const std::string& fullName() const { return fullName_; }
  const std::string& contactName() const { return contactName_; }

  void done(int result) override;

 private:
  friend class LoginWizardGeneric;
  // Asks the server until `call` succeeds; false when the user gave up (the wizard is then
  // cancelled). `call` returns the server's status.
  template <typename Call>
  bool untilServerAnswers(Call call);
  bool acceptEntries(PageMode mode, const QString& first, const QString& second);

  CommunityOps& ops_;
  MessageBoxes& messages_;
  AppConfig& config_;
  bool contactMode_;
  bool newAccount_ = false;
  std::string userName_, password_, fullName_, contactName_;
};

// One entry page of the wizard: a prompt with an edit field (two in the log-in mode).
class LoginWizardGeneric : public QWizardPage {
  Q_OBJECT

 public:
  LoginWizardGeneric(LoginWizard& wizard, LoginWizard::PageMode mode);
  LoginWizard::PageMode mode() const { return mode_; }
  QLineEdit* firstEdit() const { return edit_; }
  QLineEdit* secondEdit() const { return edit2_; }

  void initializePage() override;
  void cleanupPage() override {}  // Back keeps what was typed
  bool isComplete() const override;
  bool validatePage() override;

 private:
  bool entriesPass() const;

  LoginWizard& wizard_;
  LoginWizard::PageMode mode_;
  QLabel* prompt_;
  QLineEdit* edit_;
  QLabel* prompt2_;
  QLineEdit* edit2_;
  bool passedOnEntry_ = false;
  bool edited_ = false;
};

}  // namespace zarvell::app
