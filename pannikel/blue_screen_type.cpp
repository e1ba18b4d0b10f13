// Blue-Screen's answers to the exports.
#include "blue_screen.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/settings_line.hpp"
#include "pannikel_types.hpp"

namespace kpl::pannikel {
namespace {

constexpr uint32_t kNameString = 4;
constexpr uint32_t kFirstIcon = 40;
constexpr uint32_t kFirstFrame = 1, kLastFrame = 7;  // the frames piIcon cycles through

NameBuffer name;
IconSet icons;
uint32_t nextFrame = kFirstFrame;  // shared by every use of the icons

using Calls = EffectCalls<BlueScreenBlock>;

uint32_t icon(uint32_t index) {
  if (index == 0) return icons.get(0);
  // Any other index answers the next frame of the animation, whatever it asks for.
  const uint32_t frame = nextFrame;
  nextFrame = frame >= kLastFrame ? kFirstFrame : frame + 1;
  return icons.get(frame);
}

constexpr TypeOps kOps = {
    .blockBytes = sizeof(BlueScreenBlock),
    .init =
        [](uint32_t) {
          nextFrame = kFirstFrame;
          icons.load(kFirstIcon);
          return true;
        },
    .done = [](uint32_t) { return icons.destroy(), true; },
    .name = [](uint32_t) { return name.load(kNameString); },
    .flags = [](uint32_t) { return kBlueScreenTypeFlags; },
    .icon = [](uint32_t, uint32_t index) { return icon(index); },
    .localInit =
        [](uint32_t, uint32_t flags) {
          BlueScreenBlock block{};
          block.flags = flags | kBlueScreenInstanceBits;
          block.key = kDefaultKey;
          block.tolerance = kDefaultTolerance;
          return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE, block);
        },
    .length = Calls::setLength,
    .setData = Calls::setBothData,
    .processStart = Calls::resetCounter,
    .process = [](const Instance& i) { return BlueScreenStep(Calls::of(i)); },
    .processEnd = Calls::resetCounter,
    .getData = Calls::result,
    .saveData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          const BlueScreenBlock& block = Calls::of(i);
          if (index == 0)
            WriteSettingsLine(text, "COLOR", int32_t(block.key));
          else
            WriteSettingsLine(text, "TOLERANCE", block.tolerance);
          return index == 0 || index == 1;
        },
    .loadData =
        [](const Instance& i, int32_t, char* text) {
          if (!text) return false;
          LowerCaseInPlace(text);
          return ApplyBlueScreenLine(Calls::of(i), text);
        },
    // The name buffer as piName last filled it: empty until the type's name was asked for.
    .localName = [](uint32_t, const Instance*) -> const char* { return name.data(); },
};

}  // namespace

const TypeOps& BlueScreenType() {
  return kOps;
}

}  // namespace kpl::pannikel
