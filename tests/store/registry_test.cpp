// The registry against its file on disk: keys, typed values, sizes, names without case,
// rights, awkward texts, hand-edited and unreadable store files, and where the store lives.
#include <cstring>

#include "fresh_store.hpp"
#include "kpl/platform/profile.h"

namespace kpl::test {
namespace {

constexpr const char* kParameters = "Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters";

class RegistryTest : public FreshStore {};

TEST_F(RegistryTest, KeysAndValuesRoundTripThroughTheFile) {
  HKEY key = 0;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kParameters, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const uint32_t rate = 153600;
  ASSERT_EQ(RegSetValueExA(key, "Codec", 0, REG_SZ, reinterpret_cast<const uint8_t*>("cvid"), 5),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExA(key, "BytesPerSec", 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&rate), 4),
      ERROR_SUCCESS);
  // The default value, given without its terminating zero.
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const uint8_t*>("dflt"), 4),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyCount(), 0u);

  const std::string file = ReadText(registryFile());
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\"
                      "Parameters]\n\"Codec\"=\"cvid\"\n\"BytesPerSec\"=dword:00025800\n"
                      "@=\"dflt\"\n"),
            std::string::npos)
      << file;

  HKEY again = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kParameters, 0, nullptr, 0, KEY_READ, nullptr,
                            &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(again);
  EXPECT_EQ(QueryText(kParameters, "Codec"), "cvid");
  EXPECT_EQ(QueryText(kParameters, nullptr), "dflt");
  EXPECT_EQ(QueryText(kParameters, ""), "dflt");
  EXPECT_EQ(QueryNumber(kParameters, "BytesPerSec"), 153600u);
  // A text is not a number and a number not a text.
  EXPECT_EQ(QueryNumber(kParameters, "Codec"), std::nullopt);
  EXPECT_EQ(QueryText(kParameters, "BytesPerSec"), std::nullopt);
}

TEST_F(RegistryTest, QueriesAnswerSizesShortBuffersAndMissingValues) {
  ASSERT_EQ(SetText(kParameters, "Codec", "MSVC"), ERROR_SUCCESS);
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParameters, 0, KEY_READ, &key), ERROR_SUCCESS);

  uint32_t type = 99, bytes = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Codec", nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(bytes, 5u);

  char small[4] = {'x', 'x', 'x', 'x'};
  bytes = sizeof small;
  EXPECT_EQ(
      RegQueryValueExA(key, "Codec", nullptr, &type, reinterpret_cast<uint8_t*>(small), &bytes),
      ERROR_MORE_DATA);
  EXPECT_EQ(bytes, 5u);

  char exact[5];
  bytes = sizeof exact;
  EXPECT_EQ(
      RegQueryValueExA(key, "Codec", nullptr, &type, reinterpret_cast<uint8_t*>(exact), &bytes),
      ERROR_SUCCESS);
  EXPECT_STREQ(exact, "MSVC");

  EXPECT_EQ(RegQueryValueExA(key, "Quality", nullptr, &type, nullptr, &bytes),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &bytes), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);

  HKEY missing = 123;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nobody", 0, KEY_READ, &missing),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParameters, 0, KEY_READ, &missing),
            ERROR_FILE_NOT_FOUND);
  // Nothing was stored by reading.
  EXPECT_EQ(RegOpenKeyCount(), 0u);
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
  ASSERT_EQ(SetText(kParameters, "Codec", "cvid"), ERROR_SUCCESS);
  EXPECT_EQ(QueryText("SOFTWARE\\tessalbrook\\fileplugins\\AVIPLUGIN\\parameters", "cODEC"),
            "cvid");
  ASSERT_EQ(SetText("software\\TESSALBROOK\\FilePlugIns\\AviPlugIn\\Parameters", "CODEC", "mrle"),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryText(kParameters, "Codec"), "mrle");
  const std::string file = ReadText(registryFile());
  EXPECT_NE(file.find("\\Software\\Tessalbrook\\"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Codec\"=\"mrle\""), std::string::npos) << file;
  EXPECT_EQ(file.find("CODEC"), std::string::npos) << file;
  // Levels of a path may be separated by more than one backslash, or end with one.
  EXPECT_EQ(QueryText("Software\\\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters\\", "Codec"),
            "mrle");
}

