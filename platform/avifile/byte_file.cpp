#include "byte_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace kpl::avi {

std::unique_ptr<ByteFile> ByteFile::openForReading(const char* name) {
  if (!name) return nullptr;
  int descriptor = ::open(name, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return nullptr;
  }
  return std::unique_ptr<ByteFile>(new ByteFile(descriptor));
}

std::unique_ptr<ByteFile> ByteFile::create(const char* name) {
  if (!name) return nullptr;
  int descriptor = ::open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  return std::unique_ptr<ByteFile>(new ByteFile(descriptor));
}

ByteFile::~ByteFile() {
  ::close(descriptor_);
}

uint64_t ByteFile::size() const {
  struct stat status {};
  return ::fstat(descriptor_, &status) == 0 ? uint64_t(status.st_size) : 0;
}

size_t ByteFile::readSomeAt(uint64_t offset, void* buffer, size_t bytes) const {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < bytes) {
    ssize_t got = ::pread(descriptor_, out + done, bytes - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

bool ByteFile::readAt(uint64_t offset, void* buffer, size_t bytes) const {
  return readSomeAt(offset, buffer, bytes) == bytes;
}

bool ByteFile::writeAt(uint64_t offset, std::span<const std::span<const uint8_t>> pieces) {
  std::vector<iovec> vectors;
  vectors.reserve(pieces.size());
  for (auto piece : pieces)
    if (!piece.empty()) vectors.push_back({const_cast<uint8_t*>(piece.data()), piece.size()});
  size_t first = 0;
  while (first < vectors.size()) {
    ssize_t put =
        ::pwritev(descriptor_, vectors.data() + first, int(vectors.size() - first), off_t(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    offset += uint64_t(put);
    size_t left = size_t(put);
    while (first < vectors.size() && left >= vectors[first].iov_len)
      left -= vectors[first++].iov_len;
    if (left) {
      vectors[first].iov_base = static_cast<uint8_t*>(vectors[first].iov_base) + left;
      vectors[first].iov_len -= left;
    }
  }
  return true;
}

bool ByteFile::writeAt(uint64_t offset, const void* data, size_t bytes) {
  std::span<const uint8_t> piece(static_cast<const uint8_t*>(data), bytes);
  return writeAt(offset, std::span(&piece, 1));
}

}  // namespace kpl::avi
