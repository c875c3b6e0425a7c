// AppCoreBase: the lower layer of the player core. It owns the engine, the settings record
// and the switches, receives the engine's progress and applies the settings to the engine.
// The upper layer (AppCore) adds the windows and playback.
//
// Construction, in order: switches from the command line, the player's log, the settings
// read from "Zarvell.cfg", the engine created with this object as its progress callback,
// and setViewStyle(7). Destruction writes "Zarvell.cfg", deletes the engine and closes the
// logs. Everything runs in the current folder (the data folder). Interface thread, except
// progress(), which the engine calls on the thread running a long operation.
// Nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "AppConfig.h"
#include "ProgressReceiver.h"
#include "Switches.h"
#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

// Seconds of the ten choices of the taboo ("inhibit") interval, by settings index.
inline constexpr std::array<int, 10> kInhibitIntervals = {
    1800, 2700, 3600, 7200, 18000, 86400, 259200, 604800, 1209600, 2592000};

inline constexpr const char* kConfigFile = "Zarvell.cfg";
inline constexpr const char* kDefaultNetwork = "networks/default.xml";

class AppCoreBase : public IQornManagerCallback {
 public:
  explicit AppCoreBase(std::string commandLine);
  virtual ~AppCoreBase();
  AppCoreBase(const AppCoreBase&) = delete;
  AppCoreBase& operator=(const AppCoreBase&) = delete;

  // Normalises the record (a stage outside 0..3 becomes 3; the flag is 1 when there is a
  // total) and hands it to the current receiver; true when none is set.
  bool progress(ProgressInfo* info) override;
  // Code 2: the suggestions changed. Other codes are ignored.
  virtual void notify(int code) = 0;
  virtual void initialise() = 0;

  IQornManager& engine() { return *engine_; }
  AppConfig& config() { return config_; }
  const AppConfig& config() const { return config_; }
  const std::string& commandLine() const { return commandLine_; }
  bool debugMode() const { return switches_.debug; }
  bool webMode() const { return switches_.web; }
  bool networkSaved() const { return networkSaved_; }
  void setNetworkSaved(bool saved) { networkSaved_ = saved; }
  // setTabooDuration, freezeLinks, changePort (web mode only), setPropagateToMeta, in that
  // order, from the settings. An inhibit index outside 0..9 counts as the default 5.
  void applySettings();

  bool isBusy() const { return receiver_ != nullptr; }

 protected:
  void setProgressReceiver(ProgressReceiver* receiver) { receiver_ = receiver; }

 private:
  std::string commandLine_;
  AppSwitches switches_;
  bool networkSaved_ = false;
  AppConfig config_;
  std::unique_ptr<IQornManager> engine_;
  ProgressReceiver* receiver_ = nullptr;
};

}  // namespace zarvell::app
