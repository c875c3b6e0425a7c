// AppCore's community operations (web mode): the server forwards, the log-in wizard, the
// start-up log-in, the link reports and the community windows' making.
#include <QString>

#include "AppCore.h"
#include "AppLogging.h"
#include "app/community/CommunitySettingsPage.h"
#include "app/community/LinkReporter.h"
#include "app/community/LoginWizard.h"
#include "app/community/StartupLogin.h"
#include "app/community/UserListTab.h"
#include "zarvell/deployment.h"

namespace zarvell::app {

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
