// The settings store against the real store on disk, in its three homes: an INI file, typed
// registry values, and text default values of keys of their own. Each test runs in a child
// process, so the module-wide list and shut-down flag start fresh.
#include <cstring>

#include "fresh_store.hpp"
#include "kpl/platform/message_box.h"
#include "kpl/platform/profile.h"
#include "kpl/support/ini_mgr.hpp"

namespace kpl::test {
namespace {

constexpr const char* kRoot = "Software\\Tessalbrook\\FilePlugIns";
constexpr const char* kSectionKey = "Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters";

enum class Home { kIni, kTypedRegistry, kTextRegistry };
const char* nameOf(Home home) {
  switch (home) {
    case Home::kIni:
      return "INI file";
    case Home::kTypedRegistry:
      return "typed registry values";
    default:
      return "registry key default values";
  }
}
constexpr Home kHomes[] = {Home::kIni, Home::kTypedRegistry, Home::kTextRegistry};

// Sets the store up as the AVI module does (application "AviPlugIn"; INI mode: avi.ini).
void useHome(Home home) {
  TypedRegistryValues = home == Home::kTypedRegistry;
  if (home != Home::kIni) SetRegistryRoot(HKEY_CURRENT_USER, kRoot);
  SetApplicationName(home == Home::kIni ? "Avi" : "AviPlugIn");
}

// Puts a stored text where `home` keeps section "Parameters", key `key`.
void storeText(Home home, const char* key, const std::string& text) {
  switch (home) {
    case Home::kIni:
      ASSERT_TRUE(WritePrivateProfileStringA("Parameters", key, text.c_str(), "avi.ini"));
      break;
    case Home::kTypedRegistry:
      ASSERT_EQ(SetText(kSectionKey, key, text), ERROR_SUCCESS);
      break;
    case Home::kTextRegistry:
      ASSERT_EQ(SetText(std::string(kSectionKey) + "\\" + key, nullptr, text), ERROR_SUCCESS);
      break;
  }
}

// The text a home holds for `key`; typed numbers come back in decimal.
std::optional<std::string> storedText(Home home, const char* key) {
  switch (home) {
    case Home::kIni: {
      char text[512];
      GetPrivateProfileStringA("Parameters", key, "<none>", text, sizeof text, "avi.ini");
      return std::string(text) == "<none>" ? std::nullopt : std::optional<std::string>(text);
    }
    case Home::kTypedRegistry:
      if (const auto number = QueryNumber(kSectionKey, key))
        return std::to_string(int32_t(*number));
      return QueryText(kSectionKey, key);
    default:
      return QueryText(std::string(kSectionKey) + "\\" + key, nullptr);
  }
}

class IniMgrTest : public FreshStore {};

TEST_F(IniMgrTest, AbsentValuesAndTheNotFoundMarkerLeaveDefaults) {
  for (const Home home : kHomes)
    for (const bool markerStored : {false, true})
      InChild([&] {
        SCOPED_TRACE(std::string(nameOf(home)) + (markerStored ? ", marker stored" : ", absent"));
        if (markerStored)
          for (const char* key : {"Codec", "Quality", "UseDatarate", "Name", "Scale"})
            storeText(home, key, "=====");
        useHome(home);
        char codec[5] = "cvid";
        int32_t quality = -1, useDatarate = -1;
        std::string name = "initial";
        double scale = 1.5;
        RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
        RegisterSetting("Parameters", "Quality", KindLong32, &quality, &quality, 0);
        RegisterSetting("Parameters", "UseDatarate", KindBool32, &useDatarate, &useDatarate, 0);
        RegisterSetting("Parameters", "Name", KindDynamicText, &name, "fallback", 0);
        RegisterSetting("Parameters", "Scale", KindFloat64, &scale, &scale, 0);
        EXPECT_STREQ(codec, "cvid");
        EXPECT_EQ(quality, -1);
        EXPECT_EQ(useDatarate, -1);
        EXPECT_EQ(name, "fallback");
        EXPECT_EQ(scale, 1.5);
      });
}

TEST_F(IniMgrTest, TruthWordsAndTheirWrittenForm) {
  struct Case {
    const char* stored;
    int32_t bool32;
    uint8_t bool8;
  };
  const Case cases[] = {{"Yes", -1, 1}, {"ON", -1, 1}, {"True", -1, 1}, {"1", -1, 1},
                        {"0", 0, 0},    {"no", 0, 0},  {"", 0, 0},      {"2", 0, 0},
                        {"yes!", 0, 0}, {"-1", 0, 0}};
  for (const Home home : {Home::kIni, Home::kTextRegistry})
    for (const Case& c : cases)
      InChild([&] {
        SCOPED_TRACE(std::string(nameOf(home)) + ": \"" + c.stored + "\"");
        storeText(home, "Wide", c.stored);
        storeText(home, "Narrow", c.stored);
        useHome(home);
        int32_t wide = 7;
        uint8_t narrow = 7;
        RegisterSetting("Parameters", "Wide", KindBool32, &wide, &wide, 0);
        RegisterSetting("Parameters", "Narrow", KindBool8, &narrow, &narrow, 0);
        EXPECT_EQ(wide, c.bool32);
        EXPECT_EQ(narrow, c.bool8);
        SaveSettings();
        const char* written = c.bool32 ? "1" : "0";
        EXPECT_EQ(storedText(home, "Wide"), written);
        EXPECT_EQ(storedText(home, "Narrow"), written);
      });
  // Typed: a number, 1 or 0, whatever truth value the variable holds.
  InChild([] {
    SetNumber(kSectionKey, "Wide", 1);
    useHome(Home::kTypedRegistry);
    int32_t wide = 0, other = 0;
    RegisterSetting("Parameters", "Wide", KindBool32, &wide, &wide, 0);
    RegisterSetting("Parameters", "Other", KindBool32, &other, &other, 0);
    EXPECT_EQ(wide, -1);
    other = 12345;
    wide = 0;
    SaveSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Wide"), 0u);
    EXPECT_EQ(QueryNumber(kSectionKey, "Other"), 1u);
  });
}

TEST_F(IniMgrTest, FixedTextIsCutToItsMaximumLength) {
  struct Case {
    Home home;
    const char* stored;
    const char* expected;
  };
  const Case cases[] = {
      {Home::kIni, "cvid", "cvid"},
      {Home::kIni, "cvidextra", "cvid"},
      {Home::kIni, "ab", "ab"},
      {Home::kTypedRegistry, "cvid", "cvid"},
      {Home::kTypedRegistry, "MSVCx", "MSVC"},
      {Home::kTextRegistry, "iv50", "iv50"},
      {Home::kTextRegistry, "mrleX", "mrle"},
  };
  for (const Case& c : cases)
    InChild([&] {
      SCOPED_TRACE(std::string(nameOf(c.home)) + ": " + c.stored);
      storeText(c.home, "Codec", c.stored);
      useHome(c.home);
      // The variable's buffer sits between guard bytes that must stay untouched.
      char memory[16];
      std::memset(memory, '#', sizeof memory);
      char* codec = memory + 4;
      std::strcpy(codec, "none");
      RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
      EXPECT_STREQ(codec, c.expected);
      EXPECT_EQ(std::string(memory, 4), "####");
      EXPECT_EQ(std::string(memory + 9, 7), "#######");
    });
  // Typed text values longer than the buffer count as missing.
  InChild([] {
    SetText(kSectionKey, "Codec", "much too long");
    useHome(Home::kTypedRegistry);
    char codec[5] = "cvid";
    RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
    EXPECT_STREQ(codec, "cvid");
  });
}

TEST_F(IniMgrTest, IniFileNames) {
  struct Case {
    const char* applicationName;
    const char* fileName;
  };
  const Case cases[] = {{"Setup", "setup.ini"}, {"my.INI", "my.ini"}, {"Avi", "avi.ini"}};
  for (const Case& c : cases)
    InChild([&] {
      SetApplicationName(c.applicationName);
      int32_t value = 42;
      RegisterSetting("Section", "Value", KindInt32, &value, &value, 0);
      SaveSettings();
      EXPECT_EQ(ReadText(home() / c.fileName), "[Section]\nValue=42\n") << c.applicationName;
    });
}

TEST_F(IniMgrTest, RegistryLocationsTypedAndUntyped) {
  InChild([&] {
    useHome(Home::kTypedRegistry);
    char codec[5] = "cvid";
    RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
    SaveSettings();
    EXPECT_EQ(QueryText(kSectionKey, "Codec"), "cvid");
    EXPECT_EQ(QueryText(std::string(kSectionKey) + "\\Codec", nullptr), std::nullopt);
    EXPECT_NE(ReadText(registryFile())
                  .find("[HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\"
                        "Parameters]\n\"Codec\"=\"cvid\"\n"),
              std::string::npos);
  });
  std::filesystem::remove_all(home());
  InChild([&] {
    useHome(Home::kTextRegistry);
    char codec[5] = "cvid";
    int32_t quality = 26;
    RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
    RegisterSetting("Parameters", "Quality", KindLong32, &quality, &quality, 0);
    SaveSettings();
    EXPECT_EQ(QueryText(std::string(kSectionKey) + "\\Codec", nullptr), "cvid");
    EXPECT_EQ(QueryText(std::string(kSectionKey) + "\\Quality", nullptr), "26");
    EXPECT_EQ(QueryText(kSectionKey, "Codec"), std::nullopt);
    EXPECT_NE(ReadText(registryFile())
                  .find("[HKEY_CURRENT_USER\\Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\"
                        "Parameters\\Codec]\n@=\"cvid\"\n"),
              std::string::npos);
  });
}

TEST_F(IniMgrTest, HexadecimalWritingAndReading) {
  for (const Home home : kHomes)
    InChild([&] {
      SCOPED_TRACE(nameOf(home));
      useHome(home);
      int32_t int32 = 26, long32 = -2;
      int8_t int8 = -1;
      uint16_t uint16 = 0xABCD;
      uint8_t uint8 = 0x0F;
      const uint16_t hex = kSettingHexadecimal;
      RegisterSetting("Parameters", "Int32", KindInt32 | hex, &int32, &int32, 0);
      RegisterSetting("Parameters", "Long32", KindLong32 | hex, &long32, &long32, 0);
      RegisterSetting("Parameters", "Int8", KindInt8 | hex, &int8, &int8, 0);
      RegisterSetting("Parameters", "UInt16", KindUInt16 | hex, &uint16, &uint16, 0);
      RegisterSetting("Parameters", "UInt8", KindUInt8 | hex, &uint8, &uint8, 0);
      SaveSettings();
      if (home == Home::kTypedRegistry) {
        // Numbers in the registry are numbers: the flag changes nothing there.
        EXPECT_EQ(QueryNumber(kSectionKey, "Int32"), 26u);
        EXPECT_EQ(QueryNumber(kSectionKey, "Int8"), 0xFFFFFFFFu);
        EXPECT_EQ(QueryNumber(kSectionKey, "UInt16"), 0xABCDu);
      } else {
        EXPECT_EQ(storedText(home, "Int32"), "0000001A");
        EXPECT_EQ(storedText(home, "Long32"), "FFFFFFFE");
        EXPECT_EQ(storedText(home, "Int8"), "FF");
        EXPECT_EQ(storedText(home, "UInt16"), "ABCD");
        EXPECT_EQ(storedText(home, "UInt8"), "0F");
      }
      int32_t readInt32 = 0, readLong32 = 0;
      int8_t readInt8 = 0;
      uint16_t readUInt16 = 0;
      uint8_t readUInt8 = 0;
      RegisterSetting("Parameters", "Int32", KindInt32 | hex | kSettingReadOnly, &readInt32,
                      &readInt32, 0);
      RegisterSetting("Parameters", "Long32", KindLong32 | hex | kSettingReadOnly, &readLong32,
                      &readLong32, 0);
      RegisterSetting("Parameters", "Int8", KindInt8 | hex | kSettingReadOnly, &readInt8, &readInt8,
                      0);
      RegisterSetting("Parameters", "UInt16", KindUInt16 | hex | kSettingReadOnly, &readUInt16,
                      &readUInt16, 0);
      RegisterSetting("Parameters", "UInt8", KindUInt8 | hex | kSettingReadOnly, &readUInt8,
                      &readUInt8, 0);
      EXPECT_EQ(readInt32, 26);
      EXPECT_EQ(readLong32, -2);
      EXPECT_EQ(readInt8, -1);
      EXPECT_EQ(readUInt16, 0xABCD);
      EXPECT_EQ(readUInt8, 0x0F);
    });
  // Text stored by hand: hexadecimal digits of any case, and decimal ones read as hexadecimal.
  InChild([&] {
    WritePrivateProfileStringA("Parameters", "A", "1a", "avi.ini");
    WritePrivateProfileStringA("Parameters", "B", "10", "avi.ini");
    useHome(Home::kIni);
    int32_t a = 0, b = 0;
    RegisterSetting("Parameters", "A", KindInt32 | kSettingHexadecimal, &a, &a, 0);
    RegisterSetting("Parameters", "B", KindInt32 | kSettingHexadecimal, &b, &b, 0);
    EXPECT_EQ(a, 26);
    EXPECT_EQ(b, 16);
  });
}

TEST_F(IniMgrTest, EveryKindRoundTripsInEveryHome) {
  for (const Home home : kHomes)
    InChild([&] {
      SCOPED_TRACE(nameOf(home));
      useHome(home);
      char fixed[9] = "fixed";
      unsigned char counted[11] = {7, 'c', 'o', 'u', 'n', 't', 'e', 'd'};
      std::string dynamic(3000, 'd');
      int32_t int32 = INT32_MIN, long32 = INT32_MAX;
      int8_t int8 = -128;
      uint16_t uint16 = 65535;
      uint8_t uint8 = 255;
      double real64 = 0.1, float64 = -1e300;
      float float32 = 3.14159f;
      int32_t bool32 = -1;
      uint8_t bool8 = 1;
      auto registerAll = [&](uint16_t extra) {
        RegisterSetting("Parameters", "Fixed", KindFixedText | extra, fixed, fixed, 8);
        RegisterSetting("Parameters", "Counted", KindCountedText | extra, counted, counted, 10);
        RegisterSetting("Parameters", "Dynamic", KindDynamicText | extra, &dynamic, dynamic.c_str(),
                        0);
        RegisterSetting("Parameters", "Int32", KindInt32 | extra, &int32, &int32, 0);
        RegisterSetting("Parameters", "Long32", KindLong32 | extra, &long32, &long32, 0);
        RegisterSetting("Parameters", "Int8", KindInt8 | extra, &int8, &int8, 0);
        RegisterSetting("Parameters", "UInt16", KindUInt16 | extra, &uint16, &uint16, 0);
        RegisterSetting("Parameters", "UInt8", KindUInt8 | extra, &uint8, &uint8, 0);
        RegisterSetting("Parameters", "Real64", KindReal64 | extra, &real64, &real64, 0);
        RegisterSetting("Parameters", "Float32", KindFloat32 | extra, &float32, &float32, 0);
        RegisterSetting("Parameters", "Float64", KindFloat64 | extra, &float64, &float64, 0);
        RegisterSetting("Parameters", "Bool32", KindBool32 | extra, &bool32, &bool32, 0);
        RegisterSetting("Parameters", "Bool8", KindBool8 | extra, &bool8, &bool8, 0);
      };
      registerAll(kSettingWriteNow);
      // Clear every variable; reading must bring every value back.
      std::memset(fixed, 0, sizeof fixed);
      std::memset(counted, 0, sizeof counted);
      dynamic.clear();
      int32 = long32 = bool32 = 0;
      int8 = 0;
      uint16 = 0;
      uint8 = bool8 = 0;
      real64 = float64 = 0;
      float32 = 0;
      registerAll(kSettingReadOnly);
      EXPECT_STREQ(fixed, "fixed");
      EXPECT_EQ(std::string(reinterpret_cast<char*>(counted + 1), counted[0]), "counted");
      EXPECT_EQ(dynamic, std::string(3000, 'd'));
      EXPECT_EQ(int32, INT32_MIN);
      EXPECT_EQ(long32, INT32_MAX);
      EXPECT_EQ(int8, -128);
      EXPECT_EQ(uint16, 65535);
      EXPECT_EQ(uint8, 255);
      EXPECT_EQ(real64, 0.1);
      EXPECT_EQ(float64, -1e300);
      EXPECT_EQ(float32, 3.14159f);
      EXPECT_EQ(bool32, -1);
      EXPECT_EQ(bool8, 1);
      if (home == Home::kTypedRegistry) {
        EXPECT_EQ(QueryNumber(kSectionKey, "Int8"), 0xFFFFFF80u);
        EXPECT_EQ(QueryNumber(kSectionKey, "UInt16"), 65535u);
        EXPECT_EQ(QueryText(kSectionKey, "Float32").has_value(), true);
      } else {
        EXPECT_EQ(storedText(home, "Int8"), "-128");
        EXPECT_EQ(storedText(home, "UInt8"), "255");
        EXPECT_EQ(storedText(home, "Counted"), "counted");
      }
    });
}

TEST_F(IniMgrTest, TextsThatAreNotNumbersGiveTheDefaultUntouched) {
  const char* texts[] = {"12abc", "abc", "", " ", "$", "$G1", "99999999999", "1.5", "0x"};
  for (const char* text : texts)
    InChild([&] {
      SCOPED_TRACE(std::string("\"") + text + "\"");
      WritePrivateProfileStringA("Parameters", "Number", text, "avi.ini");
      WritePrivateProfileStringA("Parameters", "Real", text, "avi.ini");
      useHome(Home::kIni);
      int32_t number = 77;
      float real = 2.5f;
      // The variable is its own default: a partly read number must not stick.
      RegisterSetting("Parameters", "Number", KindInt32, &number, &number, 0);
      EXPECT_EQ(number, 77);
      if (std::string(text) != "1.5" && std::string(text) != "99999999999") {
        RegisterSetting("Parameters", "Real", KindFloat32, &real, &real, 0);
        EXPECT_EQ(real, 2.5f);
      }
    });
  // Numbers as people write them.
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case numbers[] = {{"  42", 42},     {"-7", -7},   {"+7", 7},
                          {"$1F", 31},      {"0x1f", 31}, {"-2147483648", INT32_MIN},
                          {"$FFFFFFFF", -1}};
  for (const Case& c : numbers)
    InChild([&] {
      WritePrivateProfileStringA("Parameters", "Number", c.text, "avi.ini");
      useHome(Home::kIni);
      int32_t number = 0;
      RegisterSetting("Parameters", "Number", KindInt32, &number, &number, 0);
      EXPECT_EQ(number, c.value) << c.text;
    });
}

TEST_F(IniMgrTest, WriteNowAndReadOnlyEntriesAreNotKept) {
  InChild([&] {
    storeText(Home::kTypedRegistry, "Codec", "iv50");
    useHome(Home::kTypedRegistry);
    int32_t now = 5;
    char codec[5] = "cvid";
    RegisterSetting("Parameters", "Now", KindLong32 | kSettingWriteNow, &now, &now, 0);
    EXPECT_EQ(QueryNumber(kSectionKey, "Now"), 5u);
    RegisterSetting("Parameters", "Codec", KindFixedText | kSettingReadOnly, codec, codec, 4);
    EXPECT_STREQ(codec, "iv50");
    now = 6;
    std::strcpy(codec, "MSVC");
    SaveSettings();
    FreeSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Now"), 5u);
    EXPECT_EQ(QueryText(kSectionKey, "Codec"), "iv50");
  });
}

TEST_F(IniMgrTest, SaveWritesEveryEntryFreeWritesOnceThenForgets) {
  InChild([&] {
    useHome(Home::kTypedRegistry);
    int32_t quality = 1, first = 0, second = 0;
    RegisterSetting("Parameters", "Quality", KindLong32, &quality, &quality, 0);
    // The same value registered twice keeps two entries; the later one is written last.
    RegisterSetting("Parameters", "Twice", KindLong32, &first, &first, 0);
    RegisterSetting("Parameters", "Twice", KindLong32, &second, &second, 0);
    first = 10;
    second = 20;
    quality = 2;
    SaveSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Quality"), 2u);
    EXPECT_EQ(QueryNumber(kSectionKey, "Twice"), 20u);
    quality = 3;
    FreeSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Quality"), 3u);
    quality = 4;
    FreeSettings();
    SaveSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Quality"), 3u);
    // After FreeSettings only explicit saves write; FreeSettings stays done.
    useHome(Home::kTypedRegistry);
    RegisterSetting("Parameters", "Quality", KindLong32, &quality, &quality, 0);
    EXPECT_EQ(quality, 3);
    quality = 5;
    FreeSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Quality"), 3u);
    SaveSettings();
    EXPECT_EQ(QueryNumber(kSectionKey, "Quality"), 5u);
  });
}

TEST_F(IniMgrTest, RegisteringWithoutAnApplicationNameIsRefusedAndTheProcessGoesOn) {
  for (const bool afterFree : {false, true})
    InChild([&] {
      if (afterFree) {
        useHome(Home::kTypedRegistry);
        FreeSettings();  // forgets the application name
      }
      TypedRegistryValues = true;
      SetRegistryRoot(HKEY_CURRENT_USER, kRoot);
      const uint32_t boxesBefore = MessageBoxCount();
      int32_t quality = 9;
      const int32_t fallback = 4;
      ::testing::internal::CaptureStderr();
      RegisterSetting("Parameters", "Quality", KindLong32, &quality, &fallback, 0);
      const std::string shown = ::testing::internal::GetCapturedStderr();
      EXPECT_EQ(MessageBoxCount(), boxesBefore + 1);
      EXPECT_NE(shown.find("\"INI MANAGER\""), std::string::npos) << shown;
      EXPECT_NE(shown.find("INI MANAGER ERROR: Use SetApplicationName(<name>) to set "
                           "application name!"),
                std::string::npos)
          << shown;
      EXPECT_EQ(quality, 4);
      quality = 8;
      SaveSettings();
      EXPECT_FALSE(std::filesystem::exists(registryFile()));
    });
}

TEST_F(IniMgrTest, KeysThatCannotBeCreated) {
  // The store's home is a file, so no key can be created there.
  WriteText(home(), "not a folder");
  for (const Home home : {Home::kTextRegistry, Home::kTypedRegistry})
    InChild([&] {
      useHome(home);
      int32_t quality = 3;
      const uint32_t boxesBefore = MessageBoxCount();
      ::testing::internal::CaptureStderr();
      RegisterSetting("Parameters", "Quality", KindLong32 | kSettingWriteNow, &quality, &quality,
                      0);
      const std::string shown = ::testing::internal::GetCapturedStderr();
      if (home == Home::kTextRegistry) {
        EXPECT_EQ(MessageBoxCount(), boxesBefore + 1);
        EXPECT_NE(shown.find("\"Error accessing REGEDIT\": Unable to create key in registration "
                             "database"),
                  std::string::npos)
            << shown;
      } else {
        EXPECT_EQ(MessageBoxCount(), boxesBefore);
        EXPECT_EQ(shown, "");
      }
      EXPECT_EQ(quality, 3);
    });
}

TEST_F(IniMgrTest, LongTexts) {
  InChild([&] {
    useHome(Home::kTypedRegistry);
    // A dynamic text reads up to 16383 characters; a longer one counts as missing.
    SetText(kSectionKey, "Fits", std::string(16383, 'f'));
    SetText(kSectionKey, "TooLong", std::string(16384, 't'));
    std::string fits, tooLong;
    RegisterSetting("Parameters", "Fits", KindDynamicText | kSettingReadOnly, &fits, "default", 0);
    RegisterSetting("Parameters", "TooLong", KindDynamicText | kSettingReadOnly, &tooLong,
                    "default", 0);
    EXPECT_EQ(fits.size(), 16383u);
    EXPECT_EQ(tooLong, "default");
    // A counted text holds at most 255 characters, whatever its maximum length says.
    SetText(kSectionKey, "Counted", std::string(300, 'c'));
    TypedRegistryValues = false;
    SetText(std::string(kSectionKey) + "\\Counted", nullptr, std::string(300, 'c'));
    unsigned char counted[512] = {};
    RegisterSetting("Parameters", "Counted", KindCountedText | kSettingReadOnly, counted, counted,
                    400);
    EXPECT_EQ(counted[0], 255);
    EXPECT_EQ(counted[256], 0);
  });
}

}  // namespace
}  // namespace kpl::test
