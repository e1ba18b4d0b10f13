#pragma once
// The language each loaded module chose for its texts. A module with a language table records
// its choice when it starts and withdraws it when it is unloaded, so a host can show it.
#include <cstdint>

#include "kpl/platform/api.h"
#include "kpl/platform/resources.h"

extern "C" {
// `module` is the module's resource directory; `languageCode` the user's code it compared
// against (at most 9 characters are kept).
KPL_PLATFORM_API void SetModuleLanguage(const ModuleResources* module, const char* languageCode,
                                        int32_t languageOffset);
KPL_PLATFORM_API void ForgetModuleLanguage(const ModuleResources* module);
// Looks up the module loaded from the file `modulePath` (any path naming the same file).
// Nonzero when it recorded a choice; `languageCode` receives at least 10 bytes.
KPL_PLATFORM_API int32_t GetModuleLanguage(const char* modulePath, char* languageCode,
                                           uint32_t codeChars, int32_t* languageOffset);
}
