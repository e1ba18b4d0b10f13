// Global memory: allocation flags, lock counts, answers for bad handles, and the RAII wrappers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/platform/resources.h"

namespace {

// Frees every block a test allocated, whatever the test's outcome.
class GlobalMemory : public ::testing::Test {
 protected:
  uint32_t Alloc(uint32_t flags, size_t bytes) {
    const uint32_t handle = GlobalAlloc(flags, bytes);
    if (handle) handles_.push_back(handle);
    return handle;
  }
  void TearDown() override {
    for (uint32_t h : handles_)
      GlobalFree(h);
  }
  std::vector<uint32_t> handles_;
};

TEST_F(GlobalMemory, AllocationKeepsSizeAndFlags) {
  struct Case {
    uint32_t flags;
    size_t bytes;
  };
  const Case cases[] = {{GMEM_FIXED, 1},       {GMEM_MOVEABLE, 100},
                        {GMEM_ZEROINIT, 4096}, {GMEM_MOVEABLE | GMEM_ZEROINIT, 12345},
                        {GMEM_SHARE, 64},      {GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    const uint32_t h = Alloc(c.flags, c.bytes);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(GlobalSize(h), c.bytes);
    EXPECT_EQ(GlobalFlags(h), c.flags);
    EXPECT_EQ(GlobalLockCount(h), 0u);
  }
}

TEST_F(GlobalMemory, ZeroInitBlockIsZeroEvenWhereADirtyBlockLay) {
  // Dirty a block of the same size and free it, so the allocator has dirty memory to reuse.
  constexpr size_t kBytes = 64 * 1024;
  const uint32_t dirty = GlobalAlloc(GMEM_MOVEABLE, kBytes);
  ASSERT_NE(dirty, 0u);
  std::memset(GlobalLock(dirty), 0xAB, kBytes);
  GlobalUnlock(dirty);
  ASSERT_EQ(GlobalFree(dirty), 0u);

  const uint32_t h = Alloc(GHND, kBytes);
  ASSERT_NE(h, 0u);
  const auto* p = static_cast<const uint8_t*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  size_t nonzero = 0;
  for (size_t i = 0; i < kBytes; ++i)
    nonzero += p[i] != 0;
  EXPECT_EQ(nonzero, 0u);
  GlobalUnlock(h);
}

TEST_F(GlobalMemory, LargeBlocksFreedDirtyComeBackZeroedAndExactlySized) {
  // Picture-sized blocks, freed dirty one after another: whatever is reused, a zero-filled
  // request reads as zero and every block keeps the size asked for.
  const size_t sizes[] = {6220844, 6220800, size_t{1} << 20, 3u << 20, 6220844};
  for (size_t round = 0; round < 3; ++round)
    for (const size_t bytes : sizes) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", " << bytes << " bytes");
      const uint32_t dirty = GlobalAlloc(GMEM_MOVEABLE, bytes);
      ASSERT_NE(dirty, 0u);
      EXPECT_EQ(GlobalSize(dirty), bytes);
      std::memset(GlobalLock(dirty), 0xCD, bytes);
      GlobalUnlock(dirty);
      ASSERT_EQ(GlobalFree(dirty), 0u);

      const uint32_t plain = GlobalAlloc(GMEM_MOVEABLE, bytes);  // may take the dirty one
      ASSERT_NE(plain, 0u);
      EXPECT_EQ(GlobalSize(plain), bytes);
      std::memset(GlobalLock(plain), 0xEF, bytes);
      GlobalUnlock(plain);
      const uint32_t zeroed = GlobalAlloc(GHND, bytes);
      ASSERT_NE(zeroed, 0u);
      EXPECT_EQ(GlobalSize(zeroed), bytes);
      const auto* p = static_cast<const uint8_t*>(GlobalLock(zeroed));
      ASSERT_NE(p, nullptr);
      size_t nonzero = 0;
      for (size_t i = 0; i < bytes; ++i)
        nonzero += p[i] != 0;
      EXPECT_EQ(nonzero, 0u);
      GlobalUnlock(zeroed);
      EXPECT_EQ(GlobalFree(plain), 0u);
      EXPECT_EQ(GlobalFree(zeroed), 0u);
    }
}

TEST_F(GlobalMemory, MovableBlockCountsLocksAndUnlockAnswersWhatRemains) {
  const uint32_t h = Alloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(h, 0u);
  void* first = GlobalLock(h);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GlobalLock(h), first);  // the block does not move while locked
  EXPECT_EQ(GlobalLock(h), first);
  EXPECT_EQ(GlobalLockCount(h), 3u);

  EXPECT_EQ(GlobalUnlock(h), 2);
  EXPECT_EQ(GlobalUnlock(h), 1);
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalLockCount(h), 0u);

  // An unlock too many answers 0 and must not wrap the count below zero.
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalLockCount(h), 0u);
  ASSERT_NE(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalLockCount(h), 1u);
  EXPECT_EQ(GlobalUnlock(h), 0);
}

TEST_F(GlobalMemory, FixedBlockIsNotLockCounted) {
  for (uint32_t flags : {GMEM_FIXED, GMEM_SHARE, GMEM_ZEROINIT | GMEM_SHARE}) {
    SCOPED_TRACE(flags);
    const uint32_t h = Alloc(flags, 8);
    ASSERT_NE(h, 0u);
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_EQ(GlobalLockCount(h), 0u);
    EXPECT_EQ(GlobalUnlock(h), 0);
    EXPECT_EQ(GlobalLockCount(h), 0u);
  }
}

