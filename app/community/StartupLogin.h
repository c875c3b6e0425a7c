// The start-up log-in of the web mode: without a stored user name the log-in wizard runs;
// otherwise, when automatic log-in is set, the stored account logs in, asking to retry or
// to skip after every failure (no limit).
//
// Interface thread only. Returns what happened; never throws except std::bad_alloc.
#pragma once

#include <functional>

class QWidget;

namespace zarvell {
struct AppConfig;
}

namespace zarvell::app {

class CommunityOps;
class MessageBoxes;

enum class StartupLoginResult { kWizardRan, kLoggedIn, kSkipped, kNotAsked };

// `runWizard` runs the log-in wizard (new or existing account) modally.
StartupLoginResult runStartupLogin(QWidget* parent, const AppConfig& config, CommunityOps& ops,
                                   MessageBoxes& messages, const std::function<void()>& runWizard);

}  // namespace zarvell::app
