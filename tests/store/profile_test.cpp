// INI files through the profile calls: where a bare name lands, reading with defaults and
// short buffers, lists, removal, texts that would break the file, and the user's language.
#include <cstring>

#include "fresh_store.hpp"
#include "kpl/platform/profile.h"

namespace kpl::test {
namespace {

class ProfileTest : public FreshStore {
 protected:
  std::string get(const char* section, const char* key, const char* fallback, const char* file,
                  uint32_t bufferChars = 256) {
    std::vector<char> buffer(bufferChars + 1, '#');
    const uint32_t length =
        GetPrivateProfileStringA(section, key, fallback, buffer.data(), bufferChars, file);
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return buffer.data();
  }
};

TEST_F(ProfileTest, BareNamesLandInTheStoreHomeAndPathsWhereTheyPoint) {
  ASSERT_TRUE(WritePrivateProfileStringA("Parameters", "Codec", "cvid", "setup.ini"));
  EXPECT_EQ(ReadText(home() / "setup.ini"), "[Parameters]\nCodec=cvid\n");
  const std::string elsewhere = (scratch() / "other" / "my.ini").string();
  ASSERT_TRUE(WritePrivateProfileStringA("Parameters", "Codec", "MSVC", elsewhere.c_str()));
  EXPECT_EQ(ReadText(elsewhere), "[Parameters]\nCodec=MSVC\n");
  EXPECT_EQ(get("Parameters", "Codec", "none", "setup.ini"), "cvid");
  EXPECT_EQ(get("parameters", "CODEC", "none", elsewhere.c_str()), "MSVC");
}

TEST_F(ProfileTest, EditsKeepTheRestOfTheFile) {
  WriteText(home() / "app.ini",
            "; my settings\r\n[First]\r\nA=1\r\n\r\n[Second]\r\n; about B\r\nB = 2 \r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("first", "a", "10", "app.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("First", "C", "3", "app.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Third", "D", "4", "app.ini"));
  EXPECT_EQ(ReadText(home() / "app.ini"),
            "; my settings\r\n[First]\r\nA=10\r\nC=3\r\n\r\n[Second]\r\n; about B\r\nB = 2 "
            "\r\n\r\n[Third]\r\nD=4\r\n");
  EXPECT_EQ(get("Second", "B", "", "app.ini"), "2");

  ASSERT_TRUE(WritePrivateProfileStringA("First", "A", nullptr, "app.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Second", nullptr, nullptr, "app.ini"));
  EXPECT_EQ(ReadText(home() / "app.ini"),
            "; my settings\r\n[First]\r\nC=3\r\n\r\n[Third]\r\nD=4\r\n");
}

TEST_F(ProfileTest, ValuesRoundTrip) {
  const std::string values[] = {
      "",           "plain",       "  leading blanks", "trailing blanks  ",
      "\"quoted\"", "a=b=c",       "semi;colon",       "[not a section]",
      "=====",      "\xE6\xF8\xE5"};
  for (size_t i = 0; i < std::size(values); ++i) {
    std::string key = "K";
    key += std::to_string(i);
    ASSERT_TRUE(WritePrivateProfileStringA("S", key.c_str(), values[i].c_str(), "v.ini")) << i;
  }
  for (size_t i = 0; i < std::size(values); ++i) {
    std::string key = "K";
    key += std::to_string(i);
    EXPECT_EQ(get("S", key.c_str(), "default", "v.ini"), values[i]) << i;
  }
}

TEST_F(ProfileTest, ReadingGivesDefaultsCutsToTheBufferAndLists) {
  WriteText(home() / "r.ini", "[One]\nAlpha=abcdefgh\nBeta=2\n[Two]\nGamma=3\n[one]\nDelta=4\n");
  EXPECT_EQ(get("One", "Alpha", "", "r.ini", 5), "abcd");
  EXPECT_EQ(get("One", "Missing", "fallback", "r.ini"), "fallback");
  EXPECT_EQ(get("One", "Missing", "fallback", "r.ini", 4), "fal");
  EXPECT_EQ(get("One", "Missing", nullptr, "r.ini"), "");
  EXPECT_EQ(get("Nowhere", "Alpha", "d", "r.ini"), "d");
  EXPECT_EQ(get("One", "Alpha", "d", "absent.ini"), "d");

  char list[64];
  uint32_t length = GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, "r.ini");
  EXPECT_EQ(std::string(list, length + 1), std::string("One\0Two\0\0", 9));
  length = GetPrivateProfileStringA("One", nullptr, "", list, sizeof list, "r.ini");
  EXPECT_EQ(std::string(list, length + 1), std::string("Alpha\0Beta\0\0", 12));
  // A list that does not fit is cut and still ends in two zeros.
  length = GetPrivateProfileStringA("One", nullptr, "", list, 8, "r.ini");
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(std::string(list, 8), std::string("Alpha\0\0\0", 8));
  EXPECT_EQ(GetPrivateProfileStringA("One", "Alpha", "", nullptr, 10, "r.ini"), 0u);
}

TEST_F(ProfileTest, TextsThatWouldBreakTheFileAreRefused) {
  ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", "b.ini"));
  const std::string before = ReadText(home() / "b.ini");
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  };
  const Case refused[] = {
      {"S", "K", "two\nlines"}, {"S", "K", "carriage\rreturn"},
      {"S", "K=", "v"},         {"S", "K\n[X]", "v"},
      {"S]", "K", "v"},         {"S\nX", "K", "v"},
      {nullptr, "K", "v"},      {"S", "", "v"},
      {"S", "[K", "v"},
  };
  for (const Case& c : refused)
    EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, "b.ini"))
        << (c.section ? c.section : "null") << " " << c.key << " " << c.value;
  EXPECT_EQ(ReadText(home() / "b.ini"), before);
}

