// Wipe, Blue-Screen and Title answer for their names and flag words; their instance calls
// answer 0 until their steps exist.
#include "pannikel_types.hpp"

namespace kpl::pannikel {
namespace {

NameBuffer wipeName, blueScreenName, titleName;

constexpr TypeOps kWipe = {
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t) { return wipeName.load(2); },
    .flags = [](uint32_t) -> uint32_t { return 0x10032A01; },
};
constexpr TypeOps kBlueScreen = {
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t) { return blueScreenName.load(4); },
    .flags = [](uint32_t) -> uint32_t { return 0x10032A01; },
};
constexpr TypeOps kTitle = {
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t) { return titleName.load(5); },
    .flags = [](uint32_t) -> uint32_t { return 0x10032601; },
};

}  // namespace

const TypeOps& WipeType() {
  return kWipe;
}
const TypeOps& BlueScreenType() {
  return kBlueScreen;
}
const TypeOps& TitleType() {
  return kTitle;
}

}  // namespace kpl::pannikel
