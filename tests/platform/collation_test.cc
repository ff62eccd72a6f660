// Sort indexes are built from keys and read back by comparison, so the keys must order exactly
// as CompareText does (the locale's collation here, the Win32 locale calls under wine).
#include "platform/collation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunewell {
namespace {

TEST(CollationTest, KeysOrderExactlyAsTheComparison) {
  // Case pairs, accents precomposed and combining, digits, punctuation, soft hyphens,
  // ligatures, non-BMP characters, lone surrogates, prefixes and a NUL.
  const std::u16string_view all =
      u"a|A|abc|ABC|Abc|abd|ab|aB|abc | abc|a-bc|a.bc|co-op|coop|co op|it's|\u00E9|e\u0301|E|"
      u"\u00C9|f|c\u00f4te|cot\u00e9|1|10|2|01|The Beatles|the beatles|\u00c6on|Aeon|\u00DF|ss|"
      u"\u00ad|a\u00adb|-|!|~|Zz|zZ|\u0391|\u03b1|\u4E2D\u6587|\xD834\xDD1E|\xD834\xDD1F|"
      u"z\xD83D\xDE00|\uFFFD|\xD800";
  std::vector<std::u16string> texts = {u"", std::u16string(u"a\0b", 3)};
  for (size_t at = 0, bar; at <= all.size(); at = bar + 1) {
    bar = std::min(all.find(u'|', at), all.size());
    texts.emplace_back(all.substr(at, bar - at));
  }
  for (const std::u16string& a : texts) {
    EXPECT_EQ(CompareText(a, a), 0);
    if (!a.empty()) {
      EXPECT_EQ(CompareText(u"", a), -1) << "the empty text comes first";
    }
    for (const std::u16string& b : texts) {
      const int by_key = SortKey(a).compare(SortKey(b));
      EXPECT_EQ(CompareText(a, b), (by_key > 0) - (by_key < 0));
      EXPECT_EQ(CompareText(a, b), -CompareText(b, a));
    }
  }
  // Case-sensitive: texts that differ only in case are not equal.
  EXPECT_NE(CompareText(u"abc", u"ABC"), 0);
  EXPECT_NE(CompareText(u"\u00E9", u"\u00C9"), 0);
}

}  // namespace
}  // namespace tunewell
