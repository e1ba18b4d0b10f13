// The three ways to find a stream's chunks: OpenDML indexes (indx / ix##), the idx1 index, and,
// for files without either, the chunks of the movi lists themselves.
#include <algorithm>

#include "avi_parse.hpp"
#include "le_bytes.hpp"
#include "riff_walk.hpp"

namespace kpl::avi {

namespace {

// The stream number of a chunk id "NNxx", or -1.
int streamOfChunk(uint32_t id) {
  const int tens = int(id & 0xFF) - '0';
  const int ones = int((id >> 8) & 0xFF) - '0';
  if (tens < 0 || tens > 9 || ones < 0 || ones > 9) return -1;
  return tens * 10 + ones;
}

class EntrySink {
 public:
  EntrySink(uint64_t fileSize, size_t streams) : fileSize_(fileSize), entries_(streams) {}
  // False once the limit is reached.
  bool add(size_t stream, uint64_t offset, uint64_t size, bool key) {
    if (total_ >= kMaxIndexEntries) return false;
    if (stream >= entries_.size() || size > 0x7FFFFFFF || offset > fileSize_ ||
        size > fileSize_ - offset)
      return true;  // a chunk the file does not hold is left out
    entries_[stream].push_back({offset, uint32_t(size), key});
    ++total_;
    return true;
  }
  size_t total() const { return total_; }
  void handTo(std::vector<StreamTrack>& streams) {
    for (size_t i = 0; i < streams.size(); ++i)
      streams[i].setIndex(std::move(entries_[i]));
  }

 private:
  uint64_t fileSize_;
  std::vector<std::vector<IndexEntry>> entries_;
  size_t total_ = 0;
};

// A standard index (ix## chunk or an indx holding chunks directly), from its 24-byte header on.
bool readStandardIndex(const ByteFile& file, uint64_t begin, uint64_t end, size_t stream,
                       EntrySink& sink) {
  uint8_t header[24];
  if (end < begin + 24 || !file.readAt(begin, header, 24)) return false;
  const unsigned longsPerEntry = le16(header);
  if (header[3] != 1 || longsPerEntry < 2) return false;  // AVI_INDEX_OF_CHUNKS
  const uint64_t base = le64(header + 12);
  const uint64_t entryBytes = longsPerEntry * 4ull;
  const uint64_t count = std::min<uint64_t>(le32(header + 4), (end - begin - 24) / entryBytes);
  std::vector<uint8_t> block;
  constexpr uint64_t kBlockEntries = 4096;
  for (uint64_t done = 0; done < count;) {
    const uint64_t now = std::min(kBlockEntries, count - done);
    block.resize(size_t(now * entryBytes));
    if (!file.readAt(begin + 24 + done * entryBytes, block.data(), block.size())) return false;
    for (uint64_t i = 0; i < now; ++i) {
      const uint8_t* entry = block.data() + i * entryBytes;
      const uint32_t size = le32(entry + 4);
      if (!sink.add(stream, base + le32(entry), size & 0x7FFFFFFF, !(size & 0x80000000)))
        return false;
    }
    done += now;
  }
  return true;
}

bool readSuperIndex(const ByteFile& file, const IndexSources::Range& range, size_t stream,
                    EntrySink& sink) {
  uint8_t header[24];
  if (range.end < range.begin + 24 || !file.readAt(range.begin, header, 24)) return false;
  if (header[3] == 1) return readStandardIndex(file, range.begin, range.end, stream, sink);
  if (header[3] != 0 || le16(header) != 4) return false;  // AVI_INDEX_OF_INDEXES
  // A real super index names one standard index per gigabyte or so; more is hostile.
  constexpr uint64_t kMaxStandardIndexes = 1 << 16;
  const uint64_t count = std::min<uint64_t>(
      {le32(header + 4), (range.end - range.begin - 24) / 16, kMaxStandardIndexes});
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t entry[16];
    if (!file.readAt(range.begin + 24 + i * 16, entry, 16)) return false;
    const uint64_t chunk = le64(entry);
    uint8_t chunkHeader[8];
    if (!file.readAt(chunk, chunkHeader, 8)) return false;
    const uint64_t end = std::min(chunk + 8 + le32(chunkHeader + 4), file.size());
    if (!readStandardIndex(file, chunk + 8, end, stream, sink)) return false;
  }
  return true;
}

bool readIdx1(const ByteFile& file, const IndexSources& sources, EntrySink& sink) {
  const uint64_t count = (sources.idx1.end - sources.idx1.begin) / 16;
  // Offsets count from the movi list's type, or, in some writers' files, from the file's start.
  int64_t base = -1;
  std::vector<uint8_t> block;
  constexpr uint64_t kBlockEntries = 4096;
  for (uint64_t done = 0; done < count;) {
    const uint64_t now = std::min(kBlockEntries, count - done);
    block.resize(size_t(now * 16));
    if (!file.readAt(sources.idx1.begin + done * 16, block.data(), block.size())) return false;
    for (uint64_t i = 0; i < now; ++i) {
      const uint8_t* entry = block.data() + i * 16;
      const uint32_t id = le32(entry);
      const int stream = streamOfChunk(id);
      if (stream < 0) continue;
      const uint64_t offset = le32(entry + 8);
      if (base < 0) {
        uint8_t found[4];
        const uint64_t relative = sources.firstMoviType + offset;
        if (file.readAt(relative, found, 4) && le32(found) == id)
          base = int64_t(sources.firstMoviType);
        else if (file.readAt(offset, found, 4) && le32(found) == id)
          base = 0;
        else
          base = int64_t(sources.firstMoviType);
      }
      if (!sink.add(size_t(stream), uint64_t(base) + offset + 8, le32(entry + 12),
                    (le32(entry + 4) & AVIIF_KEYFRAME) != 0))
        return false;
    }
    done += now;
  }
  return true;
}

void scanMovi(const ByteFile& file, const IndexSources& sources, EntrySink& sink) {
  bool full = false;
  auto visit = [&](const ChunkAt& chunk, auto& self) -> bool {
    if (chunk.id == kList) {
      walkChunks(file, chunk.data + 4, chunk.end,
                 [&](const ChunkAt& inner) { return inner.id != kList && self(inner, self); });
      return !full;
    }
    const int stream = streamOfChunk(chunk.id);
    if (stream >= 0 && !sink.add(size_t(stream), chunk.data, chunk.size, true)) full = true;
    return !full;
  };
  for (const auto& movi : sources.moviLists) {
    walkChunks(file, movi.begin, movi.end,
               [&](const ChunkAt& chunk) { return visit(chunk, visit); });
    if (full) break;
  }
}

}  // namespace

void buildIndexes(const ByteFile& file, const IndexSources& sources,
                  std::vector<StreamTrack>& streams) {
  const uint64_t fileSize = file.size();
  const bool everyStreamHasIndx =
      std::all_of(sources.superIndexes.begin(), sources.superIndexes.end(),
                  [](const IndexSources::Range& range) { return range.end > range.begin; });
  if (everyStreamHasIndx) {
    EntrySink sink(fileSize, streams.size());
    bool complete = true;
    for (size_t i = 0; i < streams.size() && complete; ++i)
      complete = readSuperIndex(file, sources.superIndexes[i], i, sink);
    if (complete && sink.total()) return sink.handTo(streams);
  }
  if (sources.hasIdx1) {
    EntrySink sink(fileSize, streams.size());
    if (readIdx1(file, sources, sink) && sink.total()) return sink.handTo(streams);
  }
  EntrySink sink(fileSize, streams.size());
  scanMovi(file, sources, sink);
  sink.handTo(streams);
}

}  // namespace kpl::avi
