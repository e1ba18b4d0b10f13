#pragma once
// Reading an AVI file's structure: main header, streams with their formats and indexes, and
// the extra data chunks.
#include <cstdint>
#include <vector>

#include "byte_file.hpp"
#include "kpl/platform/avifile.h"
#include "stream_track.hpp"

namespace kpl::avi {

struct ExtraChunk {
  uint32_t id = 0;
  uint64_t data = 0;  // offset of the data
  uint32_t size = 0;
};

struct ParsedAvi {
  AVIFILEINFOA main;
  std::vector<StreamTrack> streams;
  std::vector<ExtraChunk> extras;
};

// Where a stream's chunks were found: what the header chunks of the file point to.
struct IndexSources {
  struct Range {
    uint64_t begin = 0, end = 0;
  };
  std::vector<Range> moviLists;  // data of every movi list (first RIFF and AVIX extensions)
  uint64_t firstMoviType = 0;    // offset of the first movi list's type, base of idx1 offsets
  bool hasIdx1 = false;
  Range idx1;
  std::vector<Range> superIndexes;  // per stream; empty range when the stream has none
};

// The most index entries one file may bring, so that a hostile index cannot exhaust memory.
inline constexpr size_t kMaxIndexEntries = size_t(1) << 22;

HRESULT parseAvi(const ByteFile& file, ParsedAvi& parsed);
// Fills every stream's index from the OpenDML indexes when every stream has one, else from
// idx1, else from the chunks of the movi lists.
void buildIndexes(const ByteFile& file, const IndexSources& sources,
                  std::vector<StreamTrack>& streams);

}  // namespace kpl::avi
