#pragma once
// Module resources: each module carries its string table and icons as data compiled into it
// and names itself by the address of its resource directory, as a module handle would.
#include <cstddef>
#include <cstdint>

#include "kpl/platform/api.h"

extern "C" {

struct StringResource {
  uint32_t id;
  const char* text;  // code page 1252
};

// A 16-colour icon: one palette index (0 to 15) per byte, top row first.
struct IconResource {
  uint32_t id;
  uint16_t width;
  uint16_t height;
  const uint8_t* pixels;
};

struct ModuleResources {
  const StringResource* strings;
  size_t stringCount;
  const IconResource* icons;
  size_t iconCount;
};

// The longest text a string table entry can hold (entries are counted in 16 bits).
inline constexpr size_t kMaxStringResourceChars = 65535;

// Copies string `id` into `buffer`, truncated to bufferMax - 1 characters and terminated.
// Returns the number of characters copied; 0 (and an empty buffer) when there is no such string.
KPL_PLATFORM_API int32_t LoadStringA(const ModuleResources* module, uint32_t id, char* buffer,
                                     int32_t bufferMax);

// A new icon handle for icon `id`, or 0. Every handle is destroyed with DestroyIcon.
KPL_PLATFORM_API uint32_t LoadIconA(const ModuleResources* module, uint32_t id);
KPL_PLATFORM_API int32_t DestroyIcon(uint32_t icon);

// Size of a live icon; false for a bad handle.
KPL_PLATFORM_API int32_t GetIconSize(uint32_t icon, int32_t* width, int32_t* height);
// Writes width x height colour values (red | green << 8 | blue << 16), top row first.
KPL_PLATFORM_API int32_t GetIconPixels(uint32_t icon, uint32_t* colours, size_t count);
KPL_PLATFORM_API size_t LiveIcons(void);

// The 16 colours every icon indexes, as colour values.
KPL_PLATFORM_API const uint32_t* IconPalette16(void);
}
