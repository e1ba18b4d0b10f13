#pragma once
// Profiles: INI files of sections and KEY=value lines. A file name without a directory names a
// file in the store's home, which stands in for the system's Windows directory. Every change is
// written atomically under a lock, like the registry.
#include <cstdint>

#include "kpl/platform/api.h"

extern "C" {

// The store's home: $KPL_HOME, else $XDG_CONFIG_HOME/kpl, else ~/.config/kpl. Answers the
// length written (without the zero), or the size needed when `bufferChars` is too small.
KPL_PLATFORM_API uint32_t GetWindowsDirectoryA(char* buffer, uint32_t bufferChars);

// Copies the value of `key` in `section` (both matched without regard to case) into `buffer`,
// or `defaultValue` when there is none, truncated to bufferChars - 1 characters; answers the
// number of characters copied. A null `key` lists the keys of the section, a null `section`
// the sections, each name zero-terminated and the list ended by a second zero.
KPL_PLATFORM_API uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                                   const char* defaultValue, char* buffer,
                                                   uint32_t bufferChars, const char* fileName);
// Sets `key` in `section` to `value`, adding the section and the key when missing. A null
// `value` removes the key, a null `key` the whole section. Texts that would break the file's
// lines (line breaks; "=" in a key; "]" in a section) are refused. Answers nonzero on success.
KPL_PLATFORM_API int32_t WritePrivateProfileStringA(const char* section, const char* key,
                                                    const char* value, const char* fileName);

// The same on the user's own settings profile in the store's home. Its [Intl] sLanguage, when
// the file has none, comes from the locale: "DAN" for a Danish one (LC_ALL, LC_MESSAGES or
// LANG beginning with "da"), else "ENU".
KPL_PLATFORM_API uint32_t GetProfileStringA(const char* section, const char* key,
                                            const char* defaultValue, char* buffer,
                                            uint32_t bufferChars);
KPL_PLATFORM_API int32_t WriteProfileStringA(const char* section, const char* key,
                                             const char* value);
}
