#include "avi_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "avi_objects.hpp"
#include "le_bytes.hpp"

namespace kpl::avi {

namespace {

// Offsets in idx1 and the RIFF size are 32-bit: an AVI 1.0 file stays below 4 GiB.
constexpr uint64_t kMaxFileBytes = 0xFFFFFF00ull;
// Room for a stream's format not yet set when the first sample is written: a bitmap header
// with a full palette, more than any wave format needs.
constexpr size_t kFormatAllowance = 40 + 256 * 4;
// Room for extra data chunks (a comment, ...) and a stream added late.
constexpr size_t kSpareHeaderBytes = 4096;
constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kRiff = fourcc("RIFF");
constexpr uint32_t kList = fourcc("LIST");

class Bytes {
 public:
  void u16(uint32_t v) { put(v, 2); }
  void u32(uint32_t v) { put(v, 4); }
  void raw(const void* data, size_t n) {
    auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + n);
  }
  // Starts a chunk; finish it with close(start).
  size_t open(uint32_t id) {
    u32(id);
    u32(0);
    return out.size();
  }
  void close(size_t start) {
    put32(out.data() + start - 4, uint32_t(out.size() - start));
    if (out.size() & 1) out.push_back(0);
  }
  std::vector<uint8_t> out;

 private:
  void put(uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
      out.push_back(uint8_t(v >> (8 * i)));
  }
};

uint32_t chunkIdFor(const FileStream& stream) {
  const size_t n = stream.number();
  const char tens = char('0' + n / 10 % 10), ones = char('0' + n % 10);
  const auto& info = stream.track().info;
  const auto& format = stream.track().format;
  if (info.fccType == streamtypeAUDIO) return mmioFOURCC(tens, ones, 'w', 'b');
  if (info.fccType == streamtypeVIDEO && format.size() >= 20 && le32(format.data() + 16) == 0)
    return mmioFOURCC(tens, ones, 'd', 'b');
  return mmioFOURCC(tens, ones, 'd', 'c');
}

size_t streamListBytes(const FileStream& stream, size_t formatBytes) {
  size_t name = std::strlen(stream.track().info.szName);
  return 12 + 8 + 56 + 8 + padded(formatBytes) + (name ? 8 + padded(name + 1) : 0);
}

}  // namespace

bool AviWriter::headersFit(const std::vector<std::unique_ptr<FileStream>>& streams, size_t changed,
                           size_t formatBytes) const {
  if (!started_) return true;
  size_t bytes = 12 + 12 + 8 + 56;
  for (size_t i = 0; i < streams.size(); ++i)
    bytes += streamListBytes(*streams[i],
                             i == changed ? formatBytes : streams[i]->track().format.size());
  if (changed >= streams.size()) bytes += 12 + 8 + 56 + 8 + padded(formatBytes) + 8 + 64;
  return bytes + 8 <= moviList_;
}

void AviWriter::startSamples(const std::vector<std::unique_ptr<FileStream>>& streams) {
  size_t bytes = 12 + 12 + 8 + 56 + kSpareHeaderBytes;
  for (const auto& stream : streams)
    bytes += streamListBytes(*stream, std::max(stream->track().format.size(), kFormatAllowance));
  for (const auto& extra : extras_)
    bytes += 8 + padded(extra.data.size());
  moviList_ = (bytes + 511) / 512 * 512;
  end_ = moviList_ + 12;
  started_ = true;
}

HRESULT AviWriter::writeSample(FileStream& stream, const void* data, uint32_t bytes, bool key) {
  auto& streams = stream.file().streams;
  if (!started_) startSamples(streams);
  const uint64_t chunkBytes = 8 + padded(bytes);
  const uint64_t indexBytes = 8 + 16 * (index_.size() + 1);
  if (end_ + chunkBytes + indexBytes + extraBytes_ > kMaxFileBytes) return AVIERR_FILEWRITE;

  uint8_t header[8];
  const uint32_t id = chunkIdFor(stream);
  put32(header, id);
  put32(header + 4, bytes);
  const uint8_t pad = 0;
  const std::span<const uint8_t> pieces[] = {
      {header, 8}, {static_cast<const uint8_t*>(data), bytes}, {&pad, size_t(bytes & 1)}};
  if (!file_.writeAt(end_, pieces)) return AVIERR_FILEWRITE;

  index_.push_back({id, key ? AVIIF_KEYFRAME : 0u, uint32_t(end_ - (moviList_ + 8)), bytes});
  if (largestChunk_.size() <= stream.number()) largestChunk_.resize(stream.number() + 1);
  largestChunk_[stream.number()] = std::max(largestChunk_[stream.number()], bytes);
  stream.track().append({end_ + 8, bytes, key});
  end_ += chunkBytes;
  return AVIERR_OK;
}

HRESULT AviWriter::addExtra(uint32_t id, const void* data, uint32_t bytes) {
  if (extraBytes_ + 8 + padded(bytes) > (16u << 20)) return AVIERR_MEMORY;
  if (started_ && end_ + extraBytes_ + 8 + padded(bytes) + 8 + 16 * index_.size() > kMaxFileBytes)
    return AVIERR_FILEWRITE;
  auto* p = static_cast<const uint8_t*>(data);
  extras_.push_back({id, std::vector<uint8_t>(p, p + bytes)});
  extraBytes_ += 8 + padded(bytes);
  return AVIERR_OK;
}

