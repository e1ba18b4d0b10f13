#pragma once
// The registry: a per-user store of keys under predefined root keys, each key holding named
// values and one default (unnamed) value, typed as text or as a 32-bit number. It lives in a
// file in the store's home (see GetWindowsDirectoryA); every change is written atomically under
// a lock, so concurrent writers in several processes all keep their changes.
#include <cstdint>

#include "kpl/platform/api.h"

using HKEY = uint32_t;

// Predefined root keys: always open, never closed.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_DWORD = 4;

// Access rights of an open key.
inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_READ = 0x00020019;
inline constexpr uint32_t KEY_WRITE = 0x00020006;
inline constexpr uint32_t KEY_ALL_ACCESS = 0x000F003F;

inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
// Dispositions of RegCreateKeyExA.
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Results of the calls (0 is success).
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t ERROR_MORE_DATA = 234;
inline constexpr int32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr int32_t ERROR_CANTWRITE = 1013;

// Longest key name (one level of a path) and value name.
inline constexpr uint32_t kMaxRegistryKeyNameChars = 255;
inline constexpr uint32_t kMaxRegistryValueNameChars = 16383;
// Largest value data accepted.
inline constexpr uint32_t kMaxRegistryValueBytes = 1u << 20;

extern "C" {

// Opens `subKey` below `key`, creating every missing level. `security` is accepted and ignored;
// `keyClass` and `options` too. `disposition` (may be null) tells whether the key was new.
KPL_PLATFORM_API int32_t RegCreateKeyExA(HKEY key, const char* subKey, uint32_t reserved,
                                         char* keyClass, uint32_t options, uint32_t access,
                                         const void* security, HKEY* result, uint32_t* disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist. A null or empty
// `subKey` opens `key` itself again.
KPL_PLATFORM_API int32_t RegOpenKeyExA(HKEY key, const char* subKey, uint32_t options,
                                       uint32_t access, HKEY* result);
// Reads a value (`name` null or empty: the key's default value). With `data` null only the
// type and the size are answered. Text comes back with its terminating zero. When `*dataBytes`
// is too small the answer is ERROR_MORE_DATA and `*dataBytes` holds the size needed.
KPL_PLATFORM_API int32_t RegQueryValueExA(HKEY key, const char* name, uint32_t* reserved,
                                          uint32_t* type, uint8_t* data, uint32_t* dataBytes);
// Stores a value: REG_SZ takes text (up to its first zero byte, or `dataBytes` bytes),
// REG_DWORD exactly four bytes. Other types are refused with ERROR_INVALID_PARAMETER.
KPL_PLATFORM_API int32_t RegSetValueExA(HKEY key, const char* name, uint32_t reserved,
                                        uint32_t type, const uint8_t* data, uint32_t dataBytes);
// Removes a value; ERROR_FILE_NOT_FOUND when there is none.
KPL_PLATFORM_API int32_t RegDeleteValueA(HKEY key, const char* name);
// The name of the index-th sub key (in the store's order); ERROR_NO_MORE_ITEMS past the last.
// `*nameChars` holds the buffer size in, the name's length (without the zero) out.
KPL_PLATFORM_API int32_t RegEnumKeyExA(HKEY key, uint32_t index, char* name, uint32_t* nameChars,
                                       uint32_t* reserved, char* keyClass, uint32_t* classChars,
                                       void* lastWriteTime);
// The index-th value of a key (the default value, when set, has the empty name).
KPL_PLATFORM_API int32_t RegEnumValueA(HKEY key, uint32_t index, char* name, uint32_t* nameChars,
                                       uint32_t* reserved, uint32_t* type, uint8_t* data,
                                       uint32_t* dataBytes);
KPL_PLATFORM_API int32_t RegCloseKey(HKEY key);
// Number of open (non-predefined) key handles in the process, for leak checks.
KPL_PLATFORM_API uint32_t RegOpenKeyCount(void);
// The path of the store's file, zero-terminated; the length, or 0 when it does not fit.
KPL_PLATFORM_API uint32_t RegGetStoreFileA(char* buffer, uint32_t bufferChars);
}
