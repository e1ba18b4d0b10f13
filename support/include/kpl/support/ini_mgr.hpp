#pragma once
// The settings store: program variables bound to named values that live either in the
// registry or in an INI file. A variable is read (or given its default) when it is
// registered, and written back on request and once more when the module is unloaded.
//
// Typical use: TypedRegistryValues = true; SetRegistryRoot(HKEY_CURRENT_USER, "Software\\Maker");
// SetApplicationName("App"); RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec,
// 4); ... SaveSettings(); FreeSettings();
#include <cstdint>

#include "kpl/platform/registry.h"

namespace kpl {

// Kind codes: what the registered variable is (its width in brackets).
enum SettingKind : uint16_t {
  KindFixedText = 0,    // zero-terminated text in a buffer of maximum length + 1 bytes
  KindCountedText = 1,  // a length byte, then at most 255 characters
  KindDynamicText = 2,  // a std::string; its default is a zero-terminated text
  KindInt32 = 16,       // int32_t
  KindInt8 = 17,        // int8_t
  KindLong32 = 18,      // int32_t
  KindUInt16 = 19,      // uint16_t
  KindUInt8 = 20,       // uint8_t
  KindReal64 = 32,      // double
  KindFloat32 = 33,     // float
  KindFloat64 = 34,     // double
  KindBool32 = 48,      // int32_t: true -1, false 0
  KindBool8 = 49,       // uint8_t: true 1, false 0
};

inline constexpr uint16_t kSettingKindMask = 0x003F;
// Written at registration instead of read; not kept.
inline constexpr uint16_t kSettingWriteNow = 0x1000;
// Read at registration, never written; not kept.
inline constexpr uint16_t kSettingReadOnly = 0x2000;
// Integer kinds as upper-case hexadecimal digits, two per byte, in the text forms.
inline constexpr uint16_t kSettingHexadecimal = 0x8000;

// What a stored text holds when the value is absent; stored literally, it counts as absent.
inline constexpr const char* kSettingNotFound = "=====";

// Registry mode only: true keeps each setting as a named value of its own type in the section
// key; false keeps it as the text default value of a key of its own below the section key.
extern bool TypedRegistryValues;

// From now on the store is the registry, below `rootKey`\`rootPath`.
void SetRegistryRoot(HKEY rootKey, const char* rootPath);
// The key below the root path (registry mode), or the INI file's name (INI mode: lower-cased,
// ".ini" added when missing; without a directory it lives in the store's home).
void SetApplicationName(const char* name);
// Binds `variable` (of the kind in `flags`) to section/key and reads it; when there is no
// usable stored value the variable becomes a copy of `defaultValue`. `defaultValue` may be
// the variable itself. Without an application name a message box says so and the
// registration is refused: the variable gets its default and nothing is kept.
void RegisterSetting(const char* section, const char* key, uint16_t flags, void* variable,
                     const void* defaultValue, uint16_t maximumLength);
// Writes every kept variable, in registration order.
void SaveSettings();
// Writes every kept variable once more and forgets them, the root and the application name.
// Runs once: later calls, and the one at module unload, do nothing.
void FreeSettings();

}  // namespace kpl
