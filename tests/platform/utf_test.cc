#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/text.h"

namespace tunewell {
namespace {

// Whether every surrogate of `text` is part of a high-low pair.
bool IsWellFormed(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return false;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

TEST(UtfTest, KnownEncodings) {
  const std::pair<std::string, std::u16string> known[] = {
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9D\x84\x9E", u"\xD834\xDD1E"},  // U+1D11E, a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"", u""},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},  // a NUL is no end
  };
  for (const auto& [narrow, wide] : known) {
    EXPECT_EQ(Utf8ToUtf16(narrow), wide);
    EXPECT_EQ(Utf16ToUtf8(wide), narrow);
  }
#ifndef _WIN32
  EXPECT_EQ(NarrowToWide("Bj\xC3\xB6rk"), u"Bj\u00F6rk");  // narrow text is UTF-8 here
  EXPECT_EQ(WideToNarrow(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
#endif
}

TEST(UtfTest, EveryScalarValueRoundTrips) {
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string wide;
    if (cp < 0x10000) {
      wide.push_back(static_cast<char16_t>(cp));
    } else {
      wide.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    const std::string narrow = Utf16ToUtf8(wide);
    ASSERT_EQ(narrow.size(), cp < 0x80      ? 1u
                             : cp < 0x800   ? 2u
                             : cp < 0x10000 ? 3u
                                            : 4u)
        << uint32_t{cp};
    ASSERT_EQ(Utf8ToUtf16(narrow), wide) << uint32_t{cp};
  }
}

// Malformed input becomes replacement characters only; the valid text after it comes through.
TEST(UtfTest, MalformedUtf8BecomesReplacement) {
  const std::pair<std::string_view, std::u16string_view> malformed[] = {
      {"\x80", u""},          // stray continuation byte
      {"\xBF\x80\x80", u""},  // several
      {"\xC3", u""},          // lead byte with nothing after
      {"\xE2\x82", u""},      // cut three-byte form
      {"\xF0\x9D\x84", u""},  // cut four-byte form
      {"\xC3"
       "a",
       u"a"},  // lead byte followed by ASCII
      {"\xE2\x82"
       "\xC3\xA9",
       u"\u00E9"},                        // cut form, then a good one
      {"\xFE\xFF", u""},                  // bytes UTF-8 never uses
      {"\xF8\x88\x80\x80\x80", u""},      // old five-byte form
      {"\xF4\x90\x80\x80", u""},          // above U+10FFFF
      {"\xED\xA0\x80", u""},              // encoded high surrogate
      {"\xED\xBF\xBF", u""},              // encoded low surrogate
      {"\xED\xA0\xB4\xED\xB4\x9E", u""},  // a pair as CESU-8
      {"\xC0\xAF", u""},                  // overlong '/', which must not become one
      {"\xE0\x80\xAF", u""},
      {"\xF0\x80\x80\xAF", u""},
      {"\xC0\x80", u""},  // overlong NUL
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
    const std::u16string bad = out.substr(1, out.size() - 2 - after.size());
    EXPECT_EQ(bad.find_first_not_of(u'\uFFFD'), std::u16string::npos);
  }
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");                  // unpaired high at the end
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00z"), "\xEF\xBF\xBDz");                  // low alone
  EXPECT_EQ(Utf16ToUtf8(u"\xDD1E\xD834"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // pair reversed
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD834\xDD1E"), "\xEF\xBF\xBD\xF0\x9D\x84\x9E");
}

TEST(UtfTest, ArbitraryInputAlwaysGivesWellFormedOutput) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::u16string wide = Utf8ToUtf16(bytes);
    ASSERT_TRUE(IsWellFormed(wide)) << ::testing::PrintToString(bytes);
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);  // stable once repaired

    std::u16string units(random() % 12, u'\0');
    for (char16_t& c : units) c = static_cast<char16_t>(0xD700 + random() % 0x900);
    const std::u16string repaired = Utf8ToUtf16(Utf16ToUtf8(units));
    ASSERT_TRUE(IsWellFormed(repaired));
    ASSERT_EQ(repaired.size(), units.size());  // one replacement per broken unit, pairs kept
  }
}

}  // namespace
}  // namespace tunewell
