// Loading a Zarvell module (a shared object loaded at run time) by name.
#pragma once

#include <string>

namespace zarvell {

// Move-only owner of one dlopen handle; the module is unloaded when the owner goes.
//
// load("Sonalyx") tries <program folder>/Sonalyx.so, then "Sonalyx.so" through the ordinary
// library search (both RTLD_NOW | RTLD_LOCAL). A name containing "/" is one relative to the
// program folder ("audioplugins/internal") or absolute; ".so" is appended when the name has no ".so" suffix (versioned names such as
// "libm.so.6" are kept).
// A missing module is not an error of the caller: the result is simply empty and error()
// says why.
class Module {
 public:
  Module() = default;
  ~Module();
  Module(Module&& other) noexcept;
  Module& operator=(Module&& other) noexcept;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  static Module load(const std::string& name);

  explicit operator bool() const { return handle_ != nullptr; }
  // Address of an exported symbol, or null when the module is empty or lacks it.
  void* symbol(const char* name) const;
  // Typed form of symbol(): module.entry<int (*)(int)>("Foo").
  template <typename Fn>
  Fn entry(const char* name) const {
    return reinterpret_cast<Fn>(symbol(name));
  }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace zarvell
