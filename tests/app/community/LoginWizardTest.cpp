// The log-in wizard on the offscreen platform, driven through its buttons and edit fields as
// a user would: its three runs with their pages, texts and edit limits, the entry checks,
// and the server retry loops. The server is the FakeCommunity double (this build's engine
// refuses every community call); the message boxes are answered through MessageBoxes.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <deque>
#include <memory>

#include "FakeCommunity.h"
#include "app/appcore/AppConfig.h"
#include "app/community/LoginWizard.h"
#include "app/dialogs/MessageBoxes.h"
#include "app_test_support.h"

namespace zarvell::app {
namespace {

using Button = QMessageBox::StandardButton;

class LoginWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::application();
    config_.userName = "old";
    config_.password = "oldpass";
    server_.existing = {"taken", "alice"};
    messages_.setAnswerer([this](const MessageRequest& request) {
      if (request.caption == "New Account?") return newAccount_;
      // Unscripted questions are answered OK, but never forever (a stuck retry loop fails).
      if (answers_.empty()) return messages_.history().size() < 100 ? Button::Ok : Button::Cancel;
      const Button answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }

  void open(bool contactMode, Button newAccount = Button::Yes) {
    newAccount_ = newAccount;
    wizard_ = std::make_unique<LoginWizard>(nullptr, server_, messages_, config_, contactMode);
    wizard_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wizard_.get()));
  }
  LoginWizardGeneric* page() const {
    return qobject_cast<LoginWizardGeneric*>(wizard_->currentPage());
  }
  // Types as the user does (replacing what the field held).
  static void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    if (text.isEmpty()) {  // typed and taken back: the field was edited, and is empty
      QTest::keyClicks(edit, "x");
      QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QTest::keyClicks(edit, text);
  }
  void enter(const QString& first, const QString& second = {}) {
    typeInto(page()->firstEdit(), first);
    if (page()->mode() == LoginWizard::kLogin) typeInto(page()->secondEdit(), second);
  }
  bool nextOffered() const {
    QAbstractButton* next = wizard_->button(QWizard::NextButton);
    return next->isVisible() && next->isEnabled();
  }
  void pressNext() { QTest::mouseClick(wizard_->button(QWizard::NextButton), Qt::LeftButton); }
  void pressFinish() { QTest::mouseClick(wizard_->button(QWizard::FinishButton), Qt::LeftButton); }
  // Opens the wizard on the page of `mode`, with valid entries on the pages before it.
  void reach(LoginWizard::PageMode mode) {
    if (mode == LoginWizard::kContact) return open(true);
    if (mode == LoginWizard::kLogin) return open(false, Button::No);
    open(false);
    pressNext();  // welcome
    const QString entries[] = {"ab", "abcd"};
    for (int m = 0; m < mode; ++m) {
      enter(entries[m]);
      pressNext();
    }
    ASSERT_EQ(page()->mode(), mode);
  }
  QString lastCaption() const {
    return messages_.history().empty() ? QString() : messages_.history().back().caption;
  }

  AppConfig config_;
  MessageBoxes messages_;
  apptest::FakeCommunity server_;
  std::deque<Button> answers_;
  Button newAccount_ = Button::Yes;
  std::unique_ptr<LoginWizard> wizard_;
};

