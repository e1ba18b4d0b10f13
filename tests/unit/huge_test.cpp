// Large-block helpers: address arithmetic past 4 GiB and one-call file reads and writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kpl/support/huge.hpp"

namespace {

TEST(Huge, OffsetsCarryBeyondThirtyTwoBits) {
  char* base = reinterpret_cast<char*>(uintptr_t{0x100000000});
  EXPECT_EQ(kpl::HugeOffset(static_cast<void*>(base), int64_t{0x180000000}),
            static_cast<void*>(base + 0x180000000));
  const char buffer[8] = {};
  EXPECT_EQ(kpl::HugeOffset(static_cast<const void*>(buffer + 6), -6),
            static_cast<const void*>(buffer));
}

TEST(Huge, ReadsAndWritesAFileInOneCallEach) {
  char name[] = "/tmp/kpl-huge-XXXXXX";
  const int file = mkstemp(name);
  ASSERT_GE(file, 0);
  std::vector<uint8_t> data(3 << 20);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = uint8_t(i * 31 + (i >> 16));
  EXPECT_EQ(kpl::HugeWrite(file, data.data(), data.size()), int64_t(data.size()));
  ASSERT_EQ(lseek(file, 0, SEEK_SET), 0);
  std::vector<uint8_t> back(data.size() + 100, 0xEE);
  EXPECT_EQ(kpl::HugeRead(file, back.data(), back.size()), int64_t(data.size()))
      << "a read past the end gives what the file holds";
  back.resize(data.size());
  EXPECT_EQ(back, data);
  close(file);
  unlink(name);
  EXPECT_EQ(kpl::HugeRead(file, back.data(), 16), -1) << "a closed file fails";
  EXPECT_EQ(kpl::HugeWrite(-1, back.data(), 16), -1);
}

}  // namespace
