#include "PluginLibrary.h"

#include <dlfcn.h>

#include <utility>

namespace zarvell::app {

PluginLibrary::PluginLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* message = dlerror();
    error_ = message ? message : "cannot load " + path;
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

void* PluginLibrary::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace zarvell::app
