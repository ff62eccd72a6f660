// The Win32 collation is the locale's, not the code units': what collation_test.cc cannot pin
// portably.
#include <gtest/gtest.h>

#include "platform/collation.h"

namespace tunewell {
namespace {

TEST(LocaleCollationTest, LinguisticCaseSensitiveAndDigitsAsCharacters) {
  EXPECT_EQ(CompareText(u"apple", u"Banana"), -1);  // though 'B' < 'a' in ASCII
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"ete"), 1);
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"f"), -1);
  // Case counts, but only after the letters themselves.
  EXPECT_EQ(CompareText(u"ABC", u"abd"), -1);
  EXPECT_EQ(CompareText(u"10", u"9"), -1);  // no numeric ordering
}

}  // namespace
}  // namespace tunewell
