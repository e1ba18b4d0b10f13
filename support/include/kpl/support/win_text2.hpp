#pragma once
// The module's language: the offset every caller adds to a string id, chosen at module start
// from the module's language table (string 65000 and on: "DAN:4500", ..., "<end>") and the
// user's language setting.
#include <cstdint>
#include <string>

#include "kpl/platform/resources.h"

namespace kpl {

inline constexpr uint32_t kLanguageTableFirstId = 65000;

// The offset this module chose at start: 0 unless the table names the user's language.
int32_t LanguageOffset();

// The user's language code: [Intl] sLanguage of the user's settings profile, upper case, at
// most 9 characters.
std::string UserLanguageCode();
// The offset `module`'s language table gives for `languageCode` (upper case).
int32_t LanguageOffsetFor(const ModuleResources& module, const std::string& languageCode);
// Whether `module` carries a language table at all.
bool HasLanguageTable(const ModuleResources& module);

}  // namespace kpl