std::vector<uint8_t> AviWriter::headerList(
    const std::vector<std::unique_ptr<FileStream>>& streams) const {
  const FileStream* video = nullptr;
  for (const auto& stream : streams)
    if (!video && stream->track().info.fccType == streamtypeVIDEO) video = stream.get();

  Bytes b;
  const size_t hdrl = b.open(kList);
  b.u32(fourcc("hdrl"));
  const size_t avih = b.open(fourcc("avih"));
  uint32_t microseconds = 0, width = 0, height = 0, frames = 0, largest = 0;
  double bytesPerSecond = 0;
  for (const auto& stream : streams) {
    const auto& info = stream->track().info;
    const uint32_t chunk =
        stream->number() < largestChunk_.size() ? largestChunk_[stream->number()] : 0;
    largest = std::max(largest, chunk);
    if (info.dwScale && info.dwRate) {
      const double perSecond = double(info.dwRate) / info.dwScale;
      bytesPerSecond += perSecond * (info.dwSampleSize ? info.dwSampleSize : chunk);
    }
  }
  if (video) {
    const auto& info = video->track().info;
    if (info.dwRate)
      microseconds = uint32_t(std::llround(1e6 * double(info.dwScale) / double(info.dwRate)));
    frames = info.dwLength;
    const auto& format = video->track().format;
    if (format.size() >= 12) {
      width = le32(format.data() + 4);
      height = uint32_t(std::abs(int64_t(int32_t(le32(format.data() + 8)))));
    } else {
      width = uint32_t(info.rcFrame.right - info.rcFrame.left);
      height = uint32_t(info.rcFrame.bottom - info.rcFrame.top);
    }
  }
  b.u32(microseconds);
  b.u32(uint32_t(std::min(bytesPerSecond, 4e9)));
  b.u32(0);  // padding granularity
  b.u32(kHasIndex);
  b.u32(frames);
  b.u32(0);  // initial frames
  b.u32(uint32_t(streams.size()));
  b.u32(largest ? largest + 8 : 0);
  b.u32(width);
  b.u32(height);
  for (int i = 0; i < 4; ++i)
    b.u32(0);
  b.close(avih);

  for (const auto& stream : streams) {
    const auto& info = stream->track().info;
    const size_t strl = b.open(kList);
    b.u32(fourcc("strl"));
    const size_t strh = b.open(fourcc("strh"));
    b.u32(info.fccType);
    b.u32(info.fccHandler);
    b.u32(info.dwFlags);
    b.u16(info.wPriority);
    b.u16(info.wLanguage);
    b.u32(info.dwInitialFrames);
    b.u32(info.dwScale);
    b.u32(info.dwRate);
    b.u32(info.dwStart);
    b.u32(info.dwLength);
    const uint32_t chunk =
        stream->number() < largestChunk_.size() ? largestChunk_[stream->number()] : 0;
    b.u32(std::max(info.dwSuggestedBufferSize, chunk));
    b.u32(info.dwQuality);
    b.u32(info.dwSampleSize);
    b.u16(uint16_t(info.rcFrame.left));
    b.u16(uint16_t(info.rcFrame.top));
    b.u16(uint16_t(info.rcFrame.right));
    b.u16(uint16_t(info.rcFrame.bottom));
    b.close(strh);
    const size_t strf = b.open(fourcc("strf"));
    b.raw(stream->track().format.data(), stream->track().format.size());
    b.close(strf);
    if (size_t name = strnlen(info.szName, sizeof info.szName - 1)) {
      const size_t strn = b.open(fourcc("strn"));
      b.raw(info.szName, name);
      b.u32(0);
      b.out.resize(b.out.size() - 3);
      b.close(strn);
    }
    b.close(strl);
  }
  b.close(hdrl);
  return std::move(b.out);
}

bool AviWriter::finish(const std::vector<std::unique_ptr<FileStream>>& streams) {
  if (!started_) startSamples(streams);
  std::vector<uint8_t> front = headerList(streams);
  const uint64_t room = moviList_ - 12;
  if (front.size() + 8 > room) return false;  // SetFormat and CreateStream keep this from happening

  // Extra chunks go after the headers while they fit there, the others after the index.
  std::vector<uint8_t> back;
  for (const auto& extra : extras_) {
    auto& into = front.size() + 8 + padded(extra.data.size()) + 8 <= room ? front : back;
    uint8_t header[8];
    put32(header, extra.id);
    put32(header + 4, uint32_t(extra.data.size()));
    into.insert(into.end(), header, header + 8);
    into.insert(into.end(), extra.data.begin(), extra.data.end());
    if (extra.data.size() & 1) into.push_back(0);
  }
  uint8_t junk[8];
  put32(junk, fourcc("JUNK"));
  put32(junk + 4, uint32_t(room - front.size() - 8));
  front.insert(front.end(), junk, junk + 8);
  front.resize(size_t(room), 0);

  std::vector<uint8_t> index(8 + 16 * index_.size());
  put32(index.data(), fourcc("idx1"));
  put32(index.data() + 4, uint32_t(16 * index_.size()));
  for (size_t i = 0; i < index_.size(); ++i) {
    uint8_t* entry = index.data() + 8 + 16 * i;
    put32(entry, index_[i].id);
    put32(entry + 4, index_[i].flags);
    put32(entry + 8, index_[i].offset);
    put32(entry + 12, index_[i].size);
  }
  const uint64_t fileEnd = end_ + index.size() + back.size();

  uint8_t riff[12], movi[12];
  put32(riff, kRiff);
  put32(riff + 4, uint32_t(fileEnd - 8));
  put32(riff + 8, fourcc("AVI "));
  put32(movi, fourcc("LIST"));
  put32(movi + 4, uint32_t(end_ - (moviList_ + 8)));
  put32(movi + 8, fourcc("movi"));
  const std::span<const uint8_t> head[] = {{riff, 12}, {front.data(), front.size()}, {movi, 12}};
  const std::span<const uint8_t> tail[] = {{index.data(), index.size()},
                                           {back.data(), back.size()}};
  return file_.writeAt(0, head) && file_.writeAt(end_, tail);
}

}  // namespace kpl::avi
