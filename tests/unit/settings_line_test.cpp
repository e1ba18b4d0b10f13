// Settings lines: the number rule, finding keys and values, and writing KEY=value lines.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include "kpl/support/settings_line.hpp"

namespace {

struct NumberCase {
  const char* text;
  int32_t value;
};

// Test names show the text read, blanks as "_", a tab as "<tab>".
void PrintTo(const NumberCase& c, std::ostream* out) {
  std::string shown;
  for (const char* p = c.text; *p; ++p)
    shown += *p == ' ' ? "_" : *p == '\t' ? "<tab>" : std::string(1, *p);
  *out << "text " << (shown.empty() ? "<empty>" : shown) << " gives " << c.value;
}

class ReadNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumber, FollowsTheNumberRule) {
  EXPECT_EQ(kpl::ReadNumber(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadNumber,
    ::testing::Values(
        // Decimal, signs and leading blanks; the sign holds when the whole text was read.
        NumberCase{"45", 45}, NumberCase{"007", 7}, NumberCase{"0", 0}, NumberCase{"+7", 7},
        NumberCase{" -12", -12}, NumberCase{"   42", 42}, NumberCase{"-0", 0},
        NumberCase{"2147483647", INT32_MAX}, NumberCase{"-2147483648", INT32_MIN},
        // Hexadecimal after each of the five prefixes, digits in either case.
        NumberCase{"x1F", 31}, NumberCase{"X1f", 31}, NumberCase{"$ff", 255},
        NumberCase{"0x10", 16}, NumberCase{"0X10", 16}, NumberCase{"-0x10", -16},
        NumberCase{"+$A", 10}, NumberCase{"xAbC", 0xABC},
        // Reading stops early: the digits so far count, without their sign.
        NumberCase{"-4x", 4}, NumberCase{"12 ", 12}, NumberCase{"-12 ", 12}, NumberCase{"90x", 90},
        NumberCase{"1f", 1}, NumberCase{"-0x1g", 1}, NumberCase{"5=6", 5}, NumberCase{"$0x10", 0},
        // Nothing to read.
        NumberCase{"", 0}, NumberCase{"abc", 0}, NumberCase{"-", 0}, NumberCase{"x", 0},
        NumberCase{"0x", 0}, NumberCase{"+-5", 0}, NumberCase{"\t5", 0}, NumberCase{"- 5", 0}));

TEST(ValueOf, IsTheTextAfterTheFirstEquals) {
  const char line[] = "degree=45";
  EXPECT_EQ(kpl::ValueOf(line), line + 7);
  const char twice[] = "text=a=b";
  EXPECT_STREQ(kpl::ValueOf(twice), "a=b");
  const char empty[] = "width=";
  EXPECT_STREQ(kpl::ValueOf(empty), "");
  const char none[] = "end";
  EXPECT_EQ(kpl::ValueOf(none), none);  // no "=": the whole line
}

TEST(LineContains, FindsTheKeyAnywhereInTheLine) {
  EXPECT_TRUE(kpl::LineContains("type=fade in", "fade in"));
  EXPECT_TRUE(kpl::LineContains("type=fade in", "type="));
  EXPECT_TRUE(kpl::LineContains("  reverse=1", "reverse=1"));
  EXPECT_FALSE(kpl::LineContains("type=fade in", "fade out"));
  EXPECT_FALSE(kpl::LineContains("type=fade", "fade in"));  // key longer than what is there
  // Keys are matched against lower-cased lines; an upper-case line does not match.
  EXPECT_FALSE(kpl::LineContains("TYPE=FADE IN", "fade in"));
}

TEST(LowerCaseInPlace, LowersTheCallersTextIncludingAccentedLetters) {
  char line[] = "TYPE=CROSS FADE \xC9\xC0\xDF";
  kpl::LowerCaseInPlace(line);
  EXPECT_STREQ(line, "type=cross fade \xE9\xE0\xDF");
}

TEST(WriteSettingsLine, WritesKeyEqualsDecimalValue) {
  struct Case {
    int32_t value;
    const char* line;
  };
  const Case cases[] = {{45, "DEGREE=45"},
                        {0, "DEGREE=0"},
                        {-7, "DEGREE=-7"},
                        {100, "DEGREE=100"},
                        {INT32_MAX, "DEGREE=2147483647"},
                        {INT32_MIN, "DEGREE=-2147483648"}};
  for (const Case& c : cases) {
    char text[64];
    std::memset(text, 'X', sizeof text);
    kpl::WriteSettingsLine(text, "DEGREE", c.value);
    EXPECT_STREQ(text, c.line);
  }
  char fixed[32];
  kpl::WriteSettingsLine(fixed, "TYPE=FADE IN");
  EXPECT_STREQ(fixed, "TYPE=FADE IN");
}

TEST(WriteSettingsLine, LinesReadBackToTheSameValue) {
  for (int32_t value : {0, 1, -1, 45, -360, 0x7FFF, INT32_MAX, INT32_MIN}) {
    char text[64];
    kpl::WriteSettingsLine(text, "WIDTH", value);
    kpl::LowerCaseInPlace(text);
    ASSERT_TRUE(kpl::LineContains(text, "width="));
    EXPECT_EQ(kpl::ReadNumber(kpl::ValueOf(text)), value) << text;
  }
}

}  // namespace
