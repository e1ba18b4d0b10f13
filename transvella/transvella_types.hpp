#pragma once
#include "kpl/support/type_routing.hpp"

namespace kpl::transvella {
const TypeOps& LogFadeType();
const TypeOps& PushType();
const TypeOps& SlideType();
const TypeOps& SnakeWipeType();
const TypeOps& CurtainSlideType();
const TypeOps& ChessboardType();
}  // namespace kpl::transvella
