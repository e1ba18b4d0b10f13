#pragma once
// File access of the picture codecs: the zero-filling read buffer (a file that ends early
// reads as zero bytes), a buffered writer that remembers a failed write, and the limits that
// keep a hostile header from making the codecs allocate without bound.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace kpl::rastunes {

// The largest 24-bit frame a loader makes: a header promising more fails before anything
// large is allocated.
inline constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 30;
bool FrameFits(int64_t width, int64_t height);

// The size a picture header promises.
struct PictureSize {
  int32_t width;
  int32_t height;
};

// Reads up to `bytes` at `offset` of an open file, stopping at its end or a failure; the
// bytes read.
size_t ReadUpTo(int fd, uint64_t offset, void* out, size_t bytes);

// An open file, closed when it goes.
class UniqueFile {
 public:
  static UniqueFile OpenForReading(const char* path);
  static UniqueFile Create(const char* path);  // creates or replaces
  UniqueFile(UniqueFile&& other) noexcept;
  UniqueFile& operator=(UniqueFile&&) = delete;
  ~UniqueFile();

  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }
  std::optional<uint64_t> size() const;
  // Reads exactly `bytes` at `offset`; false when the file holds fewer.
  bool readAt(uint64_t offset, void* out, size_t bytes) const;
  // Reads up to `bytes` at `offset`, stopping at the end of the file or a failure; the bytes
  // read.
  size_t readUpTo(uint64_t offset, void* out, size_t bytes) const {
    return ReadUpTo(fd_, offset, out, bytes);
  }
  // Closes now; false when the close reports a failure.
  bool close();

 private:
  explicit UniqueFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Reads a file through an 8192-byte buffer: each refill zeroes the buffer, reads what the
// file still holds and serves the whole buffer, so reading past the end yields zeros.
class ZeroFillReader {
 public:
  static constexpr size_t kBufferBytes = 8192;
  static constexpr size_t kDirectBytes = 2048;  // reads this large skip the buffer
  explicit ZeroFillReader(int fd) : fd_(fd) {}

  uint8_t next() {
    if (position_ == kBufferBytes) refill();
    return buffer_[position_++];
  }
  void read(uint8_t* out, size_t bytes) {
    if (bytes <= kBufferBytes - position_) {  // the common case: all of it is buffered
      std::memcpy(out, buffer_.data() + position_, bytes);
      position_ += bytes;
      return;
    }
    readAcross(out, bytes);
  }
  void skip(uint64_t bytes);
  // Reads `count` rows of `bytes` each as read() would, the first to `first` and each next one
  // `step` bytes further, in few system calls.
  void readRows(uint8_t* first, ptrdiff_t step, size_t bytes, size_t count);
  // True after a read error (not after the end of the file, which reads as zeros).
  bool failed() const { return failed_; }

 private:
  void refill();
  void readAcross(uint8_t* out, size_t bytes);
  // Reads until `bytes` are in, the file ends or a read fails; the bytes read.
  size_t readUpTo(uint8_t* out, size_t bytes);
  int fd_;
  std::array<uint8_t, kBufferBytes> buffer_{};
  size_t position_ = kBufferBytes;
  bool atEnd_ = false;
  bool failed_ = false;
};

// Collects output and writes it in large pieces; remembers the first failure.
class BufferedWriter {
 public:
  explicit BufferedWriter(int fd) : fd_(fd) { buffer_.reserve(kBufferBytes); }
  void put(uint8_t byte) {
    if (buffer_.size() == kBufferBytes) flush();
    buffer_.push_back(byte);
  }
  void write(const void* data, size_t bytes);
  // Writes `count` rows of `bytes` each, the first at `first` and each next one `step` bytes
  // further (a negative step walks a bottom-up picture from its top), without copying them.
  void writeRows(const uint8_t* first, ptrdiff_t step, size_t bytes, size_t count);
  // Writes what is buffered; false if any write failed.
  bool flush();

 private:
  static constexpr size_t kBufferBytes = 1 << 16;
  int fd_;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
};

inline uint16_t Be16(const uint8_t* p) {
  return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void PutBe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

inline uint16_t Le16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

}  // namespace kpl::rastunes
