#include "paths.hpp"

#include <cctype>
#include <system_error>

#include "errors.hpp"

namespace kplhost {

namespace fs = std::filesystem;

fs::path ExecutableDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) throw Failure("cannot find where kplhost lives: " + error.message());
  return self.parent_path();
}

fs::path ResolveModulePath(const std::string& module) {
  const bool bareName = module.find('/') == std::string::npos && !module.ends_with(".kpl");
  const fs::path path = bareName ? ExecutableDirectory() / (module + ".kpl") : fs::path(module);
  std::error_code error;
  if (!fs::is_regular_file(path, error))
    throw Failure("no module " + module + (bareName ? " (looked for " + path.string() + ")" : ""));
  return path;
}

void EnsureParentDirectory(const fs::path& file) {
  const fs::path folder = file.parent_path();
  if (folder.empty()) return;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw Failure("cannot create folder " + folder.string() + ": " + error.message());
}

std::string FileNamePart(std::string_view name) {
  std::string part;
  for (unsigned char c : name)
    part += std::isalnum(c) ? char(std::tolower(c)) : '-';
  return part.empty() ? "unnamed" : part;
}

std::vector<char> FileNameArgument(const std::string& path) {
  std::vector<char> text(path.begin(), path.end());
  text.push_back('\0');
  return text;
}

}  // namespace kplhost
