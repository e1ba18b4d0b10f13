#pragma once
// Loads clipvane.kpl as a host does, against a store home of its own, with a scratch folder
// per test for the files it reads and writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_bytes.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/tessal_plug.hpp"
#include "module_loader.hpp"
#include "riff_writer.hpp"

namespace clipvane_test {

using file_bytes::ReadBytes;
using file_bytes::WriteBytes;

inline Bytes BlockBytes(uint32_t block) {
  kpl::BlockLock lock(block);
  if (!lock) return {};
  const auto* at = lock.as<const uint8_t>();
  return Bytes(at, at + GlobalSize(block));
}

inline kpl::FormatRecord RecordOf(uint32_t block) {
  kpl::FormatRecord record{};
  kpl::BlockLock lock(block);
  EXPECT_TRUE(lock);
  EXPECT_EQ(GlobalSize(block), sizeof record);
  if (lock) std::memcpy(&record, lock.get(), sizeof record);
  return record;
}

inline int32_t LongField(const kpl::FormatRecord& record, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(&record) + offset, sizeof value);
  return value;
}

class Clipvane : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (const char* home = std::getenv("KPL_HOME")) savedHome_ = home;
    home_ =
        std::filesystem::temp_directory_path() / ("clipvane-home-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home_);
    setenv("KPL_HOME", home_.c_str(), 1);
    module_ = std::make_unique<kplhost::Module>(std::string(KPL_BIN_DIR) + "/clipvane.kpl");
  }
  static void TearDownTestSuite() {
    module_.reset();
    std::filesystem::remove_all(home_);
    if (savedHome_)
      setenv("KPL_HOME", savedHome_->c_str(), 1);
    else
      unsetenv("KPL_HOME");
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("clipvane-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(m().piInit(0) & 0xFF, 1u);
  }
  void TearDown() override {
    for (uint32_t local : instances_) {
      m().piLocalProcessDataEnd(0, local);
      m().piLocalDone(0, local);
    }
    for (uint32_t block : blocks_)
      GlobalFree(block);
    m().piDone(0);
    std::filesystem::remove_all(dir_);
  }

  kplhost::Module& m() { return *module_; }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static const std::filesystem::path& home() { return home_; }

  // An instance closed and freed at the end of the test.
  uint32_t instance(uint32_t flags = kpl::pifRead) {
    const uint32_t local = m().piLocalInit(0, flags);
    EXPECT_NE(local, 0u);
    instances_.push_back(local);
    return local;
  }
  // A block handed to the host, freed at the end of the test.
  uint32_t owned(uint32_t block) {
    if (block) blocks_.push_back(block);
    return block;
  }

  std::string writeFile(const std::string& name, const Bytes& bytes) {
    WriteBytes(path(name), bytes);
    return path(name);
  }

  static std::vector<char> NameText(const std::string& file) {
    std::vector<char> text(file.begin(), file.end());
    text.push_back('\0');
    return text;
  }
  bool load(uint32_t local, int32_t mode, const std::string& file) {
    std::vector<char> text = NameText(file);
    return m().piLocalLoadData(0, local, mode, text.data()) == kpl::kTrue;
  }
  bool save(uint32_t local, int32_t mode, const std::string& file) {
    std::vector<char> text = NameText(file);
    return m().piLocalSaveData(0, local, mode, text.data()) == kpl::kTrue;
  }

  // Mode 0 through a fresh instance: the record handed out, or none when refused.
  std::optional<kpl::FormatRecord> formatOf(const std::string& file) {
    const uint32_t local = instance();
    if (!load(local, 0, file)) return std::nullopt;
    return RecordOf(owned(m().piLocalGetData(0, local)));
  }

  static inline std::unique_ptr<kplhost::Module> module_;
  static inline std::filesystem::path home_;
  static inline std::optional<std::string> savedHome_;
  std::filesystem::path dir_;
  std::vector<uint32_t> instances_;
  std::vector<uint32_t> blocks_;
};

}  // namespace clipvane_test
