// Fade's answers to the exports.
#include "fade.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/settings_line.hpp"
#include "pannikel_types.hpp"

namespace kpl::pannikel {
namespace {

constexpr uint32_t kNameString = 1;
constexpr uint32_t kInstanceNameStrings = 100;  // 100 fade in, 101 fade out, 102 cross fade
constexpr uint32_t kFirstIcon = 10;

NameBuffer name;
IconSet icons;

using Calls = EffectCalls<FadeBlock>;

constexpr TypeOps kOps = {
    .blockBytes = sizeof(FadeBlock),
    .init = [](uint32_t) { return icons.load(kFirstIcon), true; },
    .done = [](uint32_t) { return icons.destroy(), true; },
    .name = [](uint32_t) { return name.load(kNameString); },
    .flags = [](uint32_t) { return kFadeTypeFlags; },
    .icon = [](uint32_t, uint32_t index) { return icons.get(index); },
    .localInit =
        [](uint32_t, uint32_t flags) {
          FadeBlock block{};
          block.flags = flags | kFadeInstanceBits;
          block.kind = FadeKindFromFlags(flags);
          return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE, block);
        },
    .setFormat = Calls::setSoundFormat,
    .length = Calls::setLength,
    .setData = Calls::setAnyData,
    .processStart = Calls::resetCounter,
    .process = [](const Instance& i) { return FadeStep(Calls::of(i)); },
    .processEnd = Calls::resetCounter,
    .getData = Calls::result,
    .saveData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          if (const char* line = FadeLineOf(Calls::of(i).kind)) WriteSettingsLine(text, line);
          return index == 0;
        },
    .loadData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          LowerCaseInPlace(text);
          ApplyFadeLine(Calls::of(i), text);
          return index == 0;
        },
    .localName = [](uint32_t, const Instance* i) -> const char* {
      if (!i) return name.load(kNameString);
      const uint8_t kind = Calls::of(*i).kind;
      return kind <= kCrossFade ? name.load(kInstanceNameStrings + kind) : name.data();
    },
};

}  // namespace

const TypeOps& FadeType() {
  return kOps;
}

}  // namespace kpl::pannikel
