#pragma once
// Small AVI and WAVE files built byte by byte, so each test states exactly the headers it
// reads; and the few facts the tests read back out of a RIFF file.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_bytes.hpp"

namespace clipvane_test {

using file_bytes::Bytes;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutId(Bytes& b, std::string_view id) {
  b.insert(b.end(), id.begin(), id.begin() + 4);
}
inline void Append(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}
inline uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

// A chunk: identifier, size, data and the pad byte of an odd size.
inline Bytes Chunk(std::string_view id, const Bytes& data) {
  Bytes b;
  PutId(b, id);
  Put32(b, uint32_t(data.size()));
  Append(b, data);
  if (data.size() % 2) b.push_back(0);
  return b;
}
// A RIFF or LIST chunk of the given type around its children.
inline Bytes List(std::string_view id, std::string_view type, const std::vector<Bytes>& children) {
  Bytes data;
  PutId(data, type);
  for (const Bytes& child : children)
    Append(data, child);
  return Chunk(id, data);
}

struct VideoStream {
  uint32_t rate = 25, scale = 1, start = 0;
  std::optional<uint32_t> length;  // default: the frames given
  int32_t width = 4, height = 2;
  std::vector<Bytes> frames;  // uncompressed 24-bit pixel data, one per frame
};

struct AudioStream {
  uint16_t channels = 1;
  uint32_t sampleRate = 11025;
  uint16_t bits = 16;
  Bytes data;  // interleaved PCM
};

struct AviSpec {
  uint32_t microSecondsPerFrame = 40000;
  std::optional<uint32_t> totalFrames;  // default: the first video stream's frames
  std::vector<VideoStream> video;
  std::vector<AudioStream> audio;
};

inline uint32_t RowBytes24(int32_t width) {
  return (uint32_t(width) * 3 + 3) / 4 * 4;
}

// An AVI 1.0 file with an idx1 index: the video streams first, then the audio streams; every
// audio stream's data in one chunk.
inline Bytes AviFile(const AviSpec& spec) {
  const uint32_t streams = uint32_t(spec.video.size() + spec.audio.size());
  const VideoStream* first = spec.video.empty() ? nullptr : &spec.video.front();
  Bytes avih;
  Put32(avih, spec.microSecondsPerFrame);
  Put32(avih, 0);
  Put32(avih, 0);
  Put32(avih, 0x10);  // has an index
  Put32(avih, spec.totalFrames.value_or(first ? uint32_t(first->frames.size()) : 0));
  Put32(avih, 0);
  Put32(avih, streams);
  Put32(avih, 0);
  Put32(avih, first ? uint32_t(first->width) : 0);
  Put32(avih, first ? uint32_t(first->height) : 0);
  for (int i = 0; i < 4; ++i)
    Put32(avih, 0);

  std::vector<Bytes> headers = {Chunk("avih", avih)};
  for (const VideoStream& v : spec.video) {
    Bytes strh, strf;
    PutId(strh, "vids");
    Put32(strh, 0);
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put32(strh, 0);
    Put32(strh, v.scale);
    Put32(strh, v.rate);
    Put32(strh, v.start);
    Put32(strh, v.length.value_or(uint32_t(v.frames.size())));
    Put32(strh, RowBytes24(v.width) * uint32_t(v.height));
    Put32(strh, 0xFFFFFFFF);
    Put32(strh, 0);
    for (int16_t c : {int16_t(0), int16_t(0), int16_t(v.width), int16_t(v.height)})
      Put16(strh, uint16_t(c));
    Put32(strf, 40);
    Put32(strf, uint32_t(v.width));
    Put32(strf, uint32_t(v.height));
    Put16(strf, 1);
    Put16(strf, 24);
    Put32(strf, 0);
    Put32(strf, RowBytes24(v.width) * uint32_t(v.height));
    for (int i = 0; i < 4; ++i)
      Put32(strf, 0);
    headers.push_back(List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", strf)}));
  }
  for (const AudioStream& a : spec.audio) {
    const uint16_t align = uint16_t(a.channels * a.bits / 8);
    Bytes strh, strf;
    PutId(strh, "auds");
    Put32(strh, 0);
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put32(strh, 0);
    Put32(strh, 1);
    Put32(strh, a.sampleRate);
    Put32(strh, 0);
    Put32(strh, uint32_t(a.data.size() / align));
    Put32(strh, uint32_t(a.data.size()));
    Put32(strh, 0xFFFFFFFF);
    Put32(strh, align);
    for (int i = 0; i < 4; ++i)
      Put16(strh, 0);
    Put16(strf, 1);
    Put16(strf, a.channels);
    Put32(strf, a.sampleRate);
    Put32(strf, a.sampleRate * align);
    Put16(strf, align);
    Put16(strf, a.bits);
    headers.push_back(List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", strf)}));
  }

  // The index points at each chunk's header, counted from the "movi" type.
  Bytes movi, idx1;
  PutId(movi, "movi");
  auto add = [&](const std::string& id, const Bytes& data) {
    Append(idx1, [&] {
      Bytes e;
      PutId(e, id);
      Put32(e, 0x10);
      Put32(e, uint32_t(movi.size()));
      Put32(e, uint32_t(data.size()));
      return e;
    }());
    Append(movi, Chunk(id, data));
  };
  auto twoDigits = [](size_t n) { return std::string(1, char('0' + n / 10)) + char('0' + n % 10); };
  size_t longest = 0;
  for (const VideoStream& v : spec.video)
    longest = std::max(longest, v.frames.size());
  for (size_t f = 0; f < longest; ++f)
    for (size_t s = 0; s < spec.video.size(); ++s)
      if (f < spec.video[s].frames.size()) add(twoDigits(s) + "db", spec.video[s].frames[f]);
  for (size_t s = 0; s < spec.audio.size(); ++s)
    add(twoDigits(spec.video.size() + s) + "wb", spec.audio[s].data);

  Bytes file = List("RIFF", "AVI ",
                    {List("LIST", "hdrl", headers), Chunk("LIST", movi), Chunk("idx1", idx1)});
  return file;
}

inline Bytes WaveFile(const AudioStream& a) {
  Bytes fmt;
  const uint16_t align = uint16_t(a.channels * a.bits / 8);
  Put16(fmt, 1);
  Put16(fmt, a.channels);
  Put32(fmt, a.sampleRate);
  Put32(fmt, a.sampleRate * align);
  Put16(fmt, align);
  Put16(fmt, a.bits);
  return List("RIFF", "WAVE", {Chunk("fmt ", fmt), Chunk("data", a.data)});
}

// A frame of 24-bit pixel data whose every byte tells its frame: (frame * 7 + byte) & 0xFF.
inline Bytes NumberedFrame(int32_t width, int32_t height, uint32_t frame) {
  Bytes b(RowBytes24(width) * uint32_t(height));
  for (size_t i = 0; i < b.size(); ++i)
    b[i] = uint8_t(frame * 7 + i);
  return b;
}

// 16-bit mono samples whose values count up from `first`.
inline Bytes CountingSamples(uint32_t count, int16_t first) {
  Bytes b;
  for (uint32_t i = 0; i < count; ++i)
    Put16(b, uint16_t(int16_t(first + int32_t(i))));
  return b;
}

// Where the chunk (or list) with this identifier (and type) starts, searching the file's bytes.
inline std::optional<size_t> FindTag(const Bytes& file, std::string_view tag, size_t from = 0) {
  for (size_t at = from; at + tag.size() <= file.size(); ++at)
    if (std::memcmp(file.data() + at, tag.data(), tag.size()) == 0) return at;
  return std::nullopt;
}

}  // namespace clipvane_test
