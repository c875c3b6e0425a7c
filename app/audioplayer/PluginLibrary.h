// PluginLibrary: the one owner of a dlopen handle of the player (move-only). Loading and
// symbol lookup report failure by an empty handle or a null address; nothing throws.
#pragma once

#include <string>

namespace zarvell::app {

class PluginLibrary {
 public:
  PluginLibrary() = default;
  // Loads the shared object at `path` (RTLD_NOW | RTLD_LOCAL); empty on failure, with the
  // loader's message in error().
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  // The address of an export, or null when the library lacks it (or is not loaded).
  void* symbol(const char* name) const;
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace zarvell::app
