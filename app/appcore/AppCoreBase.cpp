#include "AppCoreBase.h"

#include "AppLogging.h"

namespace zarvell::app {
namespace {

int inhibitInterval(std::int32_t index) {
  if (index < 0 || index >= static_cast<int>(kInhibitIntervals.size())) index = 5;
  return kInhibitIntervals[static_cast<size_t>(index)];
}

}  // namespace

AppCoreBase::AppCoreBase(std::string commandLine)
    : commandLine_(std::move(commandLine)), switches_(parseSwitches(commandLine_)) {
  setUpAppLogging(switches_.debug);
  config_.readFile(kConfigFile);
  engine_ = std::make_unique<IQornManager>(switches_.web, this);
  engine_->setViewStyle(7, nullptr);
}

AppCoreBase::~AppCoreBase() {
  if (!config_.writeFile(kConfigFile))
    appLog(AppLogLevel::Warn, std::string("the settings could not be written to ") + kConfigFile);
  engine_.reset();
  shutDownAppLogging();
}

bool AppCoreBase::progress(ProgressInfo* info) {
  ProgressReceiver* receiver = receiver_;
  if (!receiver || !info) return true;
  ProgressInfo normalised = *info;
  if (normalised.stage < 0 || normalised.stage > 3) normalised.stage = 3;
  normalised.flag = normalised.total > 0 ? 1 : 0;
  return receiver->onProgress(normalised);
}

void AppCoreBase::applySettings() {
  engine_->setTabooDuration(inhibitInterval(config_.songInhibitIndex),
                            inhibitInterval(config_.otherInhibitIndex));
  engine_->freezeLinks(config_.freezeLinks);
  if (switches_.web) engine_->changePort(config_.routerPort);
  engine_->setPropagateToMeta(config_.propagateToMeta);
}

}  // namespace zarvell::app
