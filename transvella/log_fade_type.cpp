// The logarithmic fades' answers to the exports: one implementation for type indexes 0 to 3,
// the index being the fade kind.
#include <array>

#include "kpl/platform/memory.h"
#include "log_fade.hpp"
#include "transvella_types.hpp"

namespace kpl::transvella {
namespace {

constexpr uint32_t kNameStrings = 5;  // 5 fade in .. 8 fade in/fade out
constexpr uint32_t kFirstIcons = 50;  // 50, 60, 70, 80: nine icons per kind

std::array<NameBuffer, kLogFadeKinds> names;
std::array<IconSet, kLogFadeKinds> icons;

using Calls = EffectCalls<LogFadeBlock>;

// The kind the block holds, or the routed one for a block that holds none of the four.
uint8_t kindOf(uint32_t variant, const Instance& i) {
  const uint8_t kind = Calls::of(i).kind;
  return kind < kLogFadeKinds ? kind : uint8_t(variant);
}

constexpr TypeOps kOps = {
    .blockBytes = sizeof(LogFadeBlock),
    // Every fade type's start loads (and its end destroys) the icons of all four.
    .init =
        [](uint32_t) {
          for (uint32_t kind = 0; kind < kLogFadeKinds; ++kind)
            icons[kind].load(kFirstIcons + 10 * kind);
          return true;
        },
    .done =
        [](uint32_t) {
          for (IconSet& set : icons)
            set.destroy();
          return true;
        },
    .name = [](uint32_t variant) { return names[variant].load(kNameStrings + variant); },
    .flags = [](uint32_t variant) { return LogFadeTypeFlags(uint8_t(variant)); },
    .icon = [](uint32_t variant, uint32_t index) { return icons[variant].get(index); },
    .localInit =
        [](uint32_t variant, uint32_t flags) {
          LogFadeBlock block{};
          block.flags = flags | LogFadeInstanceBits(uint8_t(variant));
          block.kind = uint8_t(variant);
          return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE, block);
        },
    .setFormat = Calls::setSoundFormat,
    .length = Calls::setLength,
    .setData = Calls::setAnyData,
    .processStart = Calls::resetCounter,
    .process = [](const Instance& i) { return LogFadeStep(Calls::of(i)); },
    .processEnd = Calls::resetCounter,
    .getData = Calls::result,
    // No settings lines and no dialog: those calls answer false.
    // An instance's name is its type's name as piName last wrote it.
    .localName = [](uint32_t variant, const Instance* i) -> const char* {
      if (!i) return names[variant].load(kNameStrings + variant);
      return names[kindOf(variant, *i)].data();
    },
};

}  // namespace

const TypeOps& LogFadeType() {
  return kOps;
}

}  // namespace kpl::transvella
