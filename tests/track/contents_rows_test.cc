#include "player/contents_rows.h"

#include <gtest/gtest.h>

#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

std::vector<std::pair<int, std::u16string>> Shape(const std::vector<ContentsRow>& rows) {
  std::vector<std::pair<int, std::u16string>> out;
  for (const ContentsRow& row : rows) out.emplace_back(row.level, row.text);
  return out;
}

TEST(ContentsRowsTest, GroupsByArtistThenAlbum) {
  std::vector<TrackInfo> tracks = {
      fixture::MakeTrack(u"loose", u"", u""), fixture::MakeTrack(u"t1", u"A", u"X"),
      fixture::MakeTrack(u"t2", u"A", u"X"), fixture::MakeTrack(u"t3", u"B", u"X"),
      fixture::MakeTrack(u"t4", u"B", u"Y")};
  const auto rows = BuildRows(fixture::ArrayOf(tracks));
  // A new artist gets its own album row even when the album title repeats.
  const std::vector<std::pair<int, std::u16string>> expected = {{0, u"Music"},
                                                                {1, std::u16string(kUnknownArtist)},
                                                                {2, std::u16string(kUnknownAlbum)},
                                                                {3, u"loose"},
                                                                {1, u"A"},
                                                                {2, u"X"},
                                                                {3, u"t1"},
                                                                {3, u"t2"},
                                                                {1, u"B"},
                                                                {2, u"X"},
                                                                {3, u"t3"},
                                                                {2, u"Y"},
                                                                {3, u"t4"}};
  EXPECT_EQ(Shape(rows), expected);
  EXPECT_EQ(rows[6].track, &tracks[1]);
  EXPECT_TRUE(rows[0].expandable);
  EXPECT_FALSE(rows[6].expandable);
}

TEST(ContentsRowsTest, NoTracksGiveTheNotice) {
  const std::vector<std::pair<int, std::u16string>> expected = {
      {-1, u""}, {-1, std::u16string(kNoMusicNotice)}};
  EXPECT_EQ(Shape(BuildRows({})), expected);
}

}  // namespace
}  // namespace tunewell
