#pragma once
// Shared pieces of the AVI service tests: temporary folders, test pictures and sound, files
// written through the services, and the ffmpeg peer run as a child process.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kpl/platform/avifile.h"

namespace avitest {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kpl-avi-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline uint32_t rowBytes(int width, int bits) {
  return uint32_t((width * bits + 31) / 32 * 4);
}

// A packed bitmap's header and palette (for 8 bits, a 256-entry palette).
inline std::vector<uint8_t> bitmapFormat(int width, int height, int bits) {
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = uint16_t(bits);
  header.biSizeImage = rowBytes(width, bits) * uint32_t(height);
  if (bits == 8) header.biClrUsed = 256;
  std::vector<uint8_t> format(sizeof header);
  std::memcpy(format.data(), &header, sizeof header);
  if (bits == 8)
    for (int i = 0; i < 256; ++i) {
      const uint8_t entry[4] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
      format.insert(format.end(), entry, entry + 4);
    }
  return format;
}

// Pixel rows of frame `n` (bottom row first, rows padded to 4 bytes, padding zero), a moving
// pattern that a codec cannot mistake for another frame.
inline std::vector<uint8_t> framePixels(int width, int height, int bits, int n) {
  const uint32_t stride = rowBytes(width, bits);
  std::vector<uint8_t> pixels(size_t(stride) * height, 0);
  const int bytes = bits / 8;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < bytes; ++c)
        pixels[size_t(y) * stride + size_t(x) * bytes + c] =
            uint8_t((x * (c + 1) + y * (3 - c) + n * 5 + ((x / 8 + y / 8 + n) % 2) * 64) & 0xFF);
  return pixels;
}

// A PCM wave format (16 bytes, as written into files).
inline std::vector<uint8_t> waveFormat(int channels, int rate, int bits) {
  const int align = channels * bits / 8;
  std::vector<uint8_t> format(16);
  auto put16 = [&](int at, int v) { format[at] = uint8_t(v), format[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](int at, int v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  put16(0, 1);
  put16(2, channels);
  put32(4, rate);
  put32(8, rate * align);
  put16(12, align);
  put16(14, bits);
  return format;
}

inline std::vector<uint8_t> soundBytes(size_t bytes, int seed) {
  std::vector<uint8_t> sound(bytes);
  for (size_t i = 0; i < bytes; ++i)
    sound[i] = uint8_t((i * 37 + seed * 11 + i / 7) & 0xFF);
  return sound;
}

inline AVISTREAMINFOA videoInfo(int width, int height, uint32_t rate, uint32_t scale,
                                FOURCC handler = 0) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.fccHandler = handler;
  info.dwScale = scale;
  info.dwRate = rate;
  info.dwQuality = 10000;
  info.rcFrame = {0, 0, width, height};
  std::strcpy(info.szName, "Video stream #0");
  return info;
}

inline AVISTREAMINFOA audioInfo(int channels, int rate, int bits) {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeAUDIO;
  info.dwScale = 1;
  info.dwRate = uint32_t(rate);
  info.dwSampleSize = uint32_t(channels * bits / 8);
  info.dwQuality = 10000;
  return info;
}

// Runs a shell command and hands back what it printed; `ok` tells whether it exited with 0.
inline std::vector<uint8_t> runCommand(const std::string& command, bool* ok = nullptr) {
  std::vector<uint8_t> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (ok) *ok = false;
    return out;
  }
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.insert(out.end(), buffer, buffer + got);
  const int status = pclose(pipe);
  if (ok) *ok = status == 0;
  return out;
}

inline std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

}  // namespace avitest

namespace avitest {

// A child process whose output is read piece by piece (a whole decoded clip may not fit in
// memory).
class PipeReader {
 public:
  explicit PipeReader(const std::string& command) : pipe_(popen(command.c_str(), "r")) {}
  ~PipeReader() {
    if (pipe_) pclose(pipe_);
  }
  bool read(std::vector<uint8_t>& out, size_t bytes) {
    out.resize(bytes);
    return pipe_ && fread(out.data(), 1, bytes, pipe_) == bytes;
  }

 private:
  FILE* pipe_;
};

// Rows of a packed bitmap's pixels (bottom row first, padded) as top-first unpadded rows, the
// way ffmpeg prints raw video.
inline std::vector<uint8_t> topDownRows(const uint8_t* pixels, int width, int height, int bits) {
  const uint32_t stride = rowBytes(width, bits);
  const size_t row = size_t(width) * bits / 8;
  std::vector<uint8_t> out(row * height);
  for (int y = 0; y < height; ++y)
    std::memcpy(out.data() + row * y, pixels + size_t(stride) * (height - 1 - y), row);
  return out;
}

inline const std::string ffmpeg =
    std::string(PEER_FFMPEG) + " -hide_banner -loglevel error -nostdin";

}  // namespace avitest
