#pragma once
// Frames: packed device-independent bitmaps in global memory (40-byte header, optional colour
// table, bottom-up rows padded to 4 bytes), and the 24-bit form every effect works on.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kpl {

#pragma pack(push, 1)
struct BitmapInfoHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

inline constexpr uint32_t kBitmapHeaderBytes = 40;

// Colour value: red | green << 8 | blue << 16.
constexpr uint32_t ColourValue(uint8_t red, uint8_t green, uint8_t blue) {
  return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16;
}

// Reads a header from any address (host frames need not be aligned).
BitmapInfoHeader ReadHeader(const void* header);

// 3 x width rounded up to a multiple of 4.
uint64_t RowBytes24(int64_t width);
// Bytes of the pixel data of a frame of any depth.
uint64_t ImageBytes(const void* header);
// True for an uncompressed 24-bit frame with a sane header that effects can read in place.
bool IsFrame24(const void* header);

// A new movable, zero-filled block holding a black 24-bit frame; 0 when it cannot exist.
uint32_t NewFrame24(int32_t width, int32_t height);
// As NewFrame24, but the pixel data is left as allocated, for a caller about to write all of it.
uint32_t NewFrame24Uncleared(int32_t width, int32_t height);
// A new movable block holding a 24-bit copy of the frame; 0 for frames it cannot read.
uint32_t ToFrame24(const void* header);
uint32_t ToFrame24FromHandle(uint32_t frame);

uint32_t ReadPixel24(const void* header, int32_t x, int32_t y);
void WritePixel24(void* header, int32_t x, int32_t y, uint32_t colour);
void FillFrame24(void* header, uint32_t colour);

// Writes the pixels of a 24-bit frame one after another, left to right, top to bottom.
class PixelWriter {
 public:
  PixelWriter(const PixelWriter&) = delete;
  PixelWriter& operator=(const PixelWriter&) = delete;
  PixelWriter(PixelWriter&& other) noexcept;
  PixelWriter& operator=(PixelWriter&&) = delete;
  ~PixelWriter();

 private:
  friend std::optional<PixelWriter> OpenWriter(void* header);
  friend std::optional<PixelWriter> OpenWriterOnHandle(uint32_t frame);
  friend void SeekWriter(PixelWriter& writer, int32_t x, int32_t y);
  friend void PutPixel(PixelWriter& writer, uint32_t colour);
  PixelWriter(void* header, uint32_t lockedHandle);

  uint8_t* header_;
  uint32_t handle_;  // block the writer keeps locked, or 0
  int64_t column_ = 0;
  int64_t row_ = 0;
  uint8_t* address_;
  int64_t bottomRow_;
  int64_t rowBytes_;
  int64_t width_;
  int64_t padding_;
};

std::optional<PixelWriter> OpenWriter(void* header);
// Locks the frame and opens a writer that unlocks it when closed; none for a refused frame.
std::optional<PixelWriter> OpenWriterOnHandle(uint32_t frame);
void SeekWriter(PixelWriter& writer, int32_t x, int32_t y);
void PutPixel(PixelWriter& writer, uint32_t colour);
inline void CloseWriter(std::optional<PixelWriter>& writer) {
  writer.reset();
}

// A new frame holding the pixels of a bitmap: 1, 4 or 8 bits per pixel with a colour table
// for bitmaps of that depth or less, else 24. `palette` is 0, 1 (the system palette) or a
// palette handle to realise while the pixels are read. 0 (after the default beep when the
// bitmap is not one) on failure.
uint32_t FrameFromBitmap(uint32_t bitmap, uint32_t palette);
// A device-dependent bitmap compatible with the screen, holding the pixels of a 24-bit frame;
// 0 for anything else.
uint32_t BitmapFromFrame(uint32_t frame);
// The same for a 24-bit frame in memory of `bytes` bytes.
uint32_t BitmapFromFrame24(const void* header, uint64_t bytes);

}  // namespace kpl
