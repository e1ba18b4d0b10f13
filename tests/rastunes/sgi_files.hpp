#pragma once
// SGI files built value by value: the header, verbatim planes and run-length rows.
#include "rastunes_fixture.hpp"

namespace rastunes_test {

struct SgiSpec {
  uint8_t storage = 0;  // 1: run-length
  uint8_t bytesPerValue = 1;
  uint16_t dimension = 3;
  uint16_t width = 0, height = 0, channels = 3;
  int32_t minimum = 0, maximum = 255;
  uint32_t colourMap = 0;
};

inline Bytes SgiHeader(const SgiSpec& s) {
  Bytes b(512, 0);
  PutBe16(b, 0, 474);
  b[2] = s.storage;
  b[3] = s.bytesPerValue;
  PutBe16(b, 4, s.dimension);
  PutBe16(b, 6, s.width);
  PutBe16(b, 8, s.height);
  PutBe16(b, 10, s.channels);
  PutBe32(b, 12, uint32_t(s.minimum));
  PutBe32(b, 16, uint32_t(s.maximum));
  PutBe32(b, 104, s.colourMap);
  return b;
}

// A verbatim file: planes[c][r] is row r (from the bottom) of channel c.
inline Bytes Verbatim(const SgiSpec& s,
                      const std::vector<std::vector<std::vector<uint32_t>>>& planes) {
  Bytes b = SgiHeader(s);
  for (const auto& plane : planes)
    for (const auto& row : plane)
      for (uint32_t v : row) {
        if (s.bytesPerValue == 1) {
          b.push_back(uint8_t(v));
        } else {
          b.push_back(uint8_t(v >> 8));
          b.push_back(uint8_t(v));
        }
      }
  return b;
}

// A run-length file: rows[c][r] holds the coded bytes of row r of channel c.
inline Bytes RunLength(const SgiSpec& s, const std::vector<std::vector<Bytes>>& rows) {
  Bytes b = SgiHeader(s);
  const size_t entries = size_t(s.height) * s.channels;
  Bytes starts(entries * 4), lengths(entries * 4), data;
  const size_t at = 512 + 8 * entries;
  for (size_t c = 0; c < rows.size(); ++c)
    for (size_t r = 0; r < rows[c].size(); ++r) {
      const size_t i = c * s.height + r;
      PutBe32(starts, 4 * i, uint32_t(at + data.size()));
      PutBe32(lengths, 4 * i, uint32_t(rows[c][r].size()));
      data.insert(data.end(), rows[c][r].begin(), rows[c][r].end());
    }
  return Joined(Joined(Joined(b, starts), lengths), data);
}

}  // namespace rastunes_test
