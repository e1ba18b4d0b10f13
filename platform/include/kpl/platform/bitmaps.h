#pragma once
// Drawing objects: bitmaps (device-dependent ones compatible with the screen, one-bit ones, and
// sections whose rows the caller addresses directly), palettes and the screen's device context.
// The screen is true colour: 24 bits per pixel, one plane, no hardware palette.
#include <cstddef>
#include <cstdint>

#include "kpl/platform/api.h"

inline constexpr int32_t BITSPIXEL = 12;
inline constexpr int32_t PLANES = 14;
inline constexpr int32_t RASTERCAPS = 38;
inline constexpr int32_t SIZEPALETTE = 104;
inline constexpr int32_t RC_PALETTE = 0x0100;

inline constexpr uint32_t CBM_INIT = 4;
inline constexpr uint32_t DIB_RGB_COLORS = 0;
inline constexpr uint32_t BI_RGB = 0;

// The depth of the screen and of every bitmap compatible with it.
inline constexpr uint16_t kScreenBitsPerPixel = 24;

extern "C" {

#pragma pack(push, 1)
struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};
struct PALETTEENTRY {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};
// The 40-byte device-independent bitmap header; a colour table of RGBQUADs may follow it.
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
struct LOGPALETTE {
  uint16_t palVersion;
  uint16_t palNumEntries;
  PALETTEENTRY palPalEntry[1];  // palNumEntries of them
};
#pragma pack(pop)

// A bitmap's description. bmBits is the first byte of the bottom row for a section, null for
// a device-dependent bitmap, whose pixels only GetDIBits reaches.
struct BITMAP {
  int32_t bmType;
  int32_t bmWidth;
  int32_t bmHeight;
  int32_t bmWidthBytes;
  uint16_t bmPlanes;
  uint16_t bmBitsPixel;
  void* bmBits;
};

// Window 0 is the screen. Every context taken is released.
KPL_PLATFORM_API uint32_t GetDC(uint32_t window);
KPL_PLATFORM_API int32_t ReleaseDC(uint32_t window, uint32_t dc);
KPL_PLATFORM_API int32_t GetDeviceCaps(uint32_t dc, int32_t index);

// Bitmaps of 1 bit per pixel or of the screen's depth; `bits` (or null) holds rows top first,
// each padded to 2 bytes. 0 when the bitmap cannot exist.
KPL_PLATFORM_API uint32_t CreateBitmap(int32_t width, int32_t height, uint32_t planes,
                                       uint32_t bitsPerPixel, const void* bits);
KPL_PLATFORM_API uint32_t CreateCompatibleBitmap(uint32_t dc, int32_t width, int32_t height);
// A bitmap compatible with `dc` of the header's size; with CBM_INIT its pixels come from the
// packed rows `bits` described by `info` (header, then colour table) of 1, 4, 8, 16, 24 or 32
// bits per pixel.
KPL_PLATFORM_API uint32_t CreateDIBitmap(uint32_t dc, const BITMAPINFOHEADER* header, uint32_t init,
                                         const void* bits, const void* info, uint32_t usage);
// A bitmap of 1, 4, 8, 24 or 32 bits per pixel whose bottom-up rows (padded to 4 bytes) the
// caller addresses through *bits; its colour table is the one after the header in `info`.
KPL_PLATFORM_API uint32_t CreateDIBSection(uint32_t dc, const void* info, uint32_t usage,
                                           void** bits, uint32_t section, uint32_t offset);
// Colour table of a section of 8 bits or fewer; the number of entries set or read.
KPL_PLATFORM_API uint32_t SetDIBColorTable(uint32_t dc, uint32_t bitmap, uint32_t start,
                                           uint32_t count, const RGBQUAD* colours);
KPL_PLATFORM_API uint32_t GetDIBColorTable(uint32_t dc, uint32_t bitmap, uint32_t start,
                                           uint32_t count, RGBQUAD* colours);

// Bitmaps: fills a BITMAP. Palettes: the number of entries (a 16-bit value). Bytes written, or 0.
KPL_PLATFORM_API int32_t GetObjectA(uint32_t object, int32_t bytes, void* out);
// Reads rows start .. start + lines - 1 (counted from the bottom) as packed device-independent
// rows of the depth in `info` (1, 4 or 8 for a bitmap of that depth, or 24 or 32 for any),
// writing the colour table after the header for 8 bits or fewer. A negative height in `info`
// asks for rows top first, `start` then counting from the top. With `bits` null only the
// header is completed. The number of rows read, or 0.
KPL_PLATFORM_API int32_t GetDIBits(uint32_t dc, uint32_t bitmap, uint32_t start, uint32_t lines,
                                   void* bits, void* info, uint32_t usage);
// Frees a bitmap or a palette; false for anything else.
KPL_PLATFORM_API int32_t DeleteObject(uint32_t object);

KPL_PLATFORM_API uint32_t CreatePalette(const LOGPALETTE* palette);
KPL_PLATFORM_API uint32_t GetPaletteEntries(uint32_t palette, uint32_t start, uint32_t count,
                                            PALETTEENTRY* entries);
// The palette selected before (0 for the default one).
KPL_PLATFORM_API uint32_t SelectPalette(uint32_t dc, uint32_t palette, int32_t background);
// The number of entries mapped into the system palette: none on a true-colour screen.
KPL_PLATFORM_API uint32_t RealizePalette(uint32_t dc);
// A true-colour screen has no system palette: 0 entries.
KPL_PLATFORM_API uint32_t GetSystemPaletteEntries(uint32_t dc, uint32_t start, uint32_t count,
                                                  PALETTEENTRY* entries);

// Live drawing objects of the process (bitmaps, palettes, contexts), for leak checks.
KPL_PLATFORM_API size_t LiveGdiObjects(void);
}
