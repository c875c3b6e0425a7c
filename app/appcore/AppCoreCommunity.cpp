// AppCore's community operations (web mode): the server forwards, the log-in wizard, the
// start-up log-in, the link reports and the community windows' making.
#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <QVBoxLayout>

#include "AppCore.h"
#include "AppLogging.h"
#include "app/community/CommunitySettingsPage.h"
#include "app/community/LinkReporter.h"
#include "app/community/LoginWizard.h"
#include "app/community/StartupLogin.h"
#include "app/community/UserListTab.h"
#include "app/settings/SettingsPage.h"
#include "zarvell/deployment.h"

namespace zarvell::app {
namespace {

// The Community page in the preferences sheet. OK with a changed account logs it in first
// (or keeps the stored one when the user gives up); the settings are then written at once,
// so the account survives a crash, and the log-in state is shown again.
class CommunitySheetPage : public SettingsPage {
 public:
  explicit CommunitySheetPage(AppCore& core) : SettingsPage(core, "Community", "Community") {
    page_ = new CommunitySettingsPage(this, core.config(), core.community(), core.messages());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page_);
    connect(page_->autoLoginBox(), &QCheckBox::toggled, this, [this] { markModified(); });
    for (QLineEdit* edit : {page_->userNameEdit(), page_->passwordEdit()})
      connect(edit, &QLineEdit::textEdited, this, [this] { markModified(); });
  }

 protected:
  void fill() override { page_->fill(); }
  bool apply() override {
    page_->apply();  // a refused log-in keeps the stored account; that is no invalid value
    if (!core().config().writeFile(kConfigFile))
      appLog(AppLogLevel::Error, "the settings could not be written to Zarvell.cfg");
    core().showLoginState();
    return true;
  }

 private:
  CommunitySettingsPage* page_;
};

}  // namespace

void AppCore::installCommunity() {
  if (!webMode()) return;
  addSettingsPage([](AppCore& core) { return std::make_unique<CommunitySheetPage>(core); });
}

CommunityOps& AppCore::community() {
  if (community_) return *community_;
  if (!engineCommunity_) engineCommunity_ = std::make_unique<EngineCommunityOps>(engine());
  return *engineCommunity_;
}

int AppCore::checkUserExists(const std::string& name, bool& exists) {
  return community().checkUserExists(name, exists);
}

int AppCore::createUser(const std::string& name, const std::string& password,
                        const std::string& fullName) {
  return community().createUser(name, password, fullName);
}

int AppCore::loginUser(const std::string& name, const std::string& password) {
  return community().loginUser(name, password);
}

int AppCore::getSimilarUsers(const std::string& name, std::vector<std::string>& names) {
  return community().getSimilarUsers(name, names);
}

int AppCore::remoteCrossActivation(const std::string& name, const std::vector<Node*>& nodes,
                                   std::vector<Node*>& results) {
  return community().remoteCrossActivation(name, nodes, results);
}

bool AppCore::runLoginWizard(bool contactMode, std::string* contactName) {
  LoginWizard wizard(mainWindow(), community(), messages(), config(), contactMode);
  const bool finished = wizard.exec() == QDialog::Accepted;
  if (finished && contactName) *contactName = wizard.contactName();
  showLoginState();
  return finished;
}

void AppCore::startupLogin() {
  if (!webMode()) return;
  const StartupLoginResult result = runStartupLogin(mainWindow(), config(), community(), messages(),
                                                    [this] { runLoginWizard(false); });
  if (result == StartupLoginResult::kSkipped)
    appLog(AppLogLevel::Warn, "start-up log-in skipped: the server did not answer");
  showLoginState();
}

std::vector<Node*> AppCore::crossActivationSample() {
  std::vector<Node*> sample;
  Node** nodes = nullptr;
  int count = 0;
  if (engine().getMyKalvorets(&nodes, &count) >= 0)
    for (int i = 0; nodes && i < count && sample.size() < 5; ++i)
      if (nodes[i]) sample.push_back(nodes[i]);
  return sample;
}

int AppCore::reportLinks(int which, const std::vector<Node*>& nodes) {
  const auto kind = static_cast<LinkReporter::Kind>(which < 0 || which > 2 ? 2 : which);
  LinkReporter reporter(engine(), community(), messages(), mainWindow(),
                        [](bool error, const std::string& line) {
                          appLog(error ? AppLogLevel::Error : AppLogLevel::Info, line);
                        });
  return reporter.report(kind, nodes, config().userName, linkReportAddress());
}

std::unique_ptr<UserListTab> AppCore::makeUserListTab(
    QWidget* parent, std::function<QWidget*(QWidget*)> makeResultView,
    std::function<void(QWidget*, const std::vector<Node*>&)> showResults) {
  if (!webMode()) return nullptr;
  UserListTab::Sources sources;
  sources.userName = [this] { return config().userName; };
  sources.sampleNodes = [this] { return crossActivationSample(); };
  sources.nodeName = [this](Node* node) {
    const char* name = engine().getNodeName(node);
    return QString::fromUtf8(name ? name : "");
  };
  sources.askContact = [this] {
    std::string contact;
    return runLoginWizard(true, &contact) ? QString::fromStdString(contact) : QString();
  };
  sources.makeResultView = std::move(makeResultView);
  sources.showResults = std::move(showResults);
  return std::make_unique<UserListTab>(parent, community(), messages(), std::move(sources));
}

std::unique_ptr<CommunitySettingsPage> AppCore::makeCommunityPage(QWidget* parent) {
  if (!webMode()) return nullptr;
  return std::make_unique<CommunitySettingsPage>(parent, config(), community(), messages());
}

}  // namespace zarvell::app
