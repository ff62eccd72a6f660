#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/text.h"

namespace tunewell {
namespace {

constexpr char16_t kBad = u'\uFFFD';

// Whether `text` is well-formed UTF-16: every surrogate is part of a high-low pair.
bool IsWellFormed(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

// Malformed input must turn into replacement characters only, and the valid text around it
// must come through.
void ExpectReplacedBetween(std::string_view bytes, std::u16string_view before,
                           std::u16string_view after) {
  const std::u16string out = Utf8ToUtf16(std::string("<") + std::string(bytes) + ">");
  SCOPED_TRACE(::testing::PrintToString(bytes));
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(out.front(), u'<');
  EXPECT_EQ(out.back(), u'>');
  const std::u16string middle = out.substr(1, out.size() - 2);
  ASSERT_GE(middle.size(), before.size() + after.size() + 1);
  EXPECT_EQ(middle.substr(0, before.size()), before);
  EXPECT_EQ(middle.substr(middle.size() - after.size()), after);
  const std::u16string bad =
      middle.substr(before.size(), middle.size() - before.size() - after.size());
  EXPECT_EQ(bad.find_first_not_of(kBad), std::u16string::npos);
}

TEST(UtfTest, KnownEncodings) {
  EXPECT_EQ(Utf8ToUtf16("abc"), u"abc");
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\x9E"), u"\xD834\xDD1E");  // U+1D11E, a surrogate pair
  EXPECT_EQ(Utf16ToUtf8(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
  EXPECT_EQ(Utf16ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
  // A NUL is a character like any other, not an end.
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
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
    const size_t expected_length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    ASSERT_EQ(narrow.size(), expected_length) << std::hex << static_cast<uint32_t>(cp);
    ASSERT_EQ(Utf8ToUtf16(narrow), wide) << std::hex << static_cast<uint32_t>(cp);
  }
}

TEST(UtfTest, MalformedUtf8BecomesReplacement) {
  ExpectReplacedBetween("\x80", u"", u"");          // stray continuation byte
  ExpectReplacedBetween("\xBF\x80\x80", u"", u"");  // several of them
  ExpectReplacedBetween("\xC3", u"", u"");          // lead byte with nothing after
  ExpectReplacedBetween("\xE2\x82", u"", u"");      // cut three-byte form
  ExpectReplacedBetween("\xF0\x9D\x84", u"", u"");  // cut four-byte form
  ExpectReplacedBetween(
      "\xC3"
      "a",
      u"", u"a");  // lead byte followed by ASCII
  ExpectReplacedBetween(
      "\xE2\x82"
      "\xC3\xA9",
      u"", u"\u00E9");                                          // cut form, then a good one
  ExpectReplacedBetween("\xFE\xFF", u"", u"");                  // bytes UTF-8 never uses
  ExpectReplacedBetween("\xF8\x88\x80\x80\x80", u"", u"");      // old five-byte form
  ExpectReplacedBetween("\xF4\x90\x80\x80", u"", u"");          // above U+10FFFF
  ExpectReplacedBetween("\xED\xA0\x80", u"", u"");              // encoded high surrogate
  ExpectReplacedBetween("\xED\xBF\xBF", u"", u"");              // encoded low surrogate
  ExpectReplacedBetween("\xED\xA0\xB4\xED\xB4\x9E", u"", u"");  // surrogate pair as CESU-8
}

TEST(UtfTest, OverlongFormsNeverDecodeToTheirValue) {
  // An overlong '/' or NUL must not slip through as the character it pretends to be.
  for (std::string_view overlong :
       {std::string_view("\xC0\xAF"), std::string_view("\xE0\x80\xAF"),
        std::string_view("\xF0\x80\x80\xAF"), std::string_view("\xC0\x80"),
        std::string_view("\xC1\xBF"), std::string_view("\xE0\x9F\xBF"),
        std::string_view("\xF0\x8F\xBF\xBF")}) {
    ExpectReplacedBetween(overlong, u"", u"");
  }
}

TEST(UtfTest, UnpairedSurrogatesBecomeReplacement) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");                  // high at the end
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
    // Whatever came out is stable: it survives a second round trip unchanged.
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);

    std::u16string units(random() % 12, u'\0');
    for (char16_t& c : units) c = static_cast<char16_t>(0xD700 + random() % 0x900);
    const std::u16string repaired = Utf8ToUtf16(Utf16ToUtf8(units));
    ASSERT_TRUE(IsWellFormed(repaired));
    ASSERT_EQ(repaired.size(), units.size());  // one replacement per broken unit, pairs kept
  }
}

TEST(UtfTest, NarrowTextRoundTripsAscii) {
  const std::string ascii = "Track 01 - Artist (Live).mp3";
  EXPECT_EQ(NarrowToWide(ascii), u"Track 01 - Artist (Live).mp3");
  EXPECT_EQ(WideToNarrow(u"Track 01 - Artist (Live).mp3"), ascii);
#ifndef _WIN32
  // Narrow text is UTF-8 here.
  EXPECT_EQ(NarrowToWide("Bj\xC3\xB6rk"), u"Bj\u00F6rk");
  EXPECT_EQ(WideToNarrow(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
#endif
}

}  // namespace
}  // namespace tunewell
