// The AIFF types: streaming instances, flag words and patterns. Reading and writing sound
// answer 0 until the codec exists.
#include "file_types.hpp"
#include "kpl/support/tessal_plug.hpp"

namespace kpl::rastunes {
namespace {

constexpr uint32_t First = kAiffFirstIndex;

constexpr TypeOps kAiff = {
    .blockBytes = sizeof(StreamingSoundBlock),
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t v) { return TypeNameBuffer(First + v); },
    .flags = [](uint32_t) { return kSoundTypeFlags; },
    .localInit =
        [](uint32_t, uint32_t mode) {
          StreamingSoundBlock block{};
          block.flags = mode | kSoundInstanceBits;
          block.idle = 1;
          block.file = -1;
          return NewFileInstance(block);
        },
    .getData =
        [](const Instance& i) {
          auto& block = i.as<StreamingSoundBlock>();
          if (!block.result) block.result = NewPatternBlock(kFileTypes[First + i.variant].pattern);
          return block.result;
        },
    .localName = [](uint32_t v, const Instance*) { return TypeNameBuffer(First + v); },
};

}  // namespace

const TypeOps& AiffType() {
  return kAiff;
}

}  // namespace kpl::rastunes
