#include "player/contents_rows.h"

#include <gtest/gtest.h>

namespace tunewell {
namespace {

TrackInfo Track(std::u16string artist, std::u16string album, std::u16string title) {
  TrackInfo t;
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.title = std::move(title);
  return t;
}

std::vector<std::pair<int, std::u16string>> Shape(const std::vector<ContentsRow>& rows) {
  std::vector<std::pair<int, std::u16string>> out;
  for (const ContentsRow& row : rows) out.emplace_back(row.level, row.text);
  return out;
}

TEST(ContentsRowsTest, GroupsByArtistThenAlbum) {
  TrackInfo t1 = Track(u"A", u"X", u"t1"), t2 = Track(u"A", u"X", u"t2"),
            t3 = Track(u"B", u"X", u"t3"), t4 = Track(u"B", u"Y", u"t4");
  const auto rows = BuildRows({&t1, &t2, &t3, &t4});
  const std::vector<std::pair<int, std::u16string>> expected = {
      {0, u"Music"}, {1, u"A"}, {2, u"X"},  {3, u"t1"}, {3, u"t2"},
      {1, u"B"},     {2, u"X"}, {3, u"t3"}, {2, u"Y"},  {3, u"t4"}};
  EXPECT_EQ(Shape(rows), expected);
  EXPECT_EQ(rows[3].track, &t1);
  EXPECT_TRUE(rows[0].expandable);
  EXPECT_FALSE(rows[3].expandable);
}

TEST(ContentsRowsTest, EmptyArtistAndAlbumAreNamed) {
  TrackInfo t = Track(u"", u"", u"song");
  const auto rows = BuildRows({&t});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].text, kUnknownArtist);
  EXPECT_EQ(rows[2].text, kUnknownAlbum);
}

TEST(ContentsRowsTest, NoTracksGiveTheNotice) {
  const auto rows = BuildRows({});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].level, -1);
  EXPECT_TRUE(rows[0].text.empty());
  EXPECT_EQ(rows[1].text, kNoMusicNotice);
}

}  // namespace
}  // namespace tunewell
