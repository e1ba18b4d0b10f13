// The language choice of each loaded module, found again by the file it was loaded from.
#include "kpl/platform/module_language.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Choice {
  const ModuleResources* module;
  std::string code;
  int32_t offset;
};

struct Choices {
  std::mutex mutex;
  std::vector<Choice> list;
};

Choices& choices() {
  static Choices table;
  return table;
}

bool sameFile(const char* a, const char* b) {
  struct stat first {
  }, second{};
  return a && b && stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

extern "C" {

void SetModuleLanguage(const ModuleResources* module, const char* languageCode,
                       int32_t languageOffset) {
  if (!module) return;
  try {
    Choices& table = choices();
    std::lock_guard guard(table.mutex);
    std::string code(languageCode ? languageCode : "");
    if (code.size() > 9) code.resize(9);
    std::erase_if(table.list, [&](const Choice& choice) { return choice.module == module; });
    table.list.push_back({module, std::move(code), languageOffset});
  } catch (...) {
  }
}

void ForgetModuleLanguage(const ModuleResources* module) {
  Choices& table = choices();
  std::lock_guard guard(table.mutex);
  std::erase_if(table.list, [&](const Choice& choice) { return choice.module == module; });
}

int32_t GetModuleLanguage(const char* modulePath, char* languageCode, uint32_t codeChars,
                          int32_t* languageOffset) {
  try {
    Choices& table = choices();
    std::lock_guard guard(table.mutex);
    for (const Choice& choice : table.list) {
      Dl_info where{};
      if (!dladdr(choice.module, &where) || !sameFile(where.dli_fname, modulePath)) continue;
      if (languageCode && codeChars > 0) {
        const size_t length = std::min<size_t>(choice.code.size(), codeChars - 1);
        std::memcpy(languageCode, choice.code.data(), length);
        languageCode[length] = '\0';
      }
      if (languageOffset) *languageOffset = choice.offset;
      return 1;
    }
  } catch (...) {
  }
  return 0;
}
}
