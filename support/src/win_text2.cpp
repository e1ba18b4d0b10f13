// The module's language, chosen once when the module is loaded.
#include "kpl/support/win_text2.hpp"
#include "kpl/platform/module_language.h"
#include "kpl/support/type_routing.hpp"

namespace kpl {
namespace {

// Module-wide: computed by the module's start-up code, withdrawn when the module goes. A
// module with a language table tells the platform what it chose, so a host can show it.
struct ModuleLanguage {
  int32_t offset = 0;

  ModuleLanguage() {
    try {
      const ModuleResources& resources = ThisModuleResources();
      const std::string code = UserLanguageCode();
      offset = LanguageOffsetFor(resources, code);
      if (HasLanguageTable(resources)) SetModuleLanguage(&resources, code.c_str(), offset);
    } catch (...) {
      offset = 0;
    }
  }
  ~ModuleLanguage() { ForgetModuleLanguage(&ThisModuleResources()); }
  ModuleLanguage(const ModuleLanguage&) = delete;
  ModuleLanguage& operator=(const ModuleLanguage&) = delete;
};

ModuleLanguage moduleLanguage;

}  // namespace

int32_t LanguageOffset() {
  return moduleLanguage.offset;
}

}  // namespace kpl
