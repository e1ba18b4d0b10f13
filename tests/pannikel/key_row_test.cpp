// The colour key's bounds and its row pass, every way through a row the processor offers
// checked against the plain rule on rows of every length around the vector sizes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "blue_screen.hpp"

namespace {

using kpl::pannikel::KeyBounds;
using kpl::pannikel::KeyBoundsOf;
using kpl::pannikel::KeyRow;
using kpl::pannikel::RowStores;

struct Range {
  int low, high;
};

// The bounds as {blue, green, red} ranges.
std::vector<Range> RangesOf(const KeyBounds& k) {
  return {{k.low[0], k.high[0]}, {k.low[1], k.high[1]}, {k.low[2], k.high[2]}};
}

bool operator==(const Range& a, const Range& b) {
  return a.low == b.low && a.high == b.high;
}
std::ostream& operator<<(std::ostream& out, const Range& r) {
  return out << r.low << ".." << r.high;
}

TEST(KeyBounds, ChannelRangesAroundTheKey) {
  constexpr Range kNone{255, 0};
  struct Case {
    uint32_t key;
    int32_t tolerance;
    std::vector<Range> bgr;
  };
  const Case cases[] = {
      {0x800000, 20, {{103, 153}, {0, 25}, {0, 25}}},  // the defaults, t = 25
      {0x800000, 0, {{128, 128}, {0, 0}, {0, 0}}},
      {0x800000, 100, {{0, 255}, {0, 128}, {0, 128}}},              // t = 128
      {0x0000FF, 20, {{0, 25}, {0, 25}, {230, 255}}},               // pure red
      {0x10FA05, 1, {{15, 17}, {249, 251}, {4, 6}}},                // t = 1 (1.28 toward zero)
      {0x10FA05, 3, {{13, 19}, {247, 253}, {2, 8}}},                // t = 3 (3.84 toward zero)
      {0xFF123456, 0, {{0x12, 0x12}, {0x34, 0x34}, {0x56, 0x56}}},  // the top byte is no channel
      {0x800000, -1, {kNone, kNone, kNone}},                        // t = -1: empty
      {0x800000, -2147483647 - 1, {kNone, kNone, kNone}},
      {0x800000, 2147483647, {{0, 255}, {0, 255}, {0, 255}}},
      {0x808080, 16777216, {{0, 255}, {0, 255}, {0, 255}}},  // x 128 passes 2^31
  };
  for (const Case& c : cases)
    EXPECT_EQ(RangesOf(KeyBoundsOf(c.key, c.tolerance)), c.bgr)
        << std::hex << c.key << std::dec << " " << c.tolerance;
}

TEST(KeyRow, MatchesThePlainRuleOnEveryRowLength) {
  std::mt19937 random(7);
  auto byte = [&](int from, int to) {
    return uint8_t(std::uniform_int_distribution(from, to)(random));
  };
  const KeyBounds boundsList[] = {KeyBoundsOf(0x800000, 20), KeyBoundsOf(0x30C020, 10),
                                  KeyBoundsOf(0x800000, 0), KeyBoundsOf(0x800000, -5),
                                  KeyBoundsOf(0, 300)};
  std::vector<kpl::pannikel::KeyPath> paths = {kpl::pannikel::KeyPath::kPlain};
  if (kpl::pannikel::WidestKeyPath() >= kpl::pannikel::KeyPath::kRuns)
    paths.push_back(kpl::pannikel::KeyPath::kRuns);
  if (kpl::pannikel::WidestKeyPath() >= kpl::pannikel::KeyPath::kRunPairs)
    paths.push_back(kpl::pannikel::KeyPath::kRunPairs);
  if (kpl::pannikel::WidestKeyPath() >= kpl::pannikel::KeyPath::kLines)
    paths.push_back(kpl::pannikel::KeyPath::kLines);
  // The output row starts at every offset within a 64-byte line, so rows begin and end at every
  // point of a line; the guard bytes around the row find writes outside it.
  constexpr size_t kGuard = 64;
  for (const auto path : paths)
    for (const auto stores : {RowStores::kCached, RowStores::kStreamed})
      for (const KeyBounds& k : boundsList)
        for (size_t pixels = 0; pixels <= 70; ++pixels)
          for (size_t offset = 0; offset < 64; offset += pixels % 3 == 0 ? 1 : 7) {
            SCOPED_TRACE(testing::Message() << "path " << int(path) << ", stores " << int(stores)
                                            << ", " << pixels << " pixels at " << offset);
            const size_t bytes = 3 * pixels;
            std::vector<uint8_t> background(bytes + 1), foreground(bytes + 1);
            for (auto& b : background)
              b = byte(0, 255);
            for (size_t i = 0; i < bytes; i += 3)
              for (int c = 0; c < 3; ++c)  // mostly near the key, so both outcomes are common
                foreground[1 + i + c] = byte(std::max(0, std::min(k.low[c], k.high[c]) - 3),
                                             std::min(255, std::max(k.low[c], k.high[c]) + 3));
            std::vector<uint8_t> buffer(2 * kGuard + bytes + 64, 0xA5);
            const size_t lineStart = (64 - reinterpret_cast<uintptr_t>(buffer.data()) % 64) % 64;
            uint8_t* out = buffer.data() + lineStart + kGuard + offset;
            KeyRow(out, background.data() + 1, foreground.data() + 1, bytes,
                   kpl::pannikel::KeyPlan(k), path, stores);
            if (stores == RowStores::kStreamed) kpl::pannikel::EndStreamedStores();
            for (size_t i = 0; i < bytes; i += 3) {
              const uint8_t* f = &foreground[1 + i];
              bool keyed = true;
              for (int c = 0; c < 3; ++c)
                keyed = keyed && f[c] >= k.low[c] && f[c] <= k.high[c];
              const uint8_t* expected = keyed ? &background[1 + i] : f;
              for (int c = 0; c < 3; ++c)
                ASSERT_EQ(out[i + size_t(c)], expected[c]) << "pixel " << i / 3 << " byte " << c;
            }
            for (const uint8_t* b = buffer.data(); b < out; ++b)
              ASSERT_EQ(*b, 0xA5) << "written before the row";
            for (const uint8_t* b = out + bytes; b < buffer.data() + buffer.size(); ++b)
              ASSERT_EQ(*b, 0xA5) << "written after the row";
          }
}

}  // namespace
