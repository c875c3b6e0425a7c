// ProgressReceiver: receives the engine's progress while a long operation runs (the busy
// window, the import window). Called on the worker thread running the operation; the
// receiver hands the record to its window and returns false to ask the engine to stop.
#pragma once

#include "kalvoretengine/IQornManager.h"

namespace zarvell::app {

class ProgressReceiver {
 public:
  virtual bool onProgress(const ProgressInfo& info) = 0;

 protected:
  ~ProgressReceiver() = default;
};

}  // namespace zarvell::app
