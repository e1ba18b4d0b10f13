// The five transitions' answers to the exports: one template over each type's block, settings
// lines, name suffix and geometry.
#include <cstdio>
#include <cstring>
#include <span>

#include "geometry.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/settings_line.hpp"
#include "transition.hpp"
#include "transvella_types.hpp"

namespace kpl::transvella {
namespace {

// One settings line: its line index is its place in the type's list; its key is written but
// never read back.
template <class Block>
struct SettingLine {
  const char* key;
  int32_t (*get)(const Block&);
  void (*set)(Block&, int32_t);
};

template <class Block>
constexpr SettingLine<Block> kDegreeLine = {"DEGREE", [](const Block& b) { return b.degree; },
                                            [](Block& b, int32_t v) { b.degree = v; }};
constexpr SettingLine<DegreeReverseBlock> kReverseLine = {
    "REVERSE", [](const DegreeReverseBlock& b) { return int32_t(b.reverse ? 1 : 0); },
    [](DegreeReverseBlock& b, int32_t v) { b.reverse = v == 1 ? 1 : 0; }};
constexpr SettingLine<TileBlock> kWidthLine = {"WIDTH",
                                               [](const TileBlock& b) { return b.columns; },
                                               [](TileBlock& b, int32_t v) { b.columns = v; }};
constexpr SettingLine<TileBlock> kHeightLine = {"HEIGHT", [](const TileBlock& b) { return b.rows; },
                                                [](TileBlock& b, int32_t v) { b.rows = v; }};

constexpr char kDegreeSign[] = "\xB0";  // code page 1252

struct Push {
  using Block = DegreeBlock;
  static constexpr uint32_t kNameString = 1, kFirstIcon = 1;
  static constexpr SettingLine<Block> kLines[] = {kDegreeLine<Block>};
  static Block initial() { return {}; }
  static int suffix(char* text, size_t room, const Block& b) {
    return std::snprintf(text, room, " (%d%s)", int(b.degree), kDegreeSign);
  }
  static PushGeometry geometry(const Block& b) { return {b.degree}; }
};

struct Slide {
  using Block = DegreeReverseBlock;
  static constexpr uint32_t kNameString = 1201, kFirstIcon = 1201;
  static constexpr SettingLine<Block> kLines[] = {kDegreeLine<Block>, kReverseLine};
  static Block initial() { return {}; }
  static int suffix(char* text, size_t room, const Block& b) {
    return std::snprintf(text, room, " %s (%d%s)", b.reverse ? "Out" : "In", int(b.degree),
                         kDegreeSign);
  }
  static SlideGeometry geometry(const Block& b) { return {b.degree, b.reverse != 0}; }
};

struct CurtainSlide {
  using Block = DegreeReverseBlock;
  static constexpr uint32_t kNameString = 1801, kFirstIcon = 1801;
  static constexpr SettingLine<Block> kLines[] = {kDegreeLine<Block>, kReverseLine};
  static Block initial() { return {}; }
  static int suffix(char* text, size_t room, const Block& b) {
    return std::snprintf(text, room, " %s (%s)", b.reverse ? "In" : "Out",
                         b.degree != 0 ? "Ver." : "Hor.");
  }
  static CurtainGeometry geometry(const Block& b) { return {b.degree, b.reverse != 0}; }
};

template <TileGeometry::Order kOrder, uint32_t kId>
struct Tiles {
  using Block = TileBlock;
  static constexpr uint32_t kNameString = kId, kFirstIcon = kId;
  static constexpr SettingLine<Block> kLines[] = {kDegreeLine<Block>, kWidthLine, kHeightLine};
  static Block initial() {
    Block b{};
    b.columns = b.rows = 10;
    return b;
  }
  static int suffix(char* text, size_t room, const Block& b) {
    return std::snprintf(text, room, " (%d%s,%dx%d)", int(b.degree), kDegreeSign, int(b.columns),
                         int(b.rows));
  }
  static TileGeometry geometry(const Block& b) { return {kOrder, b.degree, b.columns, b.rows}; }
};
using SnakeWipe = Tiles<TileGeometry::Order::kSnake, 3501>;
using Chessboard = Tiles<TileGeometry::Order::kChessboard, 3401>;

template <class Type>
struct Transition {
  using Block = typename Type::Block;
  using Calls = EffectCalls<Block>;
  static constexpr std::span<const SettingLine<Block>> lines{Type::kLines};

  static inline NameBuffer name;
  static inline IconSet icons;

  static uint32_t localInit(uint32_t, uint32_t flags) {
    Block block = Type::initial();
    block.flags = flags | kTransitionInstanceBits;
    return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE, block);
  }
  // Both frames are needed; they are kept all the same.
  static bool setData(const Instance& i, void* a, int32_t asize, void* b, int32_t bsize) {
    Calls::setAnyData(i, a, asize, b, bsize);
    return a && b;
  }
  static bool process(const Instance& i) {
    Block& block = Calls::of(i);
    return TransitionStep(block, Type::geometry(block));
  }
  static bool save(const Instance& i, int32_t index, char* text) {
    if (!text || index < 0 || size_t(index) >= lines.size()) return false;
    const SettingLine<Block>& line = lines[size_t(index)];
    WriteSettingsLine(text, line.key, line.get(Calls::of(i)));
    return true;
  }
  // The line index alone says which setting the value is for.
  static bool load(const Instance& i, int32_t index, char* text) {
    if (!text || index < 0 || size_t(index) >= lines.size()) return false;
    LowerCaseInPlace(text);
    lines[size_t(index)].set(Calls::of(i), ReadNumber(ValueOf(text)));
    return true;
  }
  static const char* localName(uint32_t, const Instance* i) {
    const char* bare = name.load(Type::kNameString);
    if (!i) return bare;
    const size_t used = std::strlen(bare);
    char* text = name.data();
    Type::suffix(text + used, kNameBufferBytes - used, Calls::of(*i));
    return text;
  }

  static constexpr TypeOps ops = {
      .blockBytes = sizeof(Block),
      .init = [](uint32_t) { return icons.load(Type::kFirstIcon), true; },
      .done = [](uint32_t) { return icons.destroy(), true; },
      .name = [](uint32_t) { return name.load(Type::kNameString); },
      .flags = [](uint32_t) { return kTransitionTypeFlags; },
      .icon = [](uint32_t, uint32_t index) { return icons.get(index); },
      .localInit = localInit,
      .length = Calls::setLength,
      .setData = setData,
      .processStart = Calls::resetCounter,
      .process = process,
      .processEnd = Calls::resetCounter,
      .getData = Calls::result,
      .saveData = save,
      .loadData = load,
      .localName = localName,
  };
};

}  // namespace

const TypeOps& PushType() {
  return Transition<Push>::ops;
}
const TypeOps& SlideType() {
  return Transition<Slide>::ops;
}
const TypeOps& SnakeWipeType() {
  return Transition<SnakeWipe>::ops;
}
const TypeOps& CurtainSlideType() {
  return Transition<CurtainSlide>::ops;
}
const TypeOps& ChessboardType() {
  return Transition<Chessboard>::ops;
}

}  // namespace kpl::transvella
