#include "zarvell/paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace zarvell {
namespace {

std::string envOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string programFolder() {
  std::string fromEnv = envOrEmpty("ZARVELL_PROGRAM_DIR");
  if (!fromEnv.empty()) return withoutTrailingSlash(fromEnv);
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  buffer.resize(static_cast<std::size_t>(n));
  std::size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  std::size_t pos = 0;
  while ((pos = path.find('/', pos + 1)) != std::string::npos) {
    std::string part = path.substr(0, pos);
    if (!isDirectory(part) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
  return isDirectory(path);
}

std::string dataFolder() {
  std::string home = envOrEmpty("ZARVELL_HOME");
  if (!home.empty()) {
    home = withoutTrailingSlash(home);
    return makeFolders(home) ? home : std::string();
  }
  std::string program = programFolder();
  // An installed program folder (marked by the install) is never the data folder, even when
  // its user may write to it (root, or an install into the user's own prefix).
  if (!program.empty() && !isFile(program + "/.installed") &&
      ::access(program.c_str(), W_OK) == 0) {
    return program;
  }
  std::string xdg = envOrEmpty("XDG_DATA_HOME");
  if (xdg.empty()) {
    std::string user = envOrEmpty("HOME");
    if (user.empty()) return {};
    xdg = withoutTrailingSlash(user) + "/.local/share";
  }
  std::string folder = withoutTrailingSlash(xdg) + "/zarvell";
  return makeFolders(folder) ? folder : std::string();
}

bool enterDataFolder() {
  std::string folder = dataFolder();
  return !folder.empty() && ::chdir(folder.c_str()) == 0;
}

std::string findDataFile(const std::string& relative) {
  std::string data = dataFolder();
  if (!data.empty()) {
    std::string candidate = data + "/" + relative;
    if (isFile(candidate)) return candidate;
  }
  return programFolder() + "/" + relative;
}

}  // namespace zarvell
