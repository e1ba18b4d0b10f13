// The zero-filling reader: any mix of byte, small and large reads and skips yields the file's
// bytes in order, then zeros past its end, exactly as reading byte by byte would.
#include <fcntl.h>
#include <unistd.h>

#include <numeric>

#include "picture_io.hpp"
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

TEST(ZeroFillReader, MixedReadsMatchTheFileThenZeros) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("reader-" + std::to_string(::getpid()))).string();
  for (size_t fileBytes : {size_t(0), size_t(100), size_t(8192), size_t(20000), size_t(70001)}) {
    SCOPED_TRACE(fileBytes);
    Bytes content(fileBytes);
    for (size_t i = 0; i < fileBytes; ++i)
      content[i] = uint8_t(i * 131 + i / 251);
    WriteBytes(file, content);
    // Reads of these sizes in turn (0 = one next(), negative = a skip), past the end.
    const std::vector<long> pattern = {0,    5,    8000,   0,     3000, -7,    9000, 1,
                                       2047, 2048, -10000, 16384, 0,    40000, 3};
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    kpl::rastunes::ZeroFillReader in(fd);
    size_t at = 0;
    auto expected = [&](size_t i) { return i < fileBytes ? content[i] : uint8_t(0); };
    for (long step : pattern) {
      if (step == 0) {
        EXPECT_EQ(in.next(), expected(at)) << at;
        ++at;
      } else if (step < 0) {
        in.skip(uint64_t(-step));
        at += size_t(-step);
      } else {
        Bytes got(size_t(step), 0xEE);
        in.read(got.data(), got.size());
        size_t wrong = 0;
        for (size_t i = 0; i < got.size(); ++i)
          wrong += got[i] != expected(at + i);
        EXPECT_EQ(wrong, 0u) << "read of " << step << " at " << at;
        at += size_t(step);
      }
    }
    EXPECT_FALSE(in.failed());
    ::close(fd);

    // Rows read in place, upwards through a picture, after an odd start; 7000 rows cross
    // several batches.
    for (size_t rows : {size_t(3), size_t(7000)}) {
      const int fd2 = ::open(file.c_str(), O_RDONLY);
      kpl::rastunes::ZeroFillReader rowsIn(fd2);
      EXPECT_EQ(rowsIn.next(), expected(0));
      constexpr size_t kRowBytes = 13;
      Bytes picture(rows * 16, 0xEE);
      rowsIn.readRows(&picture[(rows - 1) * 16], -16, kRowBytes, rows);
      size_t wrong = 0, padding = 0;
      for (size_t r = 0; r < rows; ++r) {
        const uint8_t* row = &picture[(rows - 1 - r) * 16];
        for (size_t i = 0; i < kRowBytes; ++i)
          wrong += row[i] != expected(1 + r * kRowBytes + i);
        padding += row[13] != 0xEE || row[14] != 0xEE || row[15] != 0xEE;
      }
      EXPECT_EQ(wrong, 0u) << rows << " rows";
      EXPECT_EQ(padding, 0u) << "nothing outside the rows is written";
      EXPECT_FALSE(rowsIn.failed());
      ::close(fd2);
    }
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace rastunes_test
