#include "LoginWizard.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "CommunityOps.h"
#include "app/appcore/AppConfig.h"
#include "app/dialogs/MessageBoxes.h"

namespace zarvell::app {
namespace {

constexpr const char* kGenericTitle = "Please enter the required information:";
constexpr const char* kBadName = "Spaces were found in the username - please correct first!";
constexpr const char* kBadPassword =
    "Invalid characters were found in the password - please correct first!";

struct ModeTexts {
  const char* sheetTitle;
  const char* prompt;
  int maxLength;
  bool masked;
};

ModeTexts textsOf(LoginWizard::PageMode mode) {
  switch (mode) {
    case LoginWizard::kUserName:
      return {"User Name Input",
              "First, please choose a unique user name (minimum 2 characters):", 16, false};
    case LoginWizard::kPassword:
      return {"Password Input", "Now, please choose a secure password (4-16 characters):", 16,
              true};
    case LoginWizard::kFullName:
      return {"Full Name Input", "And finally please type in your full name:", 32, false};
    case LoginWizard::kLogin:
      return {"Please enter your login name and password", "Please enter your name:", 16, false};
    case LoginWizard::kContact:
      break;
  }
  return {"Add Contact", "Please enter your contacts name:", 16, false};
}

QWizardPage* textPage(const QString& title, const QString& text, const QString& name) {
  auto* page = new QWizardPage;
  page->setObjectName(name);
  page->setTitle(title);
  auto* label = new QLabel(text, page);
  label->setWordWrap(true);
  (new QVBoxLayout(page))->addWidget(label);
  return page;
}

}  // namespace

bool validUserName(const QString& name) {
  return name.size() >= 2 && !name.contains(' ');
}
bool validPassword(const QString& password) {
  return password.size() >= 4 && !password.contains(' ');
}
bool validFullName(const QString& name) {
  return !name.isEmpty();
}

LoginWizard::LoginWizard(QWidget* parent, CommunityOps& ops, MessageBoxes& messages,
                         AppConfig& config, bool contactMode)
    : QWizard(parent), ops_(ops), messages_(messages), config_(config), contactMode_(contactMode) {
  setObjectName("LoginWizard");
  setOption(QWizard::NoBackButtonOnStartPage);
  setOption(QWizard::NoBackButtonOnLastPage);
  if (contactMode_) {
    addPage(new LoginWizardGeneric(*this, kContact));
  } else {
    const auto answer =
        messages_.show(parent, {"New Account?", "Would you like to create a new Zarvell account?",
                                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No});
    newAccount_ = answer != QMessageBox::No;
    if (newAccount_) {
      addPage(textPage("Welcome to the Zarvell Login Wizard...",
                       "Hello and welcome to the Zarvell New User Wizard.  This tool will help "
                       "you configure Zarvell to best take advantage of our web community...",
                       "LoginWizardWelcome"));
      addPage(new LoginWizardGeneric(*this, kUserName));
      addPage(new LoginWizardGeneric(*this, kPassword));
      addPage(new LoginWizardGeneric(*this, kFullName));
    } else {
      addPage(new LoginWizardGeneric(*this, kLogin));
    }
  }
  addPage(textPage("Your account has been successfully activated",
                   "Zarvell has now finished setting up your user account.  Please click "
                   "Finish to close the wizard.",
                   "LoginWizardFinish"));
}

void LoginWizard::done(int result) {
  if (result == QDialog::Accepted && !contactMode_) {
    config_.userName = userName_;
    config_.password = password_;
  }
  QWizard::done(result);
}

template <typename Call>
bool LoginWizard::untilServerAnswers(Call call) {
  while (call() < 0) {
    const auto answer = messages_.show(
        this, {"Server Connection failed.",
               "Unable to communicate with server.\n\nPlease click OK to try again or CANCEL "
               "to abort the wizard.",
               QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel});
    if (answer != QMessageBox::Ok) {
      reject();
      return false;
    }
  }
  return true;
}

// Next on a generic page: true lets the wizard go on.
bool LoginWizard::acceptEntries(PageMode mode, const QString& first, const QString& second) {
  const std::string text = first.toStdString();
  switch (mode) {
    case kUserName:
    case kContact: {
      if (!validUserName(first)) {
        messages_.show(this, {"Invalid login", kBadName});
        return false;
      }
      bool exists = false;
      if (!untilServerAnswers([&] { return ops_.checkUserExists(text, exists); })) return false;
      if (mode == kUserName && exists) {
        messages_.show(this,
                       {"User exists.", "The user name already exists.  Please try something else.",
                        QMessageBox::Warning});
        return false;
      }
      if (mode == kContact && !exists) {
        messages_.show(this, {"Contact not found.",
                              "The contact you have typed in does not exist.  Please correct "
                              "and try again.",
                              QMessageBox::Warning});
        return false;
      }
      (mode == kUserName ? userName_ : contactName_) = text;
      return true;
    }
    case kPassword:
      if (!validPassword(first)) {
        messages_.show(this, {"Invalid password", kBadPassword});
        return false;
      }
      password_ = text;
      return true;
    case kFullName:
      if (!validFullName(first)) {
        messages_.show(this, {"Invalid name",
                              "Invalid characters were found in the name - please correct "
                              "first!"});
        return false;
      }
      fullName_ = text;
      return untilServerAnswers([&] { return ops_.createUser(userName_, password_, fullName_); });
    case kLogin:
      if (!validUserName(first)) {
        messages_.show(this, {"Invalid login", kBadName});
        return false;
      }
      if (!validPassword(second)) {
        messages_.show(this, {"Invalid password", kBadPassword});
        return false;
      }
      userName_ = text;
      password_ = second.toStdString();
      while (ops_.loginUser(userName_, password_) < 0) {
        const auto answer = messages_.show(
            this, {"Unable to login to Zarvell server",
                   "We were unable to access your account.\n\nPlease click OK to try again or "
                   "CANCEL to return to the wizard.",
                   QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel});
        if (answer != QMessageBox::Ok) return false;
      }
      return true;
  }
  return false;
}

LoginWizardGeneric::LoginWizardGeneric(LoginWizard& wizard, LoginWizard::PageMode mode)
    : wizard_(wizard), mode_(mode) {
  setObjectName(QString("LoginWizardGeneric_%1").arg(mode));
  setTitle(kGenericTitle);
  const ModeTexts texts = textsOf(mode);
  prompt_ = new QLabel(texts.prompt, this);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("loginEdit");
  edit_->setMaxLength(texts.maxLength);
  if (texts.masked) edit_->setEchoMode(QLineEdit::Password);
  prompt2_ = new QLabel("Please enter your password:", this);
  edit2_ = new QLineEdit(this);
  edit2_->setObjectName("loginEdit2");
  edit2_->setMaxLength(16);
  edit2_->setEchoMode(QLineEdit::Password);
  const bool two = mode == LoginWizard::kLogin;
  prompt2_->setVisible(two);
  edit2_->setVisible(two);
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : {static_cast<QWidget*>(prompt_), static_cast<QWidget*>(edit_),
                     static_cast<QWidget*>(prompt2_), static_cast<QWidget*>(edit2_)})
    layout->addWidget(w);
  layout->addStretch();
  // Next stays offered once the user has typed: the checks then answer on Next.
  const auto typed = [this] {
    edited_ = true;
    emit completeChanged();
  };
  connect(edit_, &QLineEdit::textEdited, this, typed);
  connect(edit2_, &QLineEdit::textEdited, this, typed);
}

bool LoginWizardGeneric::entriesPass() const {
  const QString first = edit_->text();
  switch (mode_) {
    case LoginWizard::kUserName:
    case LoginWizard::kContact:
      return validUserName(first);
    case LoginWizard::kPassword:
      return validPassword(first);
    case LoginWizard::kFullName:
      return validFullName(first);
    case LoginWizard::kLogin:
      return !first.isEmpty() && validPassword(edit2_->text());
  }
  return false;
}

void LoginWizardGeneric::initializePage() {
  wizard_.setWindowTitle(textsOf(mode_).sheetTitle);
  passedOnEntry_ = entriesPass();
  edited_ = false;
  emit completeChanged();
}

bool LoginWizardGeneric::isComplete() const {
  return passedOnEntry_ || edited_;
}

bool LoginWizardGeneric::validatePage() {
  return wizard_.acceptEntries(mode_, edit_->text(), edit2_->text());
}

}  // namespace zarvell::app
