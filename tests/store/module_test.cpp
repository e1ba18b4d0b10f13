// A module keeping settings in the store, loaded and unloaded as a host does: settings read at
// start, written once more when the module goes, and its name in the user's language.
#include "fresh_store.hpp"
#include "kpl/platform/module_language.h"
#include "module_loader.hpp"

namespace kpl::test {
namespace {

constexpr const char* kProbeKey = "Software\\Tessalbrook\\FilePlugIns\\StoreProbe\\Parameters";

class StoreModuleTest : public FreshStore {
 protected:
  // Loads the module, starts its type and makes one instance.
  struct Loaded {
    kplhost::Module module{STOREPROBE_PATH};
    uint32_t local = 0;
    Loaded() {
      EXPECT_EQ(module.piInit(0) & 0xFF, 1u);
      local = module.piLocalInit(0, 0);
      EXPECT_NE(local, 0u);
    }
    ~Loaded() { module.piLocalDone(0, local); }
    std::string line(int32_t index) {
      char text[256] = {};
      module.piLocalSaveData(0, local, index, text);
      return text;
    }
    bool load(const char* line) {
      char text[256];
      std::snprintf(text, sizeof text, "%s", line);
      return module.piLocalLoadData(0, local, 0, text) != 0;
    }
  };
};

TEST_F(StoreModuleTest, SettingsAreReadWhenTheModuleRegistersThem) {
  {
    Loaded probe;
    EXPECT_EQ(probe.line(0), "COUNTER=5");
    EXPECT_EQ(probe.line(1), "CODEC=cvid");
  }
  ASSERT_EQ(SetNumber(kProbeKey, "Counter", 42), ERROR_SUCCESS);
  ASSERT_EQ(SetText(kProbeKey, "Codec", "MSVC"), ERROR_SUCCESS);
  Loaded probe;
  EXPECT_EQ(probe.line(0), "COUNTER=42");
  EXPECT_EQ(probe.line(1), "CODEC=MSVC");
}

TEST_F(StoreModuleTest, UnloadingTheModuleWritesWhatItKeeps) {
  {
    Loaded probe;
    ASSERT_TRUE(probe.load("COUNTER=7"));
    ASSERT_TRUE(probe.load("CODEC=iv50"));
    // Registering reads; nothing is written yet.
    EXPECT_EQ(QueryNumber(kProbeKey, "Counter"), std::nullopt);
  }
  EXPECT_EQ(QueryNumber(kProbeKey, "Counter"), 7u);
  EXPECT_EQ(QueryText(kProbeKey, "Codec"), "iv50");

  // A module that freed its settings writes nothing more when it goes.
  {
    Loaded probe;
    EXPECT_EQ(probe.line(0), "COUNTER=7");
    ASSERT_TRUE(probe.load("COUNTER=8"));
    ASSERT_TRUE(probe.load("FREE"));
    EXPECT_EQ(QueryNumber(kProbeKey, "Counter"), 8u);
    ASSERT_TRUE(probe.load("COUNTER=9"));
  }
  EXPECT_EQ(QueryNumber(kProbeKey, "Counter"), 8u);
}

TEST_F(StoreModuleTest, TheModuleNamesItselfInTheUsersLanguage) {
  struct Case {
    const char* profile;
    const char* lang;
    const char* name;
    const char* code;
    int32_t offset;
  };
  const Case cases[] = {
      {"[Intl]\nsLanguage=dan\n", "en_US.UTF-8", "Lagerpr\xF8ve", "DAN", 4500},
      {nullptr, "da_DK.UTF-8", "Lagerpr\xF8ve", "DAN", 4500},
      {nullptr, "en_US.UTF-8", "Store probe", "ENU", 0},
      {"[Intl]\nsLanguage=ENU\n", "da_DK.UTF-8", "Store probe", "ENU", 0},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(home());
    if (c.profile) WriteText(home() / "win.ini", c.profile);
    setenv("LANG", c.lang, 1);
    {
      kplhost::Module module(STOREPROBE_PATH);
      EXPECT_STREQ(module.piName(0), c.name) << c.lang;
      char code[10] = {};
      int32_t offset = -1;
      ASSERT_TRUE(GetModuleLanguage(STOREPROBE_PATH, code, sizeof code, &offset));
      EXPECT_STREQ(code, c.code);
      EXPECT_EQ(offset, c.offset);
    }
    // Gone with the module.
    int32_t offset = -1;
    EXPECT_FALSE(GetModuleLanguage(STOREPROBE_PATH, nullptr, 0, &offset));
  }
}

}  // namespace
}  // namespace kpl::test
