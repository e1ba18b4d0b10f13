#pragma once
// What export-level tests of a module share: the built module loaded once per test suite, as a
// host loads it, instances freed after each test, and frames painted pixel by pixel.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "module_loader.hpp"

namespace module_test {

// `Suite` names its module file in `kModuleFile`; each suite holds its own loaded module.
template <class Suite>
class ModuleTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    module_ =
        std::make_unique<kplhost::Module>(std::string(KPL_BIN_DIR) + "/" + Suite::kModuleFile);
  }
  static void TearDownTestSuite() { module_.reset(); }

  kplhost::Module& m() { return *module_; }

  // An instance freed at the end of the test.
  uint32_t instance(uint32_t type, uint32_t flags) {
    const uint32_t local = m().piLocalInit(type, flags);
    EXPECT_NE(local, 0u);
    instances_.push_back({type, local});
    return local;
  }

  static inline std::unique_ptr<kplhost::Module> module_;

 protected:
  void TearDown() override {
    for (auto [type, local] : instances_)
      m().piLocalDone(type, local);
  }

  std::vector<std::pair<uint32_t, uint32_t>> instances_;
};

// The twenty calls every module exports, and nothing else.
inline const std::set<std::string> kPluginCalls = {"piCount",
                                                   "piInit",
                                                   "piDone",
                                                   "piName",
                                                   "piFlags",
                                                   "piIcon",
                                                   "piLocalInit",
                                                   "piLocalDone",
                                                   "piLocalSetFormat",
                                                   "piLocalLength",
                                                   "piLocalDlg",
                                                   "piLocalFlags",
                                                   "piLocalSetData",
                                                   "piLocalProcessDataStart",
                                                   "piLocalProcessData",
                                                   "piLocalProcessDataEnd",
                                                   "piLocalGetData",
                                                   "piLocalSaveData",
                                                   "piLocalLoadData",
                                                   "piLocalName"};

// The names a built module's dynamic symbol table defines, as nm lists them.
inline std::set<std::string> DefinedExports(const std::string& moduleFile) {
  const std::string command =
      "nm -D --defined-only '" + std::string(KPL_BIN_DIR) + "/" + moduleFile + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::set<std::string> names;
  if (!pipe) return names;
  char line[512];
  while (fgets(line, sizeof line, pipe.get())) {
    char address[64], kind[8], name[256];
    if (sscanf(line, "%63s %7s %255s", address, kind, name) == 3) names.insert(name);
  }
  return names;
}

// A 24-bit frame whose pixel (x, y) is colour(x, y).
template <class Colour>
kpl::OwnedBlock MakeFrame(int32_t width, int32_t height, Colour colour) {
  kpl::OwnedBlock frame(kpl::NewFrame24(width, height));
  kpl::BlockLock lock(frame.get());
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      kpl::WritePixel24(lock.get(), x, y, colour(x, y));
  return frame;
}

}  // namespace module_test
