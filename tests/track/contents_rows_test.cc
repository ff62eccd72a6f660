#include "player/contents_rows.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

std::string Shape(const std::vector<ContentsRow>& rows) {  // "level:text" per row
  std::string out;
  for (const ContentsRow& row : rows)
    out += std::to_string(row.level) + ":" + Utf16ToUtf8(row.text) + " ";
  return out;
}

TEST(ContentsRowsTest, GroupsByArtistThenAlbumOrGivesTheNotice) {
  std::vector<TrackInfo> tracks = {
      fixture::MakeTrack(u"loose", u"", u""), fixture::MakeTrack(u"t1", u"A", u"X"),
      fixture::MakeTrack(u"t2", u"A", u"X"), fixture::MakeTrack(u"t3", u"B", u"X"),
      fixture::MakeTrack(u"t4", u"B", u"Y")};
  const auto rows = BuildRows(fixture::ArrayOf(tracks));
  // A new artist gets its own album row even when the album title repeats.
  EXPECT_EQ(Shape(rows), "0:Music 1:" + Utf16ToUtf8(kUnknownArtist) +
                             " 2:" + Utf16ToUtf8(kUnknownAlbum) +
                             " 3:loose 1:A 2:X 3:t1 3:t2 1:B 2:X 3:t3 2:Y 3:t4 ");
  EXPECT_EQ(rows[6].track, &tracks[1]);
  EXPECT_TRUE(rows[0].expandable);
  EXPECT_FALSE(rows[6].expandable);
  EXPECT_EQ(Shape(BuildRows({})), "-1: -1:" + Utf16ToUtf8(kNoMusicNotice) + " ");
}

}  // namespace
}  // namespace tunewell