TEST_F(RegistryTest, RightsAndHandlesAreChecked) {
  ASSERT_EQ(SetNumber(kParameters, "Quality", 7), ERROR_SUCCESS);
  HKEY readOnly = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParameters, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  const uint32_t number = 9;
  EXPECT_EQ(RegSetValueExA(readOnly, "Quality", 0, REG_DWORD,
                           reinterpret_cast<const uint8_t*>(&number), 4),
            ERROR_ACCESS_DENIED);
  HKEY writeOnly = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParameters, 0, KEY_SET_VALUE, &writeOnly),
            ERROR_SUCCESS);
  uint32_t bytes = 4;
  EXPECT_EQ(RegQueryValueExA(writeOnly, "Quality", nullptr, nullptr, nullptr, &bytes),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryNumber(kParameters, "Quality"), 7u);

  EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(readOnly, "Quality", nullptr, nullptr, nullptr, &bytes),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(0x12345678, "Quality", 0, REG_DWORD,
                           reinterpret_cast<const uint8_t*>(&number), 4),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(writeOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  HKEY result = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParameters, 0, KEY_READ, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(0x77, "x", 0, nullptr, 0, KEY_WRITE, nullptr, &result, nullptr),
            ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, AwkwardTextsSurviveTheFile) {
  const std::string texts[] = {
      "",
      "=====",
      "with \"quotes\" and \\back\\slashes\\",
      "line one\nline two\r\n\ttabbed",
      std::string("control \x01\x1f\x7f bytes"),
      "code page 1252: \xE6\xF8\xE5 \xC6\xD8\xC5",
      "[HKEY_CURRENT_USER\\Injected]",
      "\"Fake\"=dword:00000001",
      std::string(5000, 'x'),
  };
  for (size_t i = 0; i < std::size(texts); ++i) {
    const std::string name = "Value" + std::to_string(i);
    ASSERT_EQ(SetText(kParameters, name.c_str(), texts[i]), ERROR_SUCCESS) << i;
  }
  for (size_t i = 0; i < std::size(texts); ++i) {
    const std::string name = "Value" + std::to_string(i);
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kParameters, 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<char> data(texts[i].size() + 1);
    uint32_t type = 0, bytes = uint32_t(data.size());
    EXPECT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, &type,
                               reinterpret_cast<uint8_t*>(data.data()), &bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::string(data.data()), texts[i]) << "text " << i;
  }
  // Nothing in a text became a key or a value of its own.
  HKEY injected = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Injected", 0, KEY_READ, &injected),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(QueryNumber(kParameters, "Fake"), std::nullopt);
  EXPECT_TRUE(filesStartingWith("registry.reg.unreadable").empty());
}