TEST_F(LoginWizardTest, EachRunHasItsPagesTitlesPromptsAndEditLimits) {
  struct Expected {
    LoginWizard::PageMode mode;
    const char* sheetTitle;
    const char* prompt;
    int maxLength;
    bool masked;
  };
  const Expected pages[] = {
      {LoginWizard::kUserName, "User Name Input",
       "First, please choose a unique user name (minimum 2 characters):", 16, false},
      {LoginWizard::kPassword, "Password Input",
       "Now, please choose a secure password (4-16 characters):", 16, true},
      {LoginWizard::kFullName, "Full Name Input", "And finally please type in your full name:", 32,
       false}};
  open(false);
  EXPECT_EQ(messages_.history().front().text, "Would you like to create a new Zarvell account?");
  EXPECT_EQ(messages_.history().front().icon, QMessageBox::Question);
  EXPECT_EQ(wizard_->currentPage()->title(), "Welcome to the Zarvell Login Wizard...");
  EXPECT_FALSE(wizard_->button(QWizard::BackButton)->isVisible());
  EXPECT_TRUE(nextOffered());
  pressNext();
  const QString entries[] = {"ab", "abcd", "Jo Smith"};
  for (const Expected& e : pages) {
    SCOPED_TRACE(e.sheetTitle);
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(page()->mode(), e.mode);
    EXPECT_EQ(wizard_->windowTitle(), e.sheetTitle);
    EXPECT_EQ(page()->title(), "Please enter the required information:");
    EXPECT_NE(page()->findChild<QLabel*>()->text().indexOf(e.prompt), -1);
    EXPECT_EQ(page()->firstEdit()->maxLength(), e.maxLength);
    EXPECT_EQ(page()->firstEdit()->echoMode() == QLineEdit::Password, e.masked);
    EXPECT_FALSE(page()->secondEdit()->isVisible());
    enter(entries[e.mode]);
    pressNext();
  }
  EXPECT_EQ(wizard_->currentPage()->title(), "Your account has been successfully activated");
  EXPECT_FALSE(wizard_->button(QWizard::BackButton)->isVisible());
  EXPECT_TRUE(wizard_->button(QWizard::FinishButton)->isVisible());

  open(false, Button::No);  // an existing account: both entries on one page
  EXPECT_EQ(page()->mode(), LoginWizard::kLogin);
  EXPECT_EQ(wizard_->windowTitle(), "Please enter your login name and password");
  EXPECT_TRUE(page()->secondEdit()->isVisible());
  EXPECT_EQ(page()->firstEdit()->maxLength(), 16);
  EXPECT_EQ(page()->secondEdit()->maxLength(), 16);
  EXPECT_EQ(page()->secondEdit()->echoMode(), QLineEdit::Password);

  const size_t asked = messages_.history().size();
  open(true);  // contact mode asks nothing first
  EXPECT_EQ(messages_.history().size(), asked);
  EXPECT_EQ(page()->mode(), LoginWizard::kContact);
  EXPECT_EQ(wizard_->windowTitle(), "Add Contact");
  EXPECT_EQ(page()->firstEdit()->maxLength(), 16);
}

TEST_F(LoginWizardTest, NextChecksTheEntriesOfEachPage) {
  const QString badName = "Spaces were found in the username - please correct first!";
  const QString badPassword =
      "Invalid characters were found in the password - please correct first!";
  struct Case {
    LoginWizard::PageMode mode;
    QString first, second;
    QString caption;  // of the message shown; empty: accepted, the wizard went on
    QString text;
  };
  const Case cases[] = {
      {LoginWizard::kUserName, "a b", {}, "Invalid login", badName},
      {LoginWizard::kUserName, "a", {}, "Invalid login", badName},
      {LoginWizard::kUserName,
       "taken",
       {},
       "User exists.",
       "The user name already exists.  Please try something else."},
      {LoginWizard::kUserName, "ab", {}, {}, {}},
      {LoginWizard::kPassword, "abc", {}, "Invalid password", badPassword},
      {LoginWizard::kPassword, "ab cd", {}, "Invalid password", badPassword},
      {LoginWizard::kPassword, "abcd", {}, {}, {}},
      {LoginWizard::kFullName,
       "",
       {},
       "Invalid name",
       "Invalid characters were found in the name - please correct first!"},
      {LoginWizard::kFullName, "Jo Smith", {}, {}, {}},
      {LoginWizard::kLogin, "a", "abcd", "Invalid login", badName},
      {LoginWizard::kLogin, "bob", "abc", "Invalid password", badPassword},
      {LoginWizard::kLogin, "bob", "abcd", {}, {}},
      {LoginWizard::kContact, "a b", {}, "Invalid login", badName},
      {LoginWizard::kContact,
       "ghost",
       {},
       "Contact not found.",
       "The contact you have typed in does not exist.  Please correct and try again."},
      {LoginWizard::kContact, "alice", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString("mode %1 '%2' '%3'").arg(c.mode).arg(c.first, c.second).toStdString());
    reach(c.mode);
    const size_t shown = messages_.history().size();
    const int id = wizard_->currentId();
    enter(c.first, c.second);
    ASSERT_TRUE(nextOffered());
    pressNext();
    if (c.caption.isEmpty()) {
      EXPECT_EQ(messages_.history().size(), shown);
      EXPECT_EQ(wizard_->currentId(), id + 1);
    } else {
      ASSERT_EQ(messages_.history().size(), shown + 1);
      EXPECT_EQ(lastCaption(), c.caption);
      EXPECT_EQ(messages_.history().back().text, c.text);
      EXPECT_EQ(wizard_->currentId(), id);
      EXPECT_TRUE(wizard_->isVisible());
    }
  }
  EXPECT_EQ(server_.calls.back(), "checkUserExists alice");
  EXPECT_NE(std::find(server_.calls.begin(), server_.calls.end(), "createUser ab|abcd|Jo Smith"),
            server_.calls.end());
  EXPECT_NE(std::find(server_.calls.begin(), server_.calls.end(), "loginUser bob|abcd"),
            server_.calls.end());
}

