// The ANSI code page conversions. Wine runs with code page 1252 unless told otherwise; the
// cases that need particular characters check that first.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/text.h"

namespace tunewell {
namespace {

bool AnsiIs1252() { return ::GetACP() == 1252; }

TEST(AnsiTextTest, RoundTripsEverythingTheCodePageHolds) {
  EXPECT_EQ(NarrowToWide(""), u"");
  EXPECT_EQ(WideToNarrow(u""), "");
  const std::string ascii = "E:\\iPod_Control\\Music\\F07\\QKZA.mp3";
  EXPECT_EQ(WideToNarrow(NarrowToWide(ascii)), ascii);
  // Embedded NULs are text like any other.
  EXPECT_EQ(NarrowToWide(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));

  // Every byte a single-byte code page defines comes back as it was.
  CPINFO info;
  ASSERT_TRUE(::GetCPInfo(CP_ACP, &info));
  if (info.MaxCharSize != 1) GTEST_SKIP() << "multi-byte ANSI code page";
  for (int byte = 1; byte < 256; ++byte) {
    const std::string narrow(1, static_cast<char>(byte));
    const std::u16string wide = NarrowToWide(narrow);
    ASSERT_EQ(wide.size(), 1u) << byte;
    if (wide[0] == u'\uFFFD' || wide[0] == u'?') continue;
    EXPECT_EQ(WideToNarrow(wide), narrow) << "byte " << byte;
  }
}

TEST(AnsiTextTest, CharactersTheCodePageLacksBecomeQuestionMarksNotLookAlikes) {
  if (!AnsiIs1252()) GTEST_SKIP() << "needs code page 1252, have " << ::GetACP();
  EXPECT_EQ(NarrowToWide("Bj\xf6rk \x80"), u"Bj\u00f6rk \u20ac");
  EXPECT_EQ(WideToNarrow(u"Bj\u00f6rk \u20ac"), "Bj\xf6rk \x80");
  EXPECT_EQ(WideToNarrow(u"\u65e5\u672c"), "??");
  // Best fit would turn these into 'a', '/' and '\': another file, or a path out of the folder.
  EXPECT_EQ(WideToNarrow(u"\u0101"), "?");
  EXPECT_EQ(WideToNarrow(u"..\u2215x"), "..?x");
  EXPECT_EQ(WideToNarrow(u"..\uff3cx"), "..?x");
  // A lone surrogate half is no character.
  EXPECT_EQ(WideToNarrow(std::u16string(1, u'\xd800')), "?");
  // Outside the basic plane: one '?' per character or per half, as the system chooses.
  EXPECT_THAT(WideToNarrow(u"\U0001F3B5"), ::testing::MatchesRegex("\\?\\??"));
}

}  // namespace
}  // namespace tunewell
