// The module's type table and resources.
#include <iterator>

#include "transvella_icons.hpp"
#include "transvella_types.hpp"

namespace kpl {
namespace {

const TypeRange kRanges[] = {
    {0, 3, &transvella::LogFadeType()},      {4, 4, &transvella::PushType()},
    {5, 5, &transvella::SlideType()},        {6, 6, &transvella::SnakeWipeType()},
    {7, 7, &transvella::CurtainSlideType()}, {8, 8, &transvella::ChessboardType()},
};

const StringResource kStrings[] = {
    {1, "Push"},
    {5, "Log. fade in"},
    {6, "Log. fade out"},
    {7, "Log. cross fade"},
    {8, "Log. fade in/fade out"},
    {1201, "Slide"},
    {1801, "Curtain Slide"},
    {3401, "Chessboard"},
    {3501, "Snake Wipe"},
};

}  // namespace

const ModuleTable& ThisModule() {
  static const ModuleTable table{9, kRanges};
  return table;
}

const ModuleResources& ThisModuleResources() {
  static const ModuleResources resources{kStrings, std::size(kStrings), transvella::kIcons.data(),
                                         transvella::kIcons.size()};
  return resources;
}

}  // namespace kpl
