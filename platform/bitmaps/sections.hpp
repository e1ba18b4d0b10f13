#pragma once
// Inside the platform library: sections whose rows the caller fills whole are not cleared.
#include <cstdint>

namespace kpl::platform {

// As CreateDIBSection; with `cleared` false the rows hold whatever the memory held.
uint32_t CreateSection(const void* info, void** bits, bool cleared);

}  // namespace kpl::platform