TEST_F(ProfileTest, UserLanguageComesFromTheProfileElseTheLocale) {
  struct Case {
    const char* profile;  // null: no user profile
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "da_DK.UTF-8", "DAN"},
      {nullptr, nullptr, nullptr, "da", "DAN"},
      {nullptr, nullptr, nullptr, "en_US.UTF-8", "ENU"},
      {nullptr, nullptr, nullptr, nullptr, "ENU"},
      {nullptr, nullptr, nullptr, "dari", "ENU"},
      {nullptr, "C", nullptr, "da_DK", "ENU"},
      {nullptr, nullptr, "da_DK", "en_GB", "DAN"},
      {"[Intl]\nsLanguage=dan\n", nullptr, nullptr, "en_US", "dan"},
      {"[intl]\nSLANGUAGE=DEU\n", nullptr, nullptr, "da_DK", "DEU"},
      {"[Intl]\niCountry=45\n", nullptr, nullptr, "da_DK", "DAN"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(home());
    if (c.profile) WriteText(home() / "win.ini", c.profile);
    for (auto [name, value] : {std::pair{"LC_ALL", c.lcAll}, std::pair{"LC_MESSAGES", c.lcMessages},
                               std::pair{"LANG", c.lang}}) {
      if (value)
        setenv(name, value, 1);
      else
        unsetenv(name);
    }
    char code[10];
    GetProfileStringA("Intl", "sLanguage", "XXX", code, sizeof code);
    EXPECT_STREQ(code, c.expected)
        << (c.profile ? c.profile : "no profile") << " LANG " << (c.lang ? c.lang : "unset");
  }
  // Other settings of the profile have no such fallback.
  std::filesystem::remove_all(home());
  char other[16];
  GetProfileStringA("Intl", "iCountry", "none", other, sizeof other);
  EXPECT_STREQ(other, "none");
  ASSERT_TRUE(WriteProfileStringA("Intl", "sLanguage", "enu"));
  GetProfileStringA("Intl", "sLanguage", "XXX", other, sizeof other);
  EXPECT_STREQ(other, "enu");
}

}  // namespace
}  // namespace kpl::test