TEST_F(LoginWizardTest, NextIsOfferedOnArrivalOnlyWhenTheEntriesPass) {
  reach(LoginWizard::kUserName);
  EXPECT_FALSE(nextOffered());  // nothing typed yet
  QTest::keyClicks(page()->firstEdit(), "a");
  EXPECT_TRUE(nextOffered());  // typed: the check answers on Next
  enter("ab");
  pressNext();
  QTest::mouseClick(wizard_->button(QWizard::BackButton), Qt::LeftButton);
  EXPECT_EQ(page()->mode(), LoginWizard::kUserName);
  EXPECT_EQ(page()->firstEdit()->text(), "ab");
  EXPECT_TRUE(nextOffered());
}

TEST_F(LoginWizardTest, ServerFailuresAskToRetryUntilAnsweredOrCancelTheWizard) {
  struct Case {
    LoginWizard::PageMode mode;
    QString entry;
    apptest::FakeCommunity::Script apptest::FakeCommunity::*script;
  };
  const Case cases[] = {{LoginWizard::kUserName, "ab", &apptest::FakeCommunity::check},
                        {LoginWizard::kFullName, "Jo Smith", &apptest::FakeCommunity::create},
                        {LoginWizard::kContact, "alice", &apptest::FakeCommunity::check}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    // Two failures answered OK, then the server answers: the wizard goes on.
    reach(c.mode);
    (server_.*c.script).statuses = {-1, -1, 1};
    const size_t shown = messages_.history().size();
    const size_t called = server_.calls.size();
    const int id = wizard_->currentId();
    enter(c.entry);
    pressNext();
    EXPECT_EQ(server_.calls.size(), called + 3);
    ASSERT_EQ(messages_.history().size(), shown + 2);
    const MessageRequest& retry = messages_.history().back();
    EXPECT_EQ(retry.caption, "Server Connection failed.");
    EXPECT_EQ(retry.text,
              "Unable to communicate with server.\n\nPlease click OK to try again or CANCEL to "
              "abort the wizard.");
    EXPECT_EQ(retry.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(wizard_->currentId(), id + 1);

    // A failure answered Cancel ends the wizard; nothing is stored.
    reach(c.mode);
    (server_.*c.script).statuses = {-1};
    answers_ = {Button::Cancel};
    enter(c.entry);
    pressNext();
    EXPECT_FALSE(wizard_->isVisible());
    EXPECT_EQ(wizard_->result(), QDialog::Rejected);
    EXPECT_EQ(config_.userName, "old");
    EXPECT_EQ(config_.password, "oldpass");
    (server_.*c.script).statuses = {1};
  }
}

TEST_F(LoginWizardTest, FailedLogInReturnsToThePageOrRetriesThenFinishStoresTheAccount) {
  reach(LoginWizard::kLogin);
  server_.login.statuses = {-1, -1, 1};
  answers_ = {Button::Cancel};
  enter("bob", "secret");
  pressNext();
  ASSERT_EQ(messages_.history().size(), 2u);  // the new-account question, one failure
  EXPECT_EQ(lastCaption(), "Unable to login to Zarvell server");
  EXPECT_EQ(messages_.history().back().text,
            "We were unable to access your account.\n\nPlease click OK to try again or CANCEL "
            "to return to the wizard.");
  EXPECT_TRUE(wizard_->isVisible());
  EXPECT_EQ(page()->mode(), LoginWizard::kLogin);

  pressNext();  // fails once more (answered OK), then logs in
  EXPECT_EQ(messages_.history().size(), 3u);
  EXPECT_EQ(server_.calls.back(), "loginUser bob|secret");
  EXPECT_EQ(config_.userName, "old");  // nothing is stored before Finish
  pressFinish();
  EXPECT_EQ(wizard_->result(), QDialog::Accepted);
  EXPECT_EQ(config_.userName, "bob");
  EXPECT_EQ(config_.password, "secret");
}

TEST_F(LoginWizardTest, FinishStoresANewAccountButNeverAContact) {
  reach(LoginWizard::kFullName);
  enter("Jo Smith");
  pressNext();
  pressFinish();
  EXPECT_EQ(config_.userName, "ab");
  EXPECT_EQ(config_.password, "abcd");
  EXPECT_EQ(wizard_->fullName(), "Jo Smith");

  open(true);
  enter("alice");
  pressNext();
  pressFinish();
  EXPECT_EQ(wizard_->result(), QDialog::Accepted);
  EXPECT_EQ(wizard_->contactName(), "alice");
  EXPECT_EQ(config_.userName, "ab");
  EXPECT_EQ(config_.password, "abcd");
}

}  // namespace
}  // namespace zarvell::app
