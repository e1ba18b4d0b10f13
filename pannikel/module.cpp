// The module's type table and resources.
#include "pannikel_icons.hpp"
#include "pannikel_types.hpp"

namespace kpl {
namespace {

const TypeRange kRanges[] = {
    {0, 0, &pannikel::FadeType()},  {1, 1, &pannikel::WipeType()},
    {2, 2, &pannikel::MixType()},   {3, 3, &pannikel::BlueScreenType()},
    {4, 4, &pannikel::TitleType()},
};

const StringResource kStrings[] = {
    {1, "Fade"},       {2, "Wipe"},
    {3, "Mix"},        {4, "Blue-Screen"},
    {5, "Title"},      {100, "Fade in"},
    {101, "Fade out"}, {102, "Cross fade"},
    {500, "Title"},    {501, "Scrolling Title"},
};

}  // namespace

const ModuleTable& ThisModule() {
  static const ModuleTable table{5, kRanges};
  return table;
}

const ModuleResources& ThisModuleResources() {
  static const ModuleResources resources{kStrings, std::size(kStrings), pannikel::kIcons.data(),
                                         pannikel::kIcons.size()};
  return resources;
}

}  // namespace kpl