TEST_F(RegistryTest, InvalidNamesTypesAndSizesAreRefused) {
  HKEY key = 0;
  const std::string longLevel(256, 'k');
  const std::string badPaths[] = {"Software\\Bad\x01Name", "Software\\" + longLevel};
  for (const std::string& path : badPaths)
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER)
        << path;
  EXPECT_FALSE(std::filesystem::exists(registryFile()));

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kParameters, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(RegSetValueExA(key, "Short", 0, REG_DWORD, bytes, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "Long", 0, REG_DWORD, bytes, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "Binary", 0, 3, bytes, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key, "NoData", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
  // A text ends at its first zero byte.
  EXPECT_EQ(RegSetValueExA(key, "Cut", 0, REG_SZ, reinterpret_cast<const uint8_t*>("ab\0cd"), 6),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(QueryText(kParameters, "Cut"), "ab");
  EXPECT_EQ(QueryNumber(kParameters, "Short"), std::nullopt);
}

TEST_F(RegistryTest, EnumerationListsKeysAndValuesInOrder) {
  ASSERT_EQ(SetText("Software\\Maker\\First", "b", "2"), ERROR_SUCCESS);
  ASSERT_EQ(SetNumber("Software\\Maker\\First", "a", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetText("Software\\Maker\\Second", nullptr, "default"), ERROR_SUCCESS);
  HKEY maker = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker", 0, KEY_READ, &maker),
            ERROR_SUCCESS);
  std::vector<std::string> keys;
  for (uint32_t index = 0;; ++index) {
    char name[256];
    uint32_t chars = sizeof name;
    const int32_t status =
        RegEnumKeyExA(maker, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(chars, std::strlen(name));
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"First", "Second"}));
  char tiny[3];
  uint32_t chars = sizeof tiny;
  EXPECT_EQ(RegEnumKeyExA(maker, 1, tiny, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(chars, 7u);
  RegCloseKey(maker);

  HKEY first = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\First", 0, KEY_READ, &first),
            ERROR_SUCCESS);
  struct Listed {
    std::string name;
    uint32_t type;
    uint32_t bytes;
    bool operator==(const Listed&) const = default;
  };
  std::vector<Listed> values;
  for (uint32_t index = 0;; ++index) {
    char name[64];
    uint32_t nameChars = sizeof name, type = 0, bytes = 0;
    const int32_t status =
        RegEnumValueA(first, index, name, &nameChars, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    values.push_back({name, type, bytes});
  }
  EXPECT_EQ(values, (std::vector<Listed>{{"b", REG_SZ, 2}, {"a", REG_DWORD, 4}}));
  RegCloseKey(first);
}

TEST_F(RegistryTest, HandEditedStoreIsRead) {
  WriteText(registryFile(),
            "; written by hand\r\n"
            "\r\n"
            "  [HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters]  \r\n"
            "\"Codec\"=\"iv50\"\r\n"
            "\"Quality\"=dword:1F\r\n"
            "[HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters]\n"
            "\"Quality\"=dword:00000020\n");
  EXPECT_EQ(QueryText(kParameters, "Codec"), "iv50");
  EXPECT_EQ(QueryNumber(kParameters, "Quality"), 0x20u);
  // A change keeps what was there.
  ASSERT_EQ(SetNumber(kParameters, "KeyframeEvery", 15), ERROR_SUCCESS);
  EXPECT_EQ(QueryText(kParameters, "Codec"), "iv50");
  EXPECT_TRUE(filesStartingWith("registry.reg.unreadable").empty());
}

TEST_F(RegistryTest, UnreadableStoreIsKeptAsideReportedOnceAndNeverOverwritten) {
  const std::string broken[] = {
      "this is not a store\n",
      "\"Codec\"=\"cvid\"\n",
      "[HKEY_CURRENT_USER\\Software]\n\"Codec\"=\"cvid\n",
      "[HKEY_CURRENT_USER\\Software]\n\"Quality\"=dword:123456789\n",
      "[HKEY_CURRENT_USER\\Software]\n\"Quality\"=dword:xyz\n",
      "[HKEY_NOBODY\\Software]\n",
      "[HKEY_CURRENT_USER\\Software\n",
      "[HKEY_CURRENT_USER\\Software]\n\"Bad\\q\"=\"x\"\n",
      std::string("[HKEY_CURRENT_USER\\Software]\n\"A\"=\"") + '\0' + "\"\n",
  };
  for (const std::string& content : broken) {
    std::filesystem::remove_all(home());
    WriteText(registryFile(), content);
    ::testing::internal::CaptureStderr();
    // Reading sees an empty store; the file is kept aside under another name.
    EXPECT_EQ(QueryText("Software", "Codec"), std::nullopt);
    EXPECT_EQ(QueryNumber("Software", "Quality"), std::nullopt);
    ASSERT_EQ(SetText("Software\\Fresh", "Codec", "cvid"), ERROR_SUCCESS);
    const std::string report = ::testing::internal::GetCapturedStderr();

    const std::vector<std::string> kept = filesStartingWith("registry.reg.unreadable-");
    ASSERT_EQ(kept.size(), 1u) << content;
    EXPECT_EQ(ReadText(home() / kept[0]), content);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_NE(report.find(kept[0]), std::string::npos) << report;
    EXPECT_EQ(QueryText("Software\\Fresh", "Codec"), "cvid");
  }
}

TEST_F(RegistryTest, StoreHomeFollowsTheEnvironment) {
  struct Case {
    const char* kplHome;
    const char* xdgConfigHome;
    const char* home;
    std::string expected;
  };
  const std::string base = scratch().string();
  const Case cases[] = {
      {"/a/kpl-home", "/b/config", "/c/user", "/a/kpl-home/registry.reg"},
      {"/a/kpl-home/", nullptr, "/c/user", "/a/kpl-home/registry.reg"},
      {nullptr, "/b/config", "/c/user", "/b/config/kpl/registry.reg"},
      {"", "relative/config", "/c/user", "/c/user/.config/kpl/registry.reg"},
      {nullptr, nullptr, "/c/user", "/c/user/.config/kpl/registry.reg"},
  };
  const char* savedHome = std::getenv("HOME");
  const std::string keepHome = savedHome ? savedHome : "";
  for (const Case& c : cases) {
    auto put = [](const char* name, const char* value) {
      if (value)
        setenv(name, value, 1);
      else
        unsetenv(name);
    };
    put("KPL_HOME", c.kplHome);
    put("XDG_CONFIG_HOME", c.xdgConfigHome);
    put("HOME", c.home);
    char path[512];
    EXPECT_EQ(RegGetStoreFileA(path, sizeof path), c.expected.size());
    EXPECT_EQ(std::string(path), c.expected);
    char folder[512];
    GetWindowsDirectoryA(folder, sizeof folder);
    EXPECT_EQ(std::string(folder) + "/registry.reg", c.expected);
  }
  if (savedHome) setenv("HOME", keepHome.c_str(), 1);
  char tooSmall[4];
  EXPECT_EQ(RegGetStoreFileA(tooSmall, sizeof tooSmall), 0u);
}

}  // namespace
}  // namespace kpl::test
