#include "picture_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "kpl/support/dib_lib.hpp"

namespace kpl::rastunes {

bool FrameFits(int64_t width, int64_t height) {
  return width > 0 && height > 0 &&
         kBitmapHeaderBytes + RowBytes24(width) * uint64_t(height) <= kMaxFrameBytes;
}

UniqueFile UniqueFile::OpenForReading(const char* path) {
  return UniqueFile(path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1);
}

UniqueFile UniqueFile::Create(const char* path) {
  return UniqueFile(path ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1);
}

UniqueFile::UniqueFile(UniqueFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFile::~UniqueFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<uint64_t> UniqueFile::size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return uint64_t(st.st_size);
}

bool UniqueFile::readAt(uint64_t offset, void* out, size_t bytes) const {
  return readUpTo(offset, out, bytes) == bytes;
}

size_t ReadUpTo(int fd, uint64_t offset, void* out, size_t bytes) {
  auto* o = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < bytes && offset + done <= uint64_t(INT64_MAX)) {
    const ssize_t got = ::pread(fd, o + done, bytes - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

bool UniqueFile::close() {
  const int fd = std::exchange(fd_, -1);
  return fd >= 0 && ::close(fd) == 0;
}

size_t ZeroFillReader::readUpTo(uint8_t* out, size_t bytes) {
  size_t filled = 0;
  while (!atEnd_ && !failed_ && filled < bytes) {
    const ssize_t got = ::read(fd_, out + filled, bytes - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed_ = true;
    if (got <= 0)
      atEnd_ = true;
    else
      filled += size_t(got);
  }
  return filled;
}

void ZeroFillReader::refill() {
  buffer_.fill(0);
  position_ = 0;
  readUpTo(buffer_.data(), kBufferBytes);
}

void ZeroFillReader::readAcross(uint8_t* out, size_t bytes) {
  const size_t buffered = kBufferBytes - position_;
  std::memcpy(out, buffer_.data() + position_, buffered);
  position_ = kBufferBytes;
  out += buffered;
  bytes -= buffered;
  if (bytes < kDirectBytes) {
    refill();
    std::memcpy(out, buffer_.data(), bytes);
    position_ = bytes;
    return;
  }
  // Large reads go straight to the caller, zero-filled past the end as a refill would serve
  // them; the file is read in the same order either way.
  const size_t filled = readUpTo(out, bytes);
  std::memset(out + filled, 0, bytes - filled);
}

void ZeroFillReader::readRows(uint8_t* first, ptrdiff_t step, size_t bytes, size_t count) {
  // Rows that start inside the buffer are served from it.
  while (count > 0 && position_ != kBufferBytes) {
    read(first, bytes);
    first += step;
    --count;
  }
  constexpr size_t kBatch = 512;
  iovec parts[kBatch];
  while (count > 0) {
    const size_t n = std::min(count, kBatch);
    for (size_t i = 0; i < n; ++i)
      parts[i] = {first + ptrdiff_t(i) * step, bytes};
    size_t filled = 0;
    const size_t wanted = n * bytes;
    while (!atEnd_ && !failed_ && filled < wanted) {
      // Continue where a short read stopped: skip the rows already complete.
      size_t row = filled / bytes;
      const size_t into = filled % bytes;
      parts[row].iov_base = first + ptrdiff_t(row) * step + ptrdiff_t(into);
      parts[row].iov_len = bytes - into;
      const ssize_t got = ::readv(fd_, parts + row, int(n - row));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) failed_ = true;
      if (got <= 0)
        atEnd_ = true;
      else
        filled += size_t(got);
    }
    // Past the end of the file the rows read as zeros.
    for (size_t at = filled; at < wanted;) {
      const size_t row = at / bytes, into = at % bytes;
      std::memset(first + ptrdiff_t(row) * step + ptrdiff_t(into), 0, bytes - into);
      at += bytes - into;
    }
    first += ptrdiff_t(n) * step;
    count -= n;
  }
}

void ZeroFillReader::skip(uint64_t bytes) {
  while (bytes > 0) {
    if (position_ == kBufferBytes) refill();
    const size_t n = size_t(std::min<uint64_t>(bytes, kBufferBytes - position_));
    position_ += n;
    bytes -= n;
  }
}

void BufferedWriter::write(const void* data, size_t bytes) {
  const auto* d = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    if (buffer_.size() == kBufferBytes) flush();
    const size_t n = std::min(bytes, kBufferBytes - buffer_.size());
    buffer_.insert(buffer_.end(), d, d + n);
    d += n;
    bytes -= n;
  }
}

void BufferedWriter::writeRows(const uint8_t* first, ptrdiff_t step, size_t bytes, size_t count) {
  constexpr size_t kBatch = 256;
  iovec parts[kBatch];
  while (count > 0 && flush()) {
    const size_t n = std::min(count, kBatch);
    for (size_t i = 0; i < n; ++i, first += step)
      parts[i] = {const_cast<uint8_t*>(first), bytes};
    ssize_t written = ::writev(fd_, parts, int(n));
    if (written < 0 && errno == EINTR) written = 0;
    if (written < 0) {
      failed_ = true;
      return;
    }
    // Whatever a short write left goes through the buffer.
    size_t done = size_t(written);
    for (size_t i = 0; i < n; ++i) {
      const size_t skip = std::min(done, bytes);
      done -= skip;
      if (skip < bytes) write(static_cast<const uint8_t*>(parts[i].iov_base) + skip, bytes - skip);
    }
    count -= n;
  }
}

bool BufferedWriter::flush() {
  const uint8_t* p = buffer_.data();
  size_t left = buffer_.size();
  while (left > 0 && !failed_) {
    const ssize_t done = ::write(fd_, p, left);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0)
      failed_ = true;
    else {
      p += done;
      left -= size_t(done);
    }
  }
  buffer_.clear();
  return !failed_;
}

}  // namespace kpl::rastunes