TEST_F(GlobalMemory, LockedBytesPersistAcrossLocks) {
  const uint32_t h = Alloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(h, 0u);
  std::memcpy(GlobalLock(h), "abc", 4);
  GlobalUnlock(h);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(h)), "abc");
  GlobalUnlock(h);
}

TEST_F(GlobalMemory, FreeAnswersZeroOnceThenTheHandle) {
  const size_t before = GlobalLiveBlocks();
  const uint32_t h = GlobalAlloc(GMEM_MOVEABLE, 32);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GlobalLiveBlocks(), before + 1);
  EXPECT_EQ(GlobalFree(h), 0u);
  EXPECT_EQ(GlobalLiveBlocks(), before);
  EXPECT_EQ(GlobalFree(h), h);  // second free fails and answers the handle
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST_F(GlobalMemory, BadHandlesAreAnsweredWithZeroAndNull) {
  const uint32_t stale = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(stale, 0u);
  ASSERT_EQ(GlobalFree(stale), 0u);
  // An icon handle is a live handle of another table, not a memory block.
  static const uint8_t kPixel[] = {0};
  static const IconResource kIcon[] = {{1, 1, 1, kPixel}};
  const ModuleResources module{nullptr, 0, kIcon, 1};
  const uint32_t icon = LoadIconA(&module, 1);
  ASSERT_NE(icon, 0u);

  const size_t live = GlobalLiveBlocks();
  for (uint32_t bad : {0u, 1u, 4u, 0xFFFFFFFFu, stale, icon}) {
    SCOPED_TRACE(testing::Message() << "handle 0x" << std::hex << bad);
    EXPECT_EQ(GlobalLock(bad), nullptr);
    EXPECT_EQ(GlobalUnlock(bad), 0);
    EXPECT_EQ(GlobalSize(bad), 0u);
    EXPECT_EQ(GlobalFlags(bad), 0u);
    EXPECT_EQ(GlobalLockCount(bad), 0u);
    EXPECT_EQ(GlobalFree(bad), bad);
  }
  EXPECT_EQ(GlobalLiveBlocks(), live);
  EXPECT_EQ(DestroyIcon(icon), 1);
}

TEST_F(GlobalMemory, FreedHandleIsNotHandedOutAgain) {
  const uint32_t old = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(old, 0u);
  ASSERT_EQ(GlobalFree(old), 0u);
  for (int i = 0; i < 200; ++i) {
    const uint32_t h = Alloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(h, 0u);
    ASSERT_NE(h, old) << "a stale handle would reach a new block";
  }
  EXPECT_EQ(GlobalLock(old), nullptr);
}

TEST_F(GlobalMemory, HugeSizesAreRefused) {
  const size_t live = GlobalLiveBlocks();
  for (size_t bytes : {kMaxGlobalBlockBytes + 1, size_t{0x100000000}, SIZE_MAX}) {
    SCOPED_TRACE(bytes);
    EXPECT_EQ(GlobalAlloc(GHND, bytes), 0u);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, bytes), 0u);
  }
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(BlockLock, LocksForItsScopeOnly) {
  kpl::OwnedBlock block(GMEM_MOVEABLE, 8);
  ASSERT_TRUE(block);
  {
    kpl::BlockLock lock(block.get());
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock.get(), lock.as<char>());
    EXPECT_EQ(GlobalLockCount(block.get()), 1u);
    {
      kpl::BlockLock inner(block.get());
      EXPECT_EQ(inner.get(), lock.get());
      EXPECT_EQ(GlobalLockCount(block.get()), 2u);
    }
    EXPECT_EQ(GlobalLockCount(block.get()), 1u);
  }
  EXPECT_EQ(GlobalLockCount(block.get()), 0u);
}

TEST(BlockLock, BadHandleGivesNoAddress) {
  kpl::BlockLock lock(0);
  EXPECT_FALSE(lock);
  EXPECT_EQ(lock.get(), nullptr);
}

TEST(OwnedBlock, FreesAtScopeEndUnlessReleased) {
  const size_t live = GlobalLiveBlocks();
  uint32_t kept = 0;
  {
    kpl::OwnedBlock freed(GMEM_MOVEABLE, 8);
    kpl::OwnedBlock handedOut(GMEM_MOVEABLE, 8);
    ASSERT_TRUE(freed);
    ASSERT_TRUE(handedOut);
    EXPECT_EQ(GlobalLiveBlocks(), live + 2);
    kept = handedOut.release();
    EXPECT_FALSE(handedOut);
  }
  EXPECT_EQ(GlobalLiveBlocks(), live + 1);
  EXPECT_NE(GlobalSize(kept), 0u);
  EXPECT_EQ(GlobalFree(kept), 0u);
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(OwnedBlock, MovesOwnershipAndFreesEachBlockOnce) {
  const size_t live = GlobalLiveBlocks();
  {
    kpl::OwnedBlock a(GMEM_MOVEABLE, 8);
    kpl::OwnedBlock b(GMEM_MOVEABLE, 8);
    const uint32_t first = a.get();
    const uint32_t second = b.get();

    kpl::OwnedBlock c(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(c.get(), first);

    c = std::move(b);  // the block c held is freed, the other one taken over
    EXPECT_EQ(GlobalSize(first), 0u);
    EXPECT_EQ(c.get(), second);
    EXPECT_FALSE(b);
    EXPECT_EQ(GlobalLiveBlocks(), live + 1);

    c.reset();
    EXPECT_FALSE(c);
    EXPECT_EQ(GlobalLiveBlocks(), live);
  }
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(OwnedBlock, FailedAllocationHoldsNothing) {
  kpl::OwnedBlock none(GHND, SIZE_MAX);
  EXPECT_FALSE(none);
  EXPECT_EQ(none.get(), 0u);
}

}  // namespace
