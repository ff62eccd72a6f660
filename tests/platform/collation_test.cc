// CompareText and SortKey on every build (the locale's collation here, the Win32 locale calls
// under wine): the keys must order exactly as the comparison does, since sort indexes built from
// keys are read back by comparison.
#include "platform/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tunewell {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Texts that trip collations up: case pairs, accents precomposed and combining, digits,
// punctuation, spaces and soft hyphens, ligatures, non-BMP characters, prefixes and a NUL.
const std::vector<std::u16string> kTricky = {
    u"a",
    u"A",
    u"abc",
    u"ABC",
    u"Abc",
    u"abd",
    u"ab",
    u"aB",
    u"abc ",
    u" abc",
    u"a-bc",
    u"a.bc",
    u"a_bc",
    u"co-op",
    u"coop",
    u"co op",
    u"it's",
    u"its",
    u"\u00E9",
    u"e\u0301",
    u"E",
    u"e",
    u"\u00C9",
    u"f",
    u"c\u00f4te",
    u"cot\u00e9",
    u"1",
    u"10",
    u"2",
    u"01",
    u"9 Lives",
    u"The Beatles",
    u"the beatles",
    u"Beatles, The",
    u"\u00c6on",
    u"Aeon",
    u"\u00DF",
    u"ss",
    u"stra\u00dfe",
    u"strasse",
    u"\u00ad",
    u"a\u00adb",
    u"-",
    u"--",
    u"!",
    u"~",
    u"Zz",
    u"zZ",
    u"\u0391",
    u"\u03b1",
    u"\u0416",
    u"\u4E2D\u6587",
    u"\u30c6",
    u"\xD834\xDD1E",
    u"\xD834\xDD1F",
    u"z\xD83D\xDE00",
    std::u16string(u"a\0b", 3),
    u"\uFFFD",
};

TEST(CollationTest, KeysOrderExactlyAsTheComparison) {
  std::vector<std::string> keys;
  for (const auto& t : kTricky) keys.push_back(SortKey(t));
  for (size_t i = 0; i < kTricky.size(); ++i) {
    // The empty text comes first.
    EXPECT_EQ(CompareText(u"", kTricky[i]), -1) << i;
    EXPECT_EQ(CompareText(kTricky[i], u""), 1) << i;
    EXPECT_LT(SortKey(u""), keys[i]) << i;
    for (size_t j = 0; j < kTricky.size(); ++j) {
      const int by_text = CompareText(kTricky[i], kTricky[j]);
      EXPECT_TRUE(by_text == -1 || by_text == 0 || by_text == 1);
      EXPECT_EQ(by_text, -CompareText(kTricky[j], kTricky[i])) << i << " vs " << j;
      EXPECT_EQ(by_text, Sign(keys[i].compare(keys[j]))) << i << " vs " << j;
    }
  }
  EXPECT_EQ(CompareText(u"", u""), 0);
  EXPECT_EQ(SortKey(u""), SortKey(u""));

  // A consistent order: sorted by keys, every neighbour pair is in order by comparison.
  std::vector<std::u16string> sorted = kTricky;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return SortKey(a) < SortKey(b); });
  for (size_t i = 1; i < sorted.size(); ++i) EXPECT_LE(CompareText(sorted[i - 1], sorted[i]), 0);
}

TEST(CollationTest, EqualTextsAndCase) {
  EXPECT_EQ(CompareText(u"Abbey Road", u"Abbey Road"), 0);
  EXPECT_EQ(CompareText(u"\xD834\xDD1E", u"\xD834\xDD1E"), 0);
  // Case-sensitive: texts that differ only in case are not equal.
  EXPECT_NE(CompareText(u"abc", u"ABC"), 0);
  EXPECT_NE(SortKey(u"abc"), SortKey(u"ABC"));
  EXPECT_NE(CompareText(u"\u00E9", u"\u00C9"), 0);
}

}  // namespace
}  // namespace tunewell
