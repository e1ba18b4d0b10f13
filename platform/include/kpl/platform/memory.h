#pragma once
// Global memory: blocks named by 32-bit handles from one process-wide table, so a block
// allocated inside a module is valid for the host and for every other module.
#include <cstddef>
#include <cstdint>

#include "kpl/platform/api.h"

inline constexpr uint32_t GMEM_FIXED = 0x0000;
inline constexpr uint32_t GMEM_MOVEABLE = 0x0002;
inline constexpr uint32_t GMEM_ZEROINIT = 0x0040;
inline constexpr uint32_t GMEM_SHARE = 0x2000;
inline constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// The largest block the platform hands out: blocks are addressed with 32-bit sizes.
inline constexpr size_t kMaxGlobalBlockBytes = 0xFFFFFFF0u;

extern "C" {
// Returns 0 when the block cannot be allocated.
KPL_PLATFORM_API uint32_t GlobalAlloc(uint32_t flags, size_t bytes);
// Null for a handle that is not a live block; counts a lock on a movable block.
KPL_PLATFORM_API void* GlobalLock(uint32_t handle);
// Nonzero while the block stays locked; 0 once unlocked (or for a bad handle).
KPL_PLATFORM_API int32_t GlobalUnlock(uint32_t handle);
// 0 on success, the handle itself on failure.
KPL_PLATFORM_API uint32_t GlobalFree(uint32_t handle);
// 0 for a handle that is not a live block.
KPL_PLATFORM_API size_t GlobalSize(uint32_t handle);
// Allocation flags of a live block (GMEM_* bits it was allocated with), 0 for a bad handle.
KPL_PLATFORM_API uint32_t GlobalFlags(uint32_t handle);
// Lock count of a live movable block (0 for fixed blocks and bad handles).
KPL_PLATFORM_API uint32_t GlobalLockCount(uint32_t handle);
// Number of live blocks in the process (for leak checks in tests and the host).
KPL_PLATFORM_API size_t GlobalLiveBlocks(void);
}
