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
std::vector<std::u16string> TrickyTexts() {
  const std::u16string_view all =
      u"a|A|abc|ABC|Abc|abd|ab|aB|abc | abc|a-bc|a.bc|a_bc|co-op|coop|co op|it's|its|\u00E9|"
      u"e\u0301|E|e|\u00C9|f|c\u00f4te|cot\u00e9|1|10|2|01|9 Lives|The Beatles|the beatles|"
      u"Beatles, The|\u00c6on|Aeon|\u00DF|ss|stra\u00dfe|strasse|\u00ad|a\u00adb|-|--|!|~|Zz|zZ|"
      u"\u0391|\u03b1|\u0416|\u4E2D\u6587|\u30c6|\xD834\xDD1E|\xD834\xDD1F|z\xD83D\xDE00|\uFFFD";
  std::vector<std::u16string> texts = {std::u16string(u"a\0b", 3)};
  for (size_t at = 0, bar; at <= all.size(); at = bar + 1) {
    bar = std::min(all.find(u'|', at), all.size());
    texts.emplace_back(all.substr(at, bar - at));
  }
  return texts;
}

TEST(CollationTest, KeysOrderExactlyAsTheComparison) {
  const std::vector<std::u16string> kTricky = TrickyTexts();
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
