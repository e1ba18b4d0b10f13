// The profile calls: INI files read as they stand, changed under the lock and replaced
// atomically (see locked_file.hpp).
#include "kpl/platform/profile.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "../common/locked_file.hpp"
#include "../common/same_name.hpp"
#include "../common/store_home.hpp"
#include "ini_text.hpp"

namespace kpl::platform::profile {
namespace {

constexpr const char* kUserProfile = "win.ini";

std::string fileText(const std::string& path) {
  FileText content = ReadStoreFile(path);
  return content.status == ReadStatus::kRead ? std::move(content.text) : std::string();
}

// The language of the locale the user runs under, as the system's language setting would
// name it.
std::string localeLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    const std::string_view locale(value);
    const bool danish =
        locale.starts_with("da") &&
        (locale.size() == 2 || std::string_view("_.@").find(locale[2]) != std::string_view::npos);
    return danish ? "DAN" : "ENU";
  }
  return "ENU";
}

// Copies `text` truncated to the buffer; answers the characters copied.
uint32_t copyOut(const std::string& text, char* buffer, uint32_t bufferChars) {
  if (!buffer || bufferChars == 0) return 0;
  const size_t length = std::min<size_t>(text.size(), bufferChars - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return uint32_t(length);
}

// A list of names, each zero-terminated, ended by another zero. When it does not fit, the
// list is cut (still ended by two zeros) and the answer is bufferChars - 2.
uint32_t copyList(const std::vector<std::string>& names, char* buffer, uint32_t bufferChars) {
  if (!buffer || bufferChars == 0) return 0;
  if (bufferChars == 1) {
    buffer[0] = '\0';
    return 0;
  }
  std::string list;
  for (const std::string& name : names)
    list += name + '\0';
  if (list.size() + 1 <= bufferChars) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return uint32_t(list.size());
  }
  std::memcpy(buffer, list.data(), bufferChars - 2);
  buffer[bufferChars - 2] = '\0';
  buffer[bufferChars - 1] = '\0';
  return bufferChars - 2;
}

uint32_t getString(const char* section, const char* key, const char* defaultValue, char* buffer,
                   uint32_t bufferChars, const std::string& path,
                   const std::optional<std::string>& systemValue = std::nullopt) {
  if (!buffer || bufferChars == 0) return 0;
  const std::string text = fileText(path);
  if (!section) return copyList(SectionNames(text), buffer, bufferChars);
  if (!key) return copyList(KeyNames(text, section), buffer, bufferChars);
  if (std::optional<std::string> value = FindValue(text, section, key))
    return copyOut(*value, buffer, bufferChars);
  if (systemValue) return copyOut(*systemValue, buffer, bufferChars);
  return copyOut(defaultValue ? defaultValue : "", buffer, bufferChars);
}

int32_t writeString(const char* section, const char* key, const char* value,
                    const std::string& path) {
  if (!section || !IsValidSection(section)) return 0;
  if (key && !IsValidKey(key)) return 0;
  if (value && !IsValidValue(value)) return 0;
  const std::optional<LockedFile> file = LockedFile::Acquire(path);
  if (!file) return 0;
  FileText content = file->read();
  // A file this call cannot read whole is left as it is rather than rewritten from a part.
  if (content.status != ReadStatus::kRead) return 0;
  const bool changed = key ? SetValue(content.text, section, key,
                                      value ? std::optional<std::string>(value) : std::nullopt)
                           : RemoveSection(content.text, section);
  return !changed || file->replace(content.text) ? 1 : 0;
}

std::string pathOf(const char* fileName) {
  return StorePath(fileName && *fileName ? fileName : kUserProfile);
}

}  // namespace
}  // namespace kpl::platform::profile

using namespace kpl::platform;
using namespace kpl::platform::profile;

extern "C" {

uint32_t GetWindowsDirectoryA(char* buffer, uint32_t bufferChars) {
  try {
    const std::string home = StoreHome();
    if (!buffer || bufferChars < home.size() + 1) return uint32_t(home.size() + 1);
    std::memcpy(buffer, home.c_str(), home.size() + 1);
    return uint32_t(home.size());
  } catch (...) {
    return 0;
  }
}

uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                  char* buffer, uint32_t bufferChars, const char* fileName) {
  try {
    return getString(section, key, defaultValue, buffer, bufferChars, pathOf(fileName));
  } catch (...) {
    return copyOut(defaultValue ? defaultValue : "", buffer, bufferChars);
  }
}

int32_t WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                   const char* fileName) {
  try {
    return writeString(section, key, value, pathOf(fileName));
  } catch (...) {
    return 0;
  }
}

uint32_t GetProfileStringA(const char* section, const char* key, const char* defaultValue,
                           char* buffer, uint32_t bufferChars) {
  try {
    const bool languageSetting =
        section && key && SameName(section, "Intl") && SameName(key, "sLanguage");
    return getString(section, key, defaultValue, buffer, bufferChars, pathOf(nullptr),
                     languageSetting ? std::optional<std::string>(localeLanguage()) : std::nullopt);
  } catch (...) {
    return copyOut(defaultValue ? defaultValue : "", buffer, bufferChars);
  }
}

int32_t WriteProfileStringA(const char* section, const char* key, const char* value) {
  try {
    return writeString(section, key, value, pathOf(nullptr));
  } catch (...) {
    return 0;
  }
}
}
