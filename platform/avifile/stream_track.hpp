#pragma once
// One stream of an AVI file as the services keep it, whether read or being written: its
// description, its format and where each of its chunks lies in the file.
#include <cstdint>
#include <vector>

#include "kpl/platform/avifile.h"

namespace kpl::avi {

class ByteFile;

struct IndexEntry {
  uint64_t offset = 0;  // of the chunk's data
  uint32_t size = 0;
  bool key = false;
};

class StreamTrack {
 public:
  AVISTREAMINFOA info;  // dwLength follows the index
  std::vector<uint8_t> format;

  // Bytes per sample of a stream whose samples all have one size, else 0 (one chunk, one
  // sample).
  uint32_t sampleBytes() const;
  const std::vector<IndexEntry>& index() const { return index_; }
  void append(const IndexEntry& entry);
  void setIndex(std::vector<IndexEntry> entries);
  // Samples in the stream.
  int64_t length() const;

  struct Piece {
    uint64_t offset;
    uint32_t bytes;
  };
  // Where samples [first, first + count) lie: for fixed-size samples the byte runs across the
  // chunks; for the others the one chunk of sample `first` (count is then 1). False when
  // `first` lies outside the stream.
  bool locate(int64_t first, int64_t count, std::vector<Piece>& pieces) const;
  // The key frame at or before `sample`, or -1.
  int64_t keyAtOrBefore(int64_t sample) const;
  bool isKey(int64_t sample) const;

 private:
  void recount();
  std::vector<IndexEntry> index_;
  std::vector<uint64_t> bytesBefore_;  // fixed-size streams: bytes before each chunk, and total
  std::vector<int64_t> keys_;          // varying-size streams: the key samples, ascending
};

}  // namespace kpl::avi
