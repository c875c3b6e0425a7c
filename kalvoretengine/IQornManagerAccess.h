// Internal access to the engine behind an IQornManager, for the engine's own tools and
// tests that are built together with the engine (never for the application).
#pragma once

#include "IQornManager.h"
#include "qorncore/manager/qornManager.h"

struct IQornManagerAccess {
  static qorn::qornManager* engine(IQornManager& manager) { return manager.engine_; }
};
