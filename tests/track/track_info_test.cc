#include "track/track_info.h"

#include <gtest/gtest.h>

namespace tunewell {
namespace {

TEST(TrackInfoTest, NewTrackIsEmpty) {
  TrackInfo track;
  EXPECT_EQ(track.position, -1);
  EXPECT_EQ(track.trackId, 0u);
  EXPECT_EQ(track.TextFieldCount(), 0);
  EXPECT_EQ(track.TotalTextLength(2), 0u);
}

TEST(TrackInfoTest, TextCountsAndLengths) {
  TrackInfo track;
  track.title = u"ab";
  track.artist = u"c";
  EXPECT_EQ(track.TotalTextLength(2), 6u);
  track.path = u"x";
  EXPECT_EQ(track.TextFieldCount(), 3);
  // A character outside the BMP is two code units.
  track.genre = u"\U0001F3B5";
  EXPECT_EQ(track.TotalTextLength(1), 6u);
}

TEST(TrackInfoTest, LeadingDecimalInteger) {
  EXPECT_EQ(LeadingDecimalInteger(u"2004"), 2004);
  EXPECT_EQ(LeadingDecimalInteger(u"2004-05-06T00:00:00"), 2004);
  EXPECT_EQ(LeadingDecimalInteger(u"  \t-17abc"), -17);
  EXPECT_EQ(LeadingDecimalInteger(u"+8/12"), 8);
  EXPECT_EQ(LeadingDecimalInteger(u"May 2004"), 0);
  EXPECT_EQ(LeadingDecimalInteger(u""), 0);
  EXPECT_EQ(LeadingDecimalInteger(u"-"), 0);
  EXPECT_EQ(LeadingDecimalInteger(u"99999999999999999999"), 2147483647);
  EXPECT_EQ(LeadingDecimalInteger(u"-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(LeadingDecimalInteger(u"2147483648"), 2147483647);
  EXPECT_EQ(LeadingDecimalInteger(u"-2147483648"), -2147483647 - 1);
}

TEST(TrackInfoTest, StarsFromRatingBoundaries) {
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"", 0},   {u"-5", 0}, {u"0", 0},   {u"1", 1},  {u"12", 1}, {u"13", 2},
      {u"37", 2}, {u"38", 3}, {u"50", 3},  {u"62", 3}, {u"63", 4}, {u"86", 4},
      {u"87", 5}, {u"99", 5}, {u"100", 5}, {u"101", 0}};
  for (const auto& [text, stars] : cases) {
    EXPECT_EQ(StarsFromRating(text), stars) << std::u16string(text).size();
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
