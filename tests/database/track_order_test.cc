#include "database/track_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "platform/collation.h"
#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

constexpr SortType kAllTypes[] = {SortType::kTitle, SortType::kArtist, SortType::kAlbum,
                                  SortType::kGenre, SortType::kComposer};

TEST(TrackOrderTest, KeyChains) {
  TrackInfo t2 = MakeTrack(u"zzz", u"A", u"Album", 2);
  TrackInfo t10 = MakeTrack(u"aaa", u"A", u"Album", 10);
  TrackInfo minus = MakeTrack(u"zzz", u"A", u"Album", -1);
  EXPECT_EQ(CompareAlbum(t2, t10), -1) << "track numbers compare as numbers";
  EXPECT_EQ(CompareAlbum(t10, t2), 1);
  EXPECT_EQ(CompareAlbum(minus, t2), -1) << "track numbers are signed";
  EXPECT_EQ(CompareArtist(t2, t10), -1);
  EXPECT_EQ(CompareTitle(t2, t10), 1);

  TrackInfo other_album = MakeTrack(u"aaa", u"A", u"Beta", 1);
  EXPECT_EQ(CompareArtist(t10, other_album), -1) << "same artist: album decides first";

  TrackInfo no_genre = MakeTrack(u"z", u"Z", u"Z");
  TrackInfo genre = MakeTrack(u"a", u"A", u"A");
  genre.genre = u"A";
  EXPECT_EQ(CompareGenre(no_genre, genre), -1) << "an empty genre comes first";

  TrackInfo composed_z = MakeTrack(u"a", u"Z", u"Zeta", 9);
  TrackInfo composed_a = MakeTrack(u"b", u"A", u"Alpha", 1);
  composed_z.composer = composed_a.composer = u"Bach";
  EXPECT_EQ(CompareComposer(composed_z, composed_a), -1) << "album and artist are not consulted";

  TrackInfo lower = MakeTrack(u"t", u"abc", u"x");
  TrackInfo upper = MakeTrack(u"t", u"ABC", u"x");
  EXPECT_NE(CompareArtist(lower, upper), 0) << "case-sensitive";
  EXPECT_EQ(CompareArtist(lower, upper), -CompareArtist(upper, lower));
  EXPECT_EQ(CompareArtist(lower, lower), 0);
}

std::vector<TrackInfo> RandomTracks(size_t n, uint32_t seed) {
  const std::u16string texts[] = {u"",  u"a",      u"A",      u"ab",         u"b",
                                  u"B", u"\u00E9", u"\u20AC", u"\U0001D11E", u"a b"};
  const int32_t numbers[] = {INT_MIN, -1, 0, 1, 2, 10, INT_MAX};
  std::mt19937 random(seed);
  std::vector<TrackInfo> tracks(n);
  for (TrackInfo& t : tracks) {
    t.title = texts[random() % std::size(texts)];
    t.artist = texts[random() % 4];  // fewer values: more ties further down the chains
    t.album = texts[random() % 4];
    t.genre = texts[random() % 3];
    t.composer = texts[random() % 3];
    t.trackNumber = numbers[random() % std::size(numbers)];
  }
  return tracks;
}

TEST(TrackOrderTest, NamedComparatorsFollowTheirChains) {
  std::vector<TrackInfo> tracks = RandomTracks(60, 11);
  for (const TrackInfo& a : tracks) {
    for (const TrackInfo& b : tracks) {
      ASSERT_EQ(CompareTitle(a, b), CompareTracks(SortType::kTitle, a, b));
      ASSERT_EQ(CompareArtist(a, b), CompareTracks(SortType::kArtist, a, b));
      ASSERT_EQ(CompareAlbum(a, b), CompareTracks(SortType::kAlbum, a, b));
      ASSERT_EQ(CompareGenre(a, b), CompareTracks(SortType::kGenre, a, b));
      ASSERT_EQ(CompareComposer(a, b), CompareTracks(SortType::kComposer, a, b));
      // The chains, spelled out.
      const int artist = CompareText(a.artist, b.artist);
      const int album = CompareText(a.album, b.album);
      const int number = a.trackNumber < b.trackNumber ? -1 : a.trackNumber > b.trackNumber;
      const int title = CompareText(a.title, b.title);
      const int by_album = album ? album : number ? number : title;
      ASSERT_EQ(CompareAlbum(a, b), by_album);
      ASSERT_EQ(CompareArtist(a, b), artist ? artist : by_album);
      const int composer = CompareText(a.composer, b.composer);
      ASSERT_EQ(CompareComposer(a, b), composer ? composer : title);
    }
  }
}

TEST(TrackOrderTest, SortsLeaveEveryOrderAscendingAndLoseNoTrack) {
  std::vector<TrackInfo> tracks = RandomTracks(500, 3);
  TrackArray array;
  for (TrackInfo& t : tracks) array.push_back(&t);
  KeyedTracks keyed(array);
  for (SortType type : kAllTypes) {
    keyed.Sort(type);
    const TrackArray sorted = keyed.Tracks();
    ASSERT_EQ(sorted.size(), array.size());
    for (size_t i = 1; i < sorted.size(); ++i) {
      ASSERT_LE(CompareTracks(type, *sorted[i - 1], *sorted[i]), 0) << "at " << i;
    }
    TrackArray a = sorted, b = array;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b);

    TrackArray in_place = array;
    SortTracks(in_place, type);
    for (size_t i = 1; i < in_place.size(); ++i) {
      ASSERT_LE(CompareTracks(type, *in_place[i - 1], *in_place[i]), 0);
    }
  }
}

}  // namespace
}  // namespace tunewell
