#pragma once
// Writing an AVI 1.0 file: the samples go into the movi list as they come, behind room kept
// for the headers; the headers, the idx1 index and the extra data chunks are written when the
// file is finished.
#include <cstdint>
#include <memory>
#include <vector>

#include "byte_file.hpp"
#include "kpl/platform/avifile.h"

namespace kpl::avi {

class FileStream;

class AviWriter {
 public:
  explicit AviWriter(ByteFile& file) : file_(file) {}

  HRESULT writeSample(FileStream& stream, const void* data, uint32_t bytes, bool key);
  HRESULT addExtra(uint32_t id, const void* data, uint32_t bytes);
  // Whether the streams' headers, with `formatBytes` as the format of stream `changed` (or a new
  // stream when `changed` is the stream count), still fit in front of the samples.
  bool headersFit(const std::vector<std::unique_ptr<FileStream>>& streams, size_t changed,
                  size_t formatBytes) const;
  // Writes headers, index and extra chunks. False when the file could not be completed.
  bool finish(const std::vector<std::unique_ptr<FileStream>>& streams);

 private:
  void startSamples(const std::vector<std::unique_ptr<FileStream>>& streams);
  std::vector<uint8_t> headerList(const std::vector<std::unique_ptr<FileStream>>& streams) const;

  struct Idx1Entry {
    uint32_t id, flags, offset, size;
  };
  struct Extra {
    uint32_t id;
    std::vector<uint8_t> data;
  };

  ByteFile& file_;
  bool started_ = false;
  uint64_t moviList_ = 0;  // offset of the LIST movi header
  uint64_t end_ = 0;       // where the next chunk goes
  std::vector<Idx1Entry> index_;
  std::vector<uint32_t> largestChunk_;  // per stream
  std::vector<Extra> extras_;
  uint64_t extraBytes_ = 0;
};

}  // namespace kpl::avi
