// Title answers for its name and flag word; its instance calls answer 0 until its steps exist.
#include "pannikel_types.hpp"

namespace kpl::pannikel {
namespace {

NameBuffer titleName;

constexpr TypeOps kTitle = {
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t) { return titleName.load(5); },
    .flags = [](uint32_t) -> uint32_t { return 0x10032601; },
};

}  // namespace

const TypeOps& TitleType() {
  return kTitle;
}

}  // namespace kpl::pannikel
