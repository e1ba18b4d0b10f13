#include "store_home.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kpl::platform {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string userHome() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> scratch(size > 0 ? size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return ".";
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

}  // namespace

std::string StoreHome() {
  if (std::string home = environment("KPL_HOME"); !home.empty())
    return withoutTrailingSlashes(home);
  // Relative XDG paths are to be ignored.
  if (std::string config = environment("XDG_CONFIG_HOME"); config.starts_with("/"))
    return withoutTrailingSlashes(config) + "/kpl";
  return withoutTrailingSlashes(userHome()) + "/.config/kpl";
}

std::string StorePath(const std::string& fileName) {
  if (fileName.find('/') != std::string::npos) return fileName;
  return StoreHome() + "/" + fileName;
}

}  // namespace kpl::platform
