// The language offset a module takes from its language table and the user's language code.
#include "fresh_store.hpp"
#include "kpl/platform/profile.h"
#include "kpl/support/win_text2.hpp"

namespace kpl::test {
namespace {

class LanguageTest : public FreshStore {};

ModuleResources tableOf(const std::vector<StringResource>& strings) {
  return ModuleResources{strings.data(), strings.size(), nullptr, 0};
}

TEST_F(LanguageTest, OffsetFromTheTable) {
  struct Case {
    std::vector<StringResource> table;
    const char* code;
    int32_t expected;
  };
  const Case cases[] = {
      {{{65000, "DAN:4500"}, {65001, "<end>"}}, "DAN", 4500},
      {{{65000, "DAN:4500"}, {65001, "<end>"}}, "ENU", 0},
      {{{65000, "dan:4500"}, {65001, "<end>"}}, "DAN", 4500},
      {{{65000, "ENU:0"}, {65001, "DAN:4500"}, {65002, "<END>"}}, "DAN", 4500},
      {{{65000, "DEU:9000"}, {65001, "DAN:4500"}}, "DEU", 9000},
      {{{65000, "DAN:45x"}}, "DAN", 45},
      {{{65000, "DAN:-12"}}, "DAN", -12},
      {{{65000, "DAN:"}}, "DAN", 0},
      // The table ends at "<end>", at an entry without ":", or at a gap.
      {{{65000, "<end>"}, {65001, "DAN:4500"}}, "DAN", 0},
      {{{65000, "no colon"}, {65001, "DAN:4500"}}, "DAN", 0},
      {{{65000, "ENU:1"}, {65002, "DAN:4500"}}, "DAN", 0},
      {{{65001, "DAN:4500"}}, "DAN", 0},
      {{}, "DAN", 0},
      // Entries are read as at most 24 characters.
      {{{65000, "DAN:0000000000000000004567"}}, "DAN", 45},
      {{{65000, "LONGCODE1:7"}}, "LONGCODE1", 7},
  };
  for (const Case& c : cases) {
    const ModuleResources module = tableOf(c.table);
    EXPECT_EQ(LanguageOffsetFor(module, c.code), c.expected)
        << (c.table.empty() ? "(no table)" : c.table[0].text) << " for " << c.code;
    EXPECT_EQ(HasLanguageTable(module), !c.table.empty() && c.table[0].id == 65000);
  }
}

TEST_F(LanguageTest, UserLanguageCodeIsUpperCaseAndAtMostNineCharacters) {
  struct Case {
    const char* profile;
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {"[Intl]\nsLanguage=dan\n", nullptr, "DAN"},
      {nullptr, "da_DK.UTF-8", "DAN"},
      {nullptr, "en_GB.UTF-8", "ENU"},
      {nullptr, nullptr, "ENU"},
      {"[Intl]\nsLanguage=abcdefghijkl\n", nullptr, "ABCDEFGHI"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(home());
    if (c.profile) WriteText(home() / "win.ini", c.profile);
    if (c.lang)
      setenv("LANG", c.lang, 1);
    else
      unsetenv("LANG");
    EXPECT_EQ(UserLanguageCode(), c.expected) << (c.profile ? c.profile : c.lang ? c.lang : "");
  }
  // "dan" in the profile picks the Danish strings of a module's table.
  WriteText(home() / "win.ini", "[Intl]\nsLanguage=dan\n");
  const std::vector<StringResource> table = {{65000, "DAN:4500"}, {65001, "<end>"}};
  EXPECT_EQ(LanguageOffsetFor(tableOf(table), UserLanguageCode()), 4500);
}

}  // namespace
}  // namespace kpl::test
