// Paths, UTF conversions and collation. Sort indexes are built from keys and read back by
// comparison, so the keys must order exactly as CompareText does (the locale's collation here,
// the Win32 locale calls under wine).
#include "platform/text.h"

#include <gtest/gtest.h>

#include <random>
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
      {JoinPath(P("|ipod"), {"x.mp3"}), P("|ipod|x.mp3")},
      {JoinPath(P("|"), {"x"}), P("|x")},
      {JoinPath("E:/", {"x"}), "E:/x"},
      {JoinPath(P("|ipod|"), {}), P("|ipod|")},
      {JoinPath("", {"a", "b"}), P("a|b")},
      {WithTrailingSeparator(P("|media|IPOD")), P("|media|IPOD|")},
      {WithTrailingSeparator(P("|media|IPOD|")), P("|media|IPOD|")},
      {WithTrailingSeparator("E:/"), "E:/"},
      {WithTrailingSeparator(P("|")), P("|")},
      {ParentOf(P("|ipod|iPod_Control|iTunesDB")), P("|ipod|iPod_Control")},
      {ParentOf(P("a|b|")), P("a|b")},
      {ParentOf("name.mp3"), ""},
      {ParentOf(""), ""},
      {ParentOf("a/b"), "a"},
      // The parent of a file in a root is the root, not the current folder.
      {ParentOf(P("|iTunesDB")), P("|")},
      {ParentOf(P("E:|iTunesDB")), P("E:|")},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

bool IsWellFormed(std::u16string_view text) {  // every surrogate in a high-low pair
  for (size_t i = 0; i < text.size(); ++i) {
    const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
    const bool next_low = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (high && !next_low) return false;
    if (!high && text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
    i += high;
  }
  return true;
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
TEST(UtfTest, MalformedInputBecomesReplacement) {
  const std::pair<std::string_view, std::u16string_view> malformed[] = {
      {"\x80", u""},
      {"\xBF\x80\x80", u""},
      {"\xC3", u""},
      {"\xE2\x82", u""},
      {"\xF0\x9D\x84", u""},
      {"\xC3"
       "a",
       u"a"},
      {"\xE2\x82"
       "\xC3\xA9",
       u"\u00E9"},
      {"\xFE\xFF", u""},
      {"\xF8\x88\x80\x80\x80", u""},
      {"\xF4\x90\x80\x80", u""},  // > U+10FFFF
      {"\xED\xA0\x80", u""},
      {"\xED\xBF\xBF", u""},
      {"\xED\xA0\xB4\xED\xB4\x9E", u""},
      {"\xC0\xAF", u""},  // an overlong '/', which must not become one
      {"\xE0\x80\xAF", u""},
      {"\xF0\x80\x80\xAF", u""},
      {"\xC0\x80", u""},
      {"\xC1\xBF", u""},
      {"\xE0\x9F\xBF", u""},
      {"\xF0\x8F\xBF\xBF", u""},
  };
  for (const auto& [bytes, after] : malformed) {
    SCOPED_TRACE(::testing::PrintToString(std::string(bytes)));
    const std::u16string out = Utf8ToUtf16("<" + std::string(bytes) + ">");
    ASSERT_GE(out.size(), 3 + after.size());
    EXPECT_EQ(out.front(), u'<');
    EXPECT_EQ(out.substr(out.size() - 1 - after.size()), std::u16string(after) + u">");
    EXPECT_EQ(out.substr(1, out.size() - 2 - after.size()).find_first_not_of(u'\uFFFD'),
              std::u16string::npos);
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDD1E\xD834"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD834\xDD1E"), "\xEF\xBF\xBD\xF0\x9D\x84\x9E");

  std::mt19937 random(20240611);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::u16string wide = Utf8ToUtf16(bytes);
    ASSERT_TRUE(IsWellFormed(wide)) << ::testing::PrintToString(bytes);
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
    std::u16string units(random() % 12, u'\0');
    for (char16_t& c : units) c = static_cast<char16_t>(0xD700 + random() % 0x900);
    const std::u16string repaired = Utf8ToUtf16(Utf16ToUtf8(units));
    ASSERT_TRUE(IsWellFormed(repaired));
    ASSERT_EQ(repaired.size(), units.size());  // one replacement per broken unit, pairs kept
  }
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
