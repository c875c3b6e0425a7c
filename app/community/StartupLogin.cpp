#include "StartupLogin.h"

#include "CommunityOps.h"
#include "app/appcore/AppConfig.h"
#include "app/dialogs/MessageBoxes.h"

namespace zarvell::app {

StartupLoginResult runStartupLogin(QWidget* parent, const AppConfig& config, CommunityOps& ops,
                                   MessageBoxes& messages, const std::function<void()>& runWizard) {
  if (config.userName.empty()) {
    runWizard();
    return StartupLoginResult::kWizardRan;
  }
  if (!config.autoLogin) return StartupLoginResult::kNotAsked;
  while (ops.loginUser(config.userName, config.password) < 0) {
    const auto answer = messages.show(
        parent, {"Unable to login to Zarvell server",
                 "Communication with server failed.\n\nPlease click OK to try again or CANCEL "
                 "to skip the log-in.",
                 QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel});
    if (answer != QMessageBox::Ok) return StartupLoginResult::kSkipped;
  }
  return StartupLoginResult::kLoggedIn;
}

}  // namespace zarvell::app
