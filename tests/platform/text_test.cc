// Paths, UTF conversions and collation. Sort indexes are built from keys and read back by
// comparison, so the keys must order exactly as CompareText does (the locale's collation here,
// the Win32 locale calls under wine).
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "platform/path.h"

namespace tunewell {
namespace {

std::string P(std::string text) {  // '|' for this build's separator
  for (char& c : text) c = c == '|' ? kPathSeparator : c;
  return text;
}

TEST(PathTest, JoinAddAndCut) {
  const std::pair<std::string, std::string> cases[] = {
      {JoinPath(P("|ipod|"), {"iPod_Control", "F07"}), P("|ipod|iPod_Control|F07")},
      {JoinPath(P("|"), {"x"}), P("|x")},
      {JoinPath("E:/", {"x"}), "E:/x"},
      {JoinPath("", {"a", "b"}), P("a|b")},
      {WithTrailingSeparator(P("|media|IPOD")), P("|media|IPOD|")},
      {WithTrailingSeparator("E:/"), "E:/"},
      {ParentOf(P("|ipod|iPod_Control|iTunesDB")), P("|ipod|iPod_Control")},
      {ParentOf("name.mp3"), ""},
      {ParentOf("a/b"), "a"},
      // The parent of a file in a root is the root, not the current folder.
      {ParentOf(P("|iTunesDB")), P("|")},
      {ParentOf(P("E:|iTunesDB")), P("E:|")}};
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(UtfTest, EveryScalarValueRoundTripsAtItsLength) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string wide(1, static_cast<char16_t>(cp));
    if (cp >= 0x10000) {
      wide = {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
              static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    }
    const std::string narrow = Utf16ToUtf8(wide);
    ASSERT_EQ(narrow.size(), 1u + (cp >= 0x80) + (cp >= 0x800) + (cp >= 0x10000)) << uint32_t{cp};
    ASSERT_EQ(Utf8ToUtf16(narrow), wide) << uint32_t{cp};
  }
  EXPECT_EQ(Utf16ToUtf8(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
#ifndef _WIN32
  EXPECT_EQ(NarrowToWide("Bj\xC3\xB6rk"), u"Bj\u00F6rk");  // narrow text is UTF-8 here
  EXPECT_EQ(WideToNarrow(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
#endif
}

// Malformed input becomes replacement characters only; the valid text after it comes through.
// Among them: cut sequences, stray continuations, beyond U+10FFFF, encoded surrogates, and
// overlong forms (an overlong '/' must not become one).
TEST(UtfTest, MalformedInputBecomesReplacement) {
  const std::string_view all =
      "\x80|\xBF\x80\x80|\xC3|\xE2\x82|\xF0\x9D\x84|\xC3\x61|\xE2\x82\xC3\xA9|\xFE\xFF|"
      "\xF8\x88\x80\x80\x80|\xF4\x90\x80\x80|\xED\xA0\x80|\xED\xBF\xBF|\xED\xA0\xB4\xED\xB4\x9E|"
      "\xC0\xAF|\xE0\x80\xAF|\xF0\x80\x80\xAF|\xC0\x80|\xC1\xBF|\xE0\x9F\xBF|\xF0\x8F\xBF\xBF";
  for (size_t at = 0, bar; at < all.size(); at = bar + 1) {
    bar = std::min(all.find('|', at), all.size());
    const std::string_view bytes = all.substr(at, bar - at);
    const std::u16string_view after = bytes.back() == 'a'      ? u"a"
                                      : bytes.back() == '\xA9' ? u"\u00E9"
                                                               : u"";
    SCOPED_TRACE(::testing::PrintToString(std::string(bytes)));
    const std::u16string out = Utf8ToUtf16("<" + std::string(bytes) + ">");
    ASSERT_GE(out.size(), 3 + after.size());
    EXPECT_EQ(out.front(), u'<');
    EXPECT_TRUE(out.ends_with(std::u16string(after) + u">"));
    EXPECT_EQ(out.substr(1, out.size() - 2 - after.size()).find_first_not_of(u'\uFFFD'),
              std::u16string::npos);
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDD1E\xD834"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD834\xDD1E"), "\xEF\xBF\xBD\xF0\x9D\x84\x9E");
}

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
