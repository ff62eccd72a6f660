#include "track/track_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace tunewell {
namespace {

TEST(TrackInfoTest, NumbersFromTagTexts) {
  const std::pair<const char16_t*, int32_t> integers[] = {{u"2004", 2004},
                                                          {u"2004-05-06T00:00:00", 2004},
                                                          {u"  \t-17abc", -17},
                                                          {u"+8/12", 8},
                                                          {u"May 2004", 0},
                                                          {u"", 0},
                                                          {u"-", 0},
                                                          {u"2147483648", INT32_MAX},
                                                          {u"-2147483648", INT32_MIN},
                                                          {u"99999999999999999999", INT32_MAX},
                                                          {u"-99999999999999999999", INT32_MIN}};
  for (const auto& [text, value] : integers) EXPECT_EQ(LeadingDecimalInteger(text), value);
  const std::pair<const char16_t*, int32_t> stars[] = {
      {u"", 0},   {u"-5", 0}, {u"0", 0},  {u"1", 1},  {u"12", 1}, {u"13", 2},  {u"37", 2},
      {u"38", 3}, {u"62", 3}, {u"63", 4}, {u"86", 4}, {u"87", 5}, {u"100", 5}, {u"101", 0}};
  for (const auto& [text, value] : stars) EXPECT_EQ(StarsFromRating(text), value) << value;
}

}  // namespace
}  // namespace tunewell
