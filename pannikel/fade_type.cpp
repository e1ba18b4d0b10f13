// Fade's answers to the exports.
#include <cstring>

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

FadeBlock& fade(const Instance& i) {
  return i.as<FadeBlock>();
}

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
    .setFormat =
        [](const Instance& i, const void* format) {
          if (!(fade(i).flags & pifAudio) || !format) return false;
          std::memcpy(&fade(i).format, format, sizeof(WaveFormat));
          return true;
        },
    .length = [](const Instance& i, int32_t length) { return fade(i).length = length, true; },
    .setData =
        [](const Instance& i, void* a, int32_t asize, void* b, int32_t bsize) {
          return fade(i).inputs = {a, b, asize, bsize}, true;
        },
    .processStart = [](const Instance& i) { return fade(i).counter = 0, true; },
    .process = [](const Instance& i) { return FadeStep(fade(i)); },
    .processEnd = [](const Instance& i) { return fade(i).counter = 0, true; },
    .getData = [](const Instance& i) { return fade(i).result; },
    .saveData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          if (const char* line = FadeLineOf(fade(i).kind)) WriteSettingsLine(text, line);
          return index == 0;
        },
    .loadData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          LowerCaseInPlace(text);
          ApplyFadeLine(fade(i), text);
          return index == 0;
        },
    .localName = [](uint32_t, const Instance* i) -> const char* {
      if (!i) return name.load(kNameString);
      if (fade(*i).kind <= kCrossFade) return name.load(kInstanceNameStrings + fade(*i).kind);
      return name.data();
    },
};

}  // namespace

const TypeOps& FadeType() {
  return kOps;
}

}  // namespace kpl::pannikel
