#include "zarvell/module.h"

#include <dlfcn.h>

#include <utility>

#include "zarvell/paths.h"

namespace zarvell {
namespace {

std::string withSuffix(const std::string& name) {
  // "X" and "X.so" name the same module; a versioned name ("libm.so.6") is kept.
  const std::size_t slash = name.rfind('/');
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  const bool hasSuffix = base.size() >= 3 && (base.compare(base.size() - 3, 3, ".so") == 0 ||
                                              base.find(".so.") != std::string::npos);
  return hasSuffix ? name : name + ".so";
}

}  // namespace

Module::~Module() {
  if (handle_) ::dlclose(handle_);
}

Module::Module(Module&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    if (handle_) ::dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
  }
  return *this;
}

Module Module::load(const std::string& name) {
  Module module;
  const std::string file = withSuffix(name);
  const std::string local = file.front() == '/' ? file : programFolder() + "/" + file;
  ::dlerror();
  if (void* handle = ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    module.handle_ = handle;
    module.path_ = local;
    return module;
  }
  if (const char* why = ::dlerror()) module.error_ = why;
  if (file.find('/') == std::string::npos) {
    if (void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      module.handle_ = handle;
      module.path_ = file;
      module.error_.clear();
      return module;
    }
    if (const char* why = ::dlerror()) module.error_ = why;
  }
  return module;
}

void* Module::symbol(const char* name) const {
  if (!handle_ || !name) return nullptr;
  return ::dlsym(handle_, name);
}

}  // namespace zarvell
