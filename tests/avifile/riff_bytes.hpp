#pragma once
// Building RIFF files byte by byte for fixtures.
#include <cstdint>
#include <string>
#include <vector>

namespace avitest {

class Riff {
 public:
  Riff& id(const char* fourcc) {
    bytes.insert(bytes.end(), fourcc, fourcc + 4);
    return *this;
  }
  Riff& u16(uint32_t v) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
    return *this;
  }
  Riff& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Riff& raw(const std::vector<uint8_t>& data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
  // A chunk (or, with `type`, a RIFF/LIST form) around what `body` adds; padded to even size.
  template <class Body>
  Riff& chunk(const char* fourcc, Body&& body, const char* type = nullptr) {
    id(fourcc);
    const size_t sizeAt = bytes.size();
    u32(0);
    if (type) id(type);
    body(*this);
    const uint32_t size = uint32_t(bytes.size() - sizeAt - 4);
    for (int i = 0; i < 4; ++i)
      bytes[sizeAt + i] = uint8_t(size >> (8 * i));
    if (size & 1) bytes.push_back(0);
    return *this;
  }
  Riff& data(const char* fourcc, const std::vector<uint8_t>& payload) {
    return chunk(fourcc, [&](Riff& r) { r.raw(payload); });
  }
  std::vector<uint8_t> bytes;
};

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  fclose(file);
  return bytes;
}

}  // namespace avitest
