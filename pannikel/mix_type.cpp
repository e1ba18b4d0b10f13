// Mix's answers to the exports.
#include "kpl/platform/memory.h"
#include "mix.hpp"
#include "pannikel_types.hpp"

namespace kpl::pannikel {
namespace {

constexpr uint32_t kNameString = 3;
constexpr uint32_t kFirstIcon = 30;

NameBuffer name;
IconSet icons;

using Calls = EffectCalls<MixBlock>;

constexpr TypeOps kOps = {
    .blockBytes = sizeof(MixBlock),
    .init = [](uint32_t) { return icons.load(kFirstIcon), true; },
    .done = [](uint32_t) { return icons.destroy(), true; },
    .name = [](uint32_t) { return name.load(kNameString); },
    .flags = [](uint32_t) { return kMixTypeFlags; },
    .icon = [](uint32_t, uint32_t index) { return icons.get(index); },
    .localInit =
        [](uint32_t, uint32_t flags) {
          MixBlock block{};
          block.flags = flags | kMixInstanceBits;
          return NewInstanceBlock(GMEM_FIXED | GMEM_SHARE | GMEM_ZEROINIT, block);
        },
    .setFormat = Calls::setSoundFormat,
    .length = Calls::setLength,
    .setData = Calls::setAnyData,
    .processStart = Calls::resetCounter,
    .process = [](const Instance& i) { return MixStep(Calls::of(i)); },
    .processEnd = Calls::resetCounter,
    .getData = Calls::result,
    // Mix has no settings: line 0 exists and is empty, and the text is never touched.
    .saveData = [](const Instance&, int32_t index, char*) { return index == 0; },
    .loadData = [](const Instance&, int32_t index, char*) { return index == 0; },
    .localName = [](uint32_t, const Instance*) { return name.load(kNameString); },
};

}  // namespace

const TypeOps& MixType() {
  return kOps;
}

}  // namespace kpl::pannikel
