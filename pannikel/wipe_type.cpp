// Wipe's answers to the exports.
#include <cstdio>
#include <cstring>

#include "kpl/platform/memory.h"
#include "kpl/support/settings_line.hpp"
#include "pannikel_types.hpp"
#include "wipe.hpp"

namespace kpl::pannikel {
namespace {

constexpr uint32_t kNameString = 2;
constexpr uint32_t kFirstIcon = 20;
constexpr char kDegreeSign = '\xB0';  // code page 1252

NameBuffer name;
IconSet icons;

using Calls = EffectCalls<WipeBlock>;

// "Wipe (90°)": the type name with the degree.
const char* instanceName(int32_t degree) {
  name.load(kNameString);
  char* text = name.data();
  const size_t used = std::strlen(text);
  std::snprintf(text + used, kNameBufferBytes - used, " (%d%c)", static_cast<int>(degree),
                kDegreeSign);
  return text;
}

constexpr TypeOps kOps = {
    .blockBytes = sizeof(WipeBlock),
    .init = [](uint32_t) { return icons.load(kFirstIcon), true; },
    .done = [](uint32_t) { return icons.destroy(), true; },
    .name = [](uint32_t) { return name.load(kNameString); },
    .flags = [](uint32_t) { return kWipeTypeFlags; },
    .icon = [](uint32_t, uint32_t index) { return icons.get(index); },
    .localInit =
        [](uint32_t, uint32_t flags) {
          WipeBlock block{};
          block.flags = flags | kWipeInstanceBits;
          return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE, block);
        },
    .length = Calls::setLength,
    .setData = Calls::setBothData,
    .processStart = Calls::resetCounter,
    .process = [](const Instance& i) { return WipeStep(Calls::of(i)); },
    .processEnd = Calls::resetCounter,
    .getData = Calls::result,
    .saveData =
        [](const Instance& i, int32_t index, char* text) {
          if (!text) return false;
          WriteSettingsLine(text, "DEGREE", Calls::of(i).degree);
          return index == 0;
        },
    .loadData =
        [](const Instance& i, int32_t index, char* text) {
          // Only line 0 exists; any other is refused before the text is touched.
          if (index != 0 || !text) return false;
          LowerCaseInPlace(text);
          ApplyWipeLine(Calls::of(i), text);
          return true;
        },
    .localName = [](uint32_t, const Instance* i) -> const char* {
      return i ? instanceName(Calls::of(*i).degree) : name.load(kNameString);
    },
};

}  // namespace

const TypeOps& WipeType() {
  return kOps;
}

}  // namespace kpl::pannikel
