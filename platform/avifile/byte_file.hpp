#pragma once
// A file read and written at explicit 64-bit offsets, closed when the object goes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kpl::avi {

class ByteFile {
 public:
  static std::unique_ptr<ByteFile> openForReading(const char* name);
  // Creates the file, replacing one that exists.
  static std::unique_ptr<ByteFile> create(const char* name);
  ~ByteFile();
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  uint64_t size() const;
  // All `bytes` or failure; nothing is read past the end.
  bool readAt(uint64_t offset, void* buffer, size_t bytes) const;
  // As many bytes as the file holds from `offset`, up to `bytes`.
  size_t readSomeAt(uint64_t offset, void* buffer, size_t bytes) const;
  // Writes the pieces one after the other from `offset`, all or failure.
  bool writeAt(uint64_t offset, std::span<const std::span<const uint8_t>> pieces);
  bool writeAt(uint64_t offset, const void* data, size_t bytes);

 private:
  explicit ByteFile(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};

}  // namespace kpl::avi
