#include "track/track_info.h"

#include <gtest/gtest.h>

namespace tunewell {
namespace {

// The record builders size a track's strings from these.
TEST(TrackInfoTest, TextCountsAndLengths) {
  TrackInfo track;
  EXPECT_EQ(track.TextFieldCount(), 0);
  EXPECT_EQ(track.TotalTextLength(2), 0u);
  track.title = u"ab";
  track.artist = u"c";
  track.path = u"x";
  track.genre = u"\U0001F3B5";  // two code units
  EXPECT_EQ(track.TextFieldCount(), 4);
  EXPECT_EQ(track.TotalTextLength(2), 12u);
}

TEST(TrackInfoTest, NumbersFromTagTexts) {
  const std::pair<const char16_t*, int32_t> integers[] = {
      {u"2004", 2004},
      {u"2004-05-06T00:00:00", 2004},
      {u"  \t-17abc", -17},
      {u"+8/12", 8},
      {u"May 2004", 0},
      {u"", 0},
      {u"-", 0},
      {u"2147483648", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"99999999999999999999", 2147483647},
      {u"-99999999999999999999", -2147483647 - 1}};
  for (const auto& [text, value] : integers) {
    EXPECT_EQ(LeadingDecimalInteger(text), value) << std::u16string(text).size();
  }
  const std::pair<const char16_t*, int32_t> stars[] = {
      {u"", 0},   {u"-5", 0}, {u"0", 0},  {u"1", 1},  {u"12", 1}, {u"13", 2},  {u"37", 2},
      {u"38", 3}, {u"62", 3}, {u"63", 4}, {u"86", 4}, {u"87", 5}, {u"100", 5}, {u"101", 0}};
  for (const auto& [text, value] : stars) {
    EXPECT_EQ(StarsFromRating(text), value) << std::u16string(text).size();
  }
}

TEST(TrackInfoTest, RemoveEntryKeepsOrder) {
  TrackInfo a, b, c;
  TrackArray array = {&a, &b, &c};
  RemoveEntry(array, 1);
  EXPECT_EQ(array, (TrackArray{&a, &c}));
  RemoveEntry(array, 5);
  EXPECT_EQ(array.size(), 2u);
}

}  // namespace
}  // namespace tunewell
