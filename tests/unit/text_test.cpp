// Code page 1252 case conversion in place, accented letters included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "kpl/platform/text.h"

namespace {

unsigned char Lower(unsigned char c) {
  char text[1] = {static_cast<char>(c)};
  CharLowerBuffA(text, 1);
  return static_cast<unsigned char>(text[0]);
}
unsigned char Upper(unsigned char c) {
  char text[1] = {static_cast<char>(c)};
  CharUpperBuffA(text, 1);
  return static_cast<unsigned char>(text[0]);
}

struct CasePair {
  unsigned char capital;
  unsigned char small;
};

// Letter pairs of the code page, chosen at the ends of each run and among the four letters
// it places in 0x80-0x9F.
constexpr CasePair kPairs[] = {{'A', 'a'},   {'M', 'm'},   {'Z', 'z'},   {0xC0, 0xE0}, {0xC9, 0xE9},
                               {0xD1, 0xF1}, {0xD6, 0xF6}, {0xD8, 0xF8}, {0xDE, 0xFE}, {0x8A, 0x9A},
                               {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}};

// Bytes that neither direction changes: neighbours of the letter runs, the multiplication
// and division signs inside the Latin-1 run, sharp s and micro sign (no single-byte capital),
// ordinal indicators, the quotes next to the 0x80-0x9F letters, digits and controls.
constexpr unsigned char kUnchanged[] = {'@',  '[',  '`',  '{',  '0',  '9',  ' ',  0x00,
                                        0x7F, 0xD7, 0xF7, 0xDF, 0xB5, 0xAA, 0xBA, 0x80,
                                        0x8B, 0x9B, 0x8D, 0x9D, 0xBF, 0xA0, 0xB9};

TEST(AnsiCase, LetterPairsConvertBothWays) {
  for (const CasePair& p : kPairs) {
    SCOPED_TRACE(testing::Message() << "capital 0x" << std::hex << int(p.capital));
    EXPECT_EQ(Lower(p.capital), p.small);
    EXPECT_EQ(Upper(p.small), p.capital);
    EXPECT_EQ(Lower(p.small), p.small);
    EXPECT_EQ(Upper(p.capital), p.capital);
  }
}

TEST(AnsiCase, NonLettersStayAsTheyAre) {
  for (unsigned char c : kUnchanged) {
    SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c));
    EXPECT_EQ(Lower(c), c);
    EXPECT_EQ(Upper(c), c);
  }
}

TEST(AnsiCase, WholeCodePageHasSixtyPairsThatRoundTrip) {
  // 26 ASCII letters, 0xC0-0xDE less 0xD7 (30), and the four letters in 0x80-0x9F.
  int lowered = 0, raised = 0;
  for (int c = 0; c < 256; ++c) {
    const unsigned char lo = Lower(static_cast<unsigned char>(c));
    const unsigned char up = Upper(static_cast<unsigned char>(c));
    if (lo != c) {
      ++lowered;
      EXPECT_EQ(Upper(lo), c) << "byte " << c;
      EXPECT_EQ(up, c) << "a capital does not change when upper-cased: " << c;
    }
    if (up != c) {
      ++raised;
      EXPECT_EQ(Lower(up), c) << "byte " << c;
    }
  }
  EXPECT_EQ(lowered, 60);
  EXPECT_EQ(raised, 60);
}

TEST(AnsiCase, BufferFormsConvertExactlyTheGivenLength) {
  char text[] = "ABC\0DEF";
  EXPECT_EQ(CharLowerBuffA(text, 2), 2u);
  EXPECT_EQ(std::string(text, 7), std::string("abC\0DEF", 7));
  EXPECT_EQ(CharLowerBuffA(text, 7), 7u);  // runs past an embedded terminator
  EXPECT_EQ(std::string(text, 7), std::string("abc\0def", 7));
  EXPECT_EQ(CharUpperBuffA(text, 3), 3u);
  EXPECT_EQ(std::string(text, 7), std::string("ABC\0def", 7));
  EXPECT_EQ(CharLowerBuffA(nullptr, 5), 0u);
  EXPECT_EQ(CharUpperBuffA(nullptr, 5), 0u);
}

TEST(AnsiCase, TerminatedFormsStopAtTheTerminatorAndReturnTheText) {
  char text[] = "TYPE=\xC9T\xC9\0TAIL";
  EXPECT_EQ(CharLowerA(text), text);
  EXPECT_STREQ(text, "type=\xE9t\xE9");
  EXPECT_STREQ(text + 9, "TAIL");
  EXPECT_EQ(CharUpperA(text), text);
  EXPECT_STREQ(text, "TYPE=\xC9T\xC9");
  EXPECT_EQ(CharLowerA(nullptr), nullptr);
  EXPECT_EQ(CharUpperA(nullptr), nullptr);
}

}  // namespace
