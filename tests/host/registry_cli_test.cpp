// kplhost registry and the language line of kplhost info, against a fresh store home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "command_run.hpp"

namespace kplhost::test {
namespace {

const std::string kKey =
    "HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters";

class RegistryCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* home = std::getenv("KPL_HOME")) savedHome_ = home;
    setenv("KPL_HOME", (store.path() / "home").c_str(), 1);
  }
  void TearDown() override {
    if (savedHome_)
      setenv("KPL_HOME", savedHome_->c_str(), 1);
    else
      unsetenv("KPL_HOME");
  }
  CommandResult run(const std::vector<std::string>& args) { return RunKplhost(args, store.path()); }

  ScratchDir store;

 private:
  std::optional<std::string> savedHome_;
};

TEST_F(RegistryCommandTest, SetGetAndListValues) {
  struct Step {
    std::vector<std::string> args;
    std::string out;
  };
  const Step steps[] = {
      {{"registry", "set", kKey, "Codec", "cvid"}, ""},
      {{"registry", "get", kKey, "Codec"}, "cvid\n"},
      {{"registry", "set", "hkcu\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters",
        "Quality", "0x1A", "--type", "dword"},
       ""},
      {{"registry", "get", kKey, "quality"}, "26\n"},
      // A number stays a number.
      {{"registry", "set", kKey, "Quality", "--", "-1"}, ""},
      {{"registry", "get", kKey, "Quality"}, "-1\n"},
      {{"registry", "set", kKey, "@", "two words"}, ""},
      {{"registry", "get", kKey}, "two words\n"},
      {{"registry", "set", kKey, "Codec", "MSVC", "--type", "text"}, ""},
  };
  for (const Step& step : steps) {
    const CommandResult result = run(step.args);
    EXPECT_EQ(result.exitCode, 0) << step.args[1] << " " << step.args.back() << ": " << result.err;
    EXPECT_EQ(result.out, step.out) << step.args[1] << " " << step.args.back();
  }
  const CommandResult list = run({"registry", "list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  const std::string storeFile = (store.path() / "home" / "registry.reg").string();
  EXPECT_EQ(list.out, "store " + storeFile +
                          "\n\n"
                          "HKEY_CURRENT_USER\\Software\n\n"
                          "HKEY_CURRENT_USER\\Software\\Tessalbrook\n\n"
                          "HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\n\n"
                          "HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\n\n" +
                          kKey +
                          "\n"
                          "  Codec           REG_SZ     \"MSVC\"\n"
                          "  Quality         REG_DWORD  -1 (0xFFFFFFFF)\n"
                          "  @               REG_SZ     \"two words\"\n");
  const CommandResult below = run({"registry", "list", kKey});
  EXPECT_TRUE(below.out.ends_with("  @               REG_SZ     \"two words\"\n")) << below.out;
  EXPECT_EQ(below.out.find("HKEY_CURRENT_USER\\Software\n"), std::string::npos) << below.out;
}

TEST_F(RegistryCommandTest, EmptyStoreAndErrors) {
  const CommandResult empty = run({"registry", "list"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_NE(empty.out.find("(no keys or values below HKEY_CURRENT_USER)"), std::string::npos);
  EXPECT_EQ(run({"registry", "set", kKey, "Codec", "cvid"}).exitCode, 0);

  struct ErrorCase {
    std::vector<std::string> args;
    int exitCode;
    const char* fragment;
  };
  const ErrorCase cases[] = {
      {{"registry"}, 2, "name an action"},
      {{"registry", "remove", kKey}, 2, "unknown action"},
      {{"registry", "get", "Software\\Tessalbrook"}, 2, "root key"},
      {{"registry", "get", kKey, "Missing"}, 1, "no value Missing"},
      {{"registry", "get", kKey}, 1, "has no default value"},
      {{"registry", "get", "HKCU\\Software\\Nobody", "Codec"}, 1, "no key"},
      {{"registry", "list", "HKCU\\Software\\Nobody"}, 1, "no key"},
      {{"registry", "set", kKey, "Quality", "12x", "--type", "dword"}, 2, "not a 32-bit number"},
      {{"registry", "set", kKey, "Quality", "4294967296", "--type", "dword"}, 2, "32-bit"},
      {{"registry", "set", kKey, "Quality", "1", "--type", "float"}, 2, "text or dword"},
      {{"registry", "get", kKey, "Codec", "--type", "text"}, 2, "set only"},
      {{"registry", "set", kKey, "Codec"}, 2, "VALUE"},
  };
  for (const ErrorCase& c : cases) {
    const CommandResult result = run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back();
    EXPECT_NE(result.err.find(c.fragment), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  EXPECT_EQ(run({"registry", "get", kKey, "Codec"}).out, "cvid\n");
}

TEST_F(RegistryCommandTest, InfoShowsTheLanguageAModuleChose) {
  struct Case {
    const char* profile;
    std::string line;
  };
  const Case cases[] = {{"[Intl]\nsLanguage=dan\n", "language DAN, string offset 4500"},
                        {"[Intl]\nsLanguage=enu\n", "language ENU, string offset 0"}};
  for (const Case& c : cases) {
    std::filesystem::create_directories(store.path() / "home");
    std::ofstream(store.path() / "home" / "win.ini") << c.profile;
    const CommandResult result = run({"info", STOREPROBE_PATH});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\npiCount 1\n" + c.line + "\n"), std::string::npos) << result.out;
  }
  // A module without a language table shows none.
  const CommandResult pannikel = run({"info", "pannikel"});
  EXPECT_EQ(pannikel.out.find("language"), std::string::npos) << pannikel.out;
}

}  // namespace
}  // namespace kplhost::test
