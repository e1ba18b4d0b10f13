#pragma once
#include "kpl/support/type_routing.hpp"

namespace kpl::pannikel {
const TypeOps& FadeType();
const TypeOps& WipeType();
const TypeOps& MixType();
const TypeOps& BlueScreenType();
const TypeOps& TitleType();
}  // namespace kpl::pannikel
