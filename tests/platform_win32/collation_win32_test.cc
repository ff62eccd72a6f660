// CompareText and SortKey through the locale calls: the keys must order exactly as the
// comparison does, since sort indexes built from keys are read back by comparison.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/collation.h"

namespace tunewell {
namespace {

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

const std::vector<std::u16string>& TrickyTexts() {
  static const std::vector<std::u16string> texts = {
      u"",         u"a",      u"A",           u"b",          u"B",
      u"abc",      u"ABC",    u"abd",         u"ab",         u"Ab",
      u"aB",       u"co-op",  u"coop",        u"co op",      u"it's",
      u"its",      u"cote",   u"c\u00f4te",   u"cot\u00e9",  u"c\u00f4t\u00e9",
      u"e\u0301",  u"\u00e9", u"1",           u"2",          u"9",
      u"10",       u"01",     u"The Who",     u"the who",    u" the who",
      u"\u00c6on", u"Aeon",   u"stra\u00dfe", u"strasse",    u"\u65e5\u672c",
      u"\u30c6",   u"\u00ad", u"-",           u"--",         u"a\u00adb",
      u"ab ",      u"Zz",     u"zZ",          u"\U0001F3B5", u"\u0391",
      u"\u03b1",
  };
  return texts;
}

TEST(LocaleCollationTest, KeysOrderExactlyAsTheComparison) {
  const auto& texts = TrickyTexts();
  std::vector<std::string> keys;
  for (const auto& t : texts) keys.push_back(SortKey(t));
  for (size_t i = 0; i < texts.size(); ++i) {
    for (size_t j = 0; j < texts.size(); ++j) {
      const int by_text = CompareText(texts[i], texts[j]);
      const int by_key = Sign(keys[i].compare(keys[j]));
      EXPECT_EQ(by_text, by_key) << "text " << i << " vs " << j;
      EXPECT_EQ(by_text, -CompareText(texts[j], texts[i])) << i << " vs " << j;
    }
  }
}

TEST(LocaleCollationTest, EmptyComesFirstAndHasTheEmptyKey) {
  EXPECT_EQ(SortKey(u""), "");
  EXPECT_EQ(CompareText(u"", u""), 0);
  for (const auto& t : TrickyTexts()) {
    if (t.empty()) continue;
    EXPECT_EQ(CompareText(u"", t), -1);
    EXPECT_EQ(CompareText(t, u""), 1);
    ASSERT_FALSE(SortKey(t).empty());
    EXPECT_EQ(SortKey(t)[0], '\x01');
  }
}

TEST(LocaleCollationTest, LinguisticCaseSensitiveAndDigitsAsCharacters) {
  // By the locale, not by code unit: 'a' before 'B' though 'B' < 'a' in ASCII.
  EXPECT_EQ(CompareText(u"apple", u"Banana"), -1);
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"ete"), 1);
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"f"), -1);
  // Case counts, but only after the letters themselves.
  EXPECT_NE(CompareText(u"abc", u"ABC"), 0);
  EXPECT_EQ(CompareText(u"ABC", u"abd"), -1);
  // No numeric ordering.
  EXPECT_EQ(CompareText(u"10", u"9"), -1);
  EXPECT_EQ(CompareText(u"Track 2", u"Track 2"), 0);
}

}  // namespace
}  // namespace tunewell
