// Multimedia file I/O: a read position over a file, and RIFF chunk navigation from it.
#include <cstring>
#include <exception>
#include <memory>

#include "byte_file.hpp"
#include "kpl/platform/avifile.h"
#include "le_bytes.hpp"

using kpl::avi::ByteFile;

struct MmioFile {
  std::unique_ptr<ByteFile> file;
  uint64_t size = 0;
  uint64_t position = 0;
  // One window of the file, so that the many small reads of a header walk do not each reach
  // the system.
  uint8_t window[4096];
  uint64_t windowStart = 0;
  size_t windowBytes = 0;

  size_t read(uint8_t* out, size_t bytes) {
    if (position >= size) return 0;
    if (bytes > size - position) bytes = size_t(size - position);
    size_t done = 0;
    while (done < bytes) {
      uint64_t at = position + done;
      if (at >= windowStart && at < windowStart + windowBytes) {
        size_t take = std::min(bytes - done, size_t(windowStart + windowBytes - at));
        std::memcpy(out + done, window + (at - windowStart), take);
        done += take;
      } else if (bytes - done >= sizeof window) {
        size_t got = file->readSomeAt(at, out + done, bytes - done);
        done += got;
        break;
      } else {
        windowStart = at;
        windowBytes = file->readSomeAt(at, window, sizeof window);
        if (!windowBytes) break;
      }
    }
    position += done;
    return done;
  }
};

namespace {

constexpr uint64_t kMaxPosition = 0x7FFFFFFF;

template <class Call>
auto guarded(auto failure, Call&& call) noexcept -> decltype(failure) {
  try {
    return call();
  } catch (...) {
    return failure;
  }
}

}  // namespace

extern "C" {

HMMIO mmioOpenA(const char* fileName, void*, uint32_t) {
  return guarded(HMMIO(nullptr), [&]() -> HMMIO {
    auto file = ByteFile::openForReading(fileName);
    if (!file) return nullptr;
    auto mmio = std::make_unique<MmioFile>();
    mmio->size = file->size();
    mmio->file = std::move(file);
    return mmio.release();
  });
}

MMRESULT mmioClose(HMMIO file, uint32_t) {
  if (!file) return MMSYSERR_INVALHANDLE;
  std::unique_ptr<MmioFile> owned(file);
  return MMSYSERR_NOERROR;
}

int32_t mmioSeek(HMMIO file, int32_t offset, int32_t origin) {
  if (!file) return -1;
  int64_t base = origin == SEEK_SET   ? 0
                 : origin == SEEK_CUR ? int64_t(file->position)
                 : origin == SEEK_END ? int64_t(file->size)
                                      : -1;
  if (base < 0) return -1;
  int64_t target = base + offset;
  if (target < 0 || uint64_t(target) > kMaxPosition) return -1;
  file->position = uint64_t(target);
  return int32_t(target);
}

int32_t mmioRead(HMMIO file, char* buffer, int32_t bytes) {
  if (!file || bytes < 0 || (!buffer && bytes > 0)) return -1;
  return guarded(int32_t(-1), [&] {
    return int32_t(file->read(reinterpret_cast<uint8_t*>(buffer), size_t(bytes)));
  });
}

MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, uint32_t flags) {
  if (!file) return MMSYSERR_INVALHANDLE;
  if (!chunk) return MMSYSERR_INVALPARAM;
  return guarded(MMRESULT(MMIOERR_CANNOTREAD), [&]() -> MMRESULT {
    const FOURCC wantedId = chunk->ckid;
    const FOURCC wantedType = chunk->fccType;
    uint64_t end = file->size;
    if (parent) end = std::min(end, uint64_t(parent->dwDataOffset) + parent->cksize);
    // Every step moves at least one chunk header forward, so the walk ends at `end`.
    while (file->position + 8 <= end) {
      const uint64_t start = file->position;
      uint8_t header[12];
      if (file->read(header, 8) != 8) return MMIOERR_CHUNKNOTFOUND;
      MMCKINFO found;
      found.ckid = kpl::avi::le32(header);
      found.cksize = kpl::avi::le32(header + 4);
      found.dwDataOffset = uint32_t(start + 8);
      const bool isForm = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
      if (isForm) {
        if (file->read(header + 8, 4) != 4) return MMIOERR_CHUNKNOTFOUND;
        found.fccType = kpl::avi::le32(header + 8);
      }
      bool matches = true;
      if (flags & MMIO_FINDCHUNK)
        matches = found.ckid == wantedId;
      else if (flags & MMIO_FINDRIFF)
        matches = found.ckid == FOURCC_RIFF && (!wantedType || found.fccType == wantedType);
      else if (flags & MMIO_FINDLIST)
        matches = found.ckid == FOURCC_LIST && (!wantedType || found.fccType == wantedType);
      if (matches) {
        *chunk = found;
        return MMSYSERR_NOERROR;
      }
      const uint64_t next = start + 8 + kpl::avi::padded(found.cksize);
      if (next > kMaxPosition) return MMIOERR_CHUNKNOTFOUND;
      file->position = next;
    }
    return MMIOERR_CHUNKNOTFOUND;
  });
}

MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, uint32_t) {
  if (!file) return MMSYSERR_INVALHANDLE;
  if (!chunk) return MMSYSERR_INVALPARAM;
  const uint64_t next = uint64_t(chunk->dwDataOffset) + kpl::avi::padded(chunk->cksize);
  if (next > kMaxPosition) return MMIOERR_CANNOTSEEK;
  file->position = next;
  return MMSYSERR_NOERROR;
}

}  // extern "C"
