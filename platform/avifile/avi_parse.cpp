#include "avi_parse.hpp"

#include <algorithm>
#include <cstring>

#include "le_bytes.hpp"
#include "riff_walk.hpp"

namespace kpl::avi {

namespace {

constexpr uint32_t kMaxFormatBytes = 1 << 20;
constexpr size_t kMaxStreams = 100;  // two decimal digits name a stream's chunks

void readMainHeader(const ByteFile& file, const ChunkAt& chunk, AVIFILEINFOA& main) {
  uint8_t header[56] = {};
  file.readSomeAt(chunk.data, header, size_t(std::min<uint64_t>(56, chunk.end - chunk.data)));
  const uint32_t microseconds = le32(header);
  main.dwMaxBytesPerSec = le32(header + 4);
  main.dwFlags = le32(header + 12);
  main.dwLength = le32(header + 16);
  main.dwStreams = le32(header + 24);
  main.dwSuggestedBufferSize = le32(header + 28);
  main.dwWidth = le32(header + 32);
  main.dwHeight = le32(header + 36);
  main.dwScale = microseconds;
  main.dwRate = microseconds ? 1000000 : 0;
}

void readStreamHeader(const ByteFile& file, const ChunkAt& chunk, AVISTREAMINFOA& info) {
  uint8_t h[64] = {};
  const size_t bytes = size_t(std::min<uint64_t>(64, chunk.end - chunk.data));
  file.readSomeAt(chunk.data, h, bytes);
  info.fccType = le32(h);
  info.fccHandler = le32(h + 4);
  info.dwFlags = le32(h + 8);
  info.wPriority = le16(h + 12);
  info.wLanguage = le16(h + 14);
  info.dwInitialFrames = le32(h + 16);
  info.dwScale = le32(h + 20);
  info.dwRate = le32(h + 24);
  info.dwStart = le32(h + 28);
  info.dwLength = le32(h + 32);
  info.dwSuggestedBufferSize = le32(h + 36);
  info.dwQuality = le32(h + 40);
  info.dwSampleSize = le32(h + 44);
  if (bytes >= 64) {
    info.rcFrame = {int32_t(le32(h + 48)), int32_t(le32(h + 52)), int32_t(le32(h + 56)),
                    int32_t(le32(h + 60))};
  } else {
    info.rcFrame = {int16_t(le16(h + 48)), int16_t(le16(h + 50)), int16_t(le16(h + 52)),
                    int16_t(le16(h + 54))};
  }
}

HRESULT readStreamList(const ByteFile& file, const ChunkAt& list, StreamTrack& track,
                       IndexSources::Range& superIndex) {
  HRESULT result = AVIERR_OK;
  bool hasHeader = false;
  walkChunks(file, list.data + 4, list.end, [&](const ChunkAt& chunk) {
    if (chunk.id == fourcc("strh")) {
      readStreamHeader(file, chunk, track.info);
      hasHeader = true;
    } else if (chunk.id == fourcc("strf")) {
      const uint64_t bytes = chunk.end - chunk.data;
      if (bytes > kMaxFormatBytes) {
        result = AVIERR_BADFORMAT;
        return false;
      }
      track.format.resize(size_t(bytes));
      if (!file.readAt(chunk.data, track.format.data(), track.format.size())) {
        result = AVIERR_FILEREAD;
        return false;
      }
    } else if (chunk.id == fourcc("strn")) {
      const size_t bytes = size_t(std::min<uint64_t>(63, chunk.end - chunk.data));
      file.readSomeAt(chunk.data, track.info.szName, bytes);
      track.info.szName[63] = 0;
    } else if (chunk.id == fourcc("indx")) {
      superIndex = {chunk.data, chunk.end};
    }
    return true;
  });
  if (result == AVIERR_OK && !hasHeader) result = AVIERR_BADFORMAT;
  return result;
}

}  // namespace

HRESULT parseAvi(const ByteFile& file, ParsedAvi& parsed) {
  const uint64_t fileSize = file.size();
  uint8_t riff[12];
  if (!file.readAt(0, riff, 12) || le32(riff) != kRiff || le32(riff + 8) != fourcc("AVI "))
    return AVIERR_BADFORMAT;
  uint64_t riffEnd = 8 + uint64_t(le32(riff + 4));
  // A writer that stopped early leaves the size short or zero: the file's end then counts.
  if (riffEnd < 12 || riffEnd > fileSize) riffEnd = fileSize;

  IndexSources sources;
  HRESULT result = AVIERR_OK;
  bool hasMainHeader = false;
  walkChunks(file, 12, riffEnd, [&](const ChunkAt& chunk) {
    if (chunk.id == kList && chunk.listType == fourcc("hdrl")) {
      walkChunks(file, chunk.data + 4, chunk.end, [&](const ChunkAt& inner) {
        if (inner.id == fourcc("avih")) {
          readMainHeader(file, inner, parsed.main);
          hasMainHeader = true;
        } else if (inner.id == kList && inner.listType == fourcc("strl")) {
          if (parsed.streams.size() >= kMaxStreams) return true;
          StreamTrack track;
          IndexSources::Range superIndex;
          result = readStreamList(file, inner, track, superIndex);
          if (result != AVIERR_OK) return false;
          parsed.streams.push_back(std::move(track));
          sources.superIndexes.push_back(superIndex);
        }
        return true;
      });
    } else if (chunk.id == kList && chunk.listType == fourcc("movi")) {
      if (sources.moviLists.empty()) sources.firstMoviType = chunk.data;
      sources.moviLists.push_back({chunk.data + 4, chunk.end});
    } else if (chunk.id == fourcc("idx1")) {
      sources.hasIdx1 = true;
      sources.idx1 = {chunk.data, chunk.end};
    } else if (chunk.id != fourcc("JUNK")) {
      parsed.extras.push_back({chunk.id, chunk.data, uint32_t(chunk.end - chunk.data)});
    }
    return result == AVIERR_OK;
  });
  if (result != AVIERR_OK) return result;
  if (!hasMainHeader || parsed.streams.empty()) return AVIERR_BADFORMAT;

  // OpenDML extensions: further RIFF AVIX forms, each with a movi list.
  walkChunks(file, 8 + padded(riffEnd - 8), fileSize, [&](const ChunkAt& chunk) {
    if (chunk.id != kRiff) return false;
    walkChunks(file, chunk.data + 4, chunk.end, [&](const ChunkAt& inner) {
      if (inner.id == kList && inner.listType == fourcc("movi"))
        sources.moviLists.push_back({inner.data + 4, inner.end});
      return true;
    });
    return true;
  });

  buildIndexes(file, sources, parsed.streams);
  parsed.main.dwStreams = uint32_t(parsed.streams.size());
  parsed.main.dwCaps = 1;  // can read
  for (const auto& track : parsed.streams) {
    if (track.info.fccType != streamtypeVIDEO) continue;
    parsed.main.dwScale = track.info.dwScale;
    parsed.main.dwRate = track.info.dwRate;
    parsed.main.dwLength = track.info.dwLength;
    break;
  }
  std::strncpy(parsed.main.szFileType, "AVI", sizeof parsed.main.szFileType - 1);
  return AVIERR_OK;
}

}  // namespace kpl::avi
