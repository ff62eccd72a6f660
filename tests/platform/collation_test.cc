#include "platform/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tunewell {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Texts that trip collations up: case pairs, accents (precomposed and combining), digits,
// punctuation and spaces, non-BMP characters, prefixes, and a NUL.
std::vector<std::u16string> TrickyTexts() {
  return {
      u"a",
      u"A",
      u"abc",
      u"ABC",
      u"Abc",
      u"abd",
      u"ab",
      u"abc ",
      u" abc",
      u"a-bc",
      u"a.bc",
      u"a_bc",
      u"\u00E9",
      u"e\u0301",
      u"E",
      u"e",
      u"\u00C9",
      u"f",
      u"1",
      u"10",
      u"2",
      u"01",
      u"9 Lives",
      u"The Beatles",
      u"the beatles",
      u"Beatles, The",
      u"\xD834\xDD1E",
      u"\xD834\xDD1F",
      u"z\xD83D\xDE00",
      u"\u4E2D\u6587",
      u"\u0416",
      u"\u00DF",
      u"ss",
      u"!",
      u"~",
      std::u16string(u"a\0b", 3),
      u"\uFFFD",
  };
}

TEST(CollationTest, EmptyTextComesFirst) {
  EXPECT_EQ(CompareText(u"", u""), 0);
  for (const std::u16string& text : TrickyTexts()) {
    SCOPED_TRACE(::testing::PrintToString(text));
    EXPECT_EQ(CompareText(u"", text), -1);
    EXPECT_EQ(CompareText(text, u""), 1);
    EXPECT_LT(SortKey(u""), SortKey(text));
  }
  EXPECT_EQ(SortKey(u""), SortKey(u""));
}

TEST(CollationTest, SortKeysOrderAsCompareTextDoes) {
  const std::vector<std::u16string> texts = TrickyTexts();
  for (const std::u16string& a : texts) {
    for (const std::u16string& b : texts) {
      SCOPED_TRACE(::testing::PrintToString(a) + " vs " + ::testing::PrintToString(b));
      const int by_compare = CompareText(a, b);
      EXPECT_TRUE(by_compare == -1 || by_compare == 0 || by_compare == 1);
      EXPECT_EQ(by_compare, -CompareText(b, a));
      EXPECT_EQ(by_compare, Sign(SortKey(a).compare(SortKey(b))));
    }
  }
}

TEST(CollationTest, SortingByKeysMatchesSortingByComparison) {
  std::vector<std::u16string> by_compare = TrickyTexts();
  std::vector<std::u16string> by_key = by_compare;
  std::stable_sort(by_compare.begin(), by_compare.end(),
                   [](const auto& a, const auto& b) { return CompareText(a, b) < 0; });
  std::stable_sort(by_key.begin(), by_key.end(),
                   [](const auto& a, const auto& b) { return SortKey(a) < SortKey(b); });
  EXPECT_EQ(by_compare, by_key);
  // A consistent order: every neighbour pair is in order.
  for (size_t i = 1; i < by_compare.size(); ++i) {
    EXPECT_LE(CompareText(by_compare[i - 1], by_compare[i]), 0);
  }
}

TEST(CollationTest, EqualTextsAndCase) {
  EXPECT_EQ(CompareText(u"Abbey Road", u"Abbey Road"), 0);
  EXPECT_EQ(SortKey(u"Abbey Road"), SortKey(u"Abbey Road"));
  EXPECT_EQ(CompareText(u"\xD834\xDD1E", u"\xD834\xDD1E"), 0);
  // Case-sensitive: texts that differ only in case are not equal.
  EXPECT_NE(CompareText(u"abc", u"ABC"), 0);
  EXPECT_NE(SortKey(u"abc"), SortKey(u"ABC"));
  EXPECT_NE(CompareText(u"\u00E9", u"\u00C9"), 0);
}

}  // namespace
}  // namespace tunewell
