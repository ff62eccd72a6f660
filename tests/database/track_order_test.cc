// The five orders and track identity, against their definitions spelled out over CompareText on
// random tracks full of ties, case pairs, accents and extreme numbers.
#include "database/track_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "database/track_list.h"
#include "platform/collation.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

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

TEST(TrackOrderTest, ComparatorsFollowTheirChains) {
  std::vector<TrackInfo> tracks = RandomTracks(60, 11);
  for (const TrackInfo& a : tracks) {
    for (const TrackInfo& b : tracks) {
      const int number = a.trackNumber < b.trackNumber ? -1 : a.trackNumber > b.trackNumber;
      const int title = CompareText(a.title, b.title);
      const int album = CompareText(a.album, b.album);
      const int by_album = album ? album : number ? number : title;
      const int artist = CompareText(a.artist, b.artist);
      const int by_artist = artist ? artist : by_album;
      const int genre = CompareText(a.genre, b.genre);
      const int composer = CompareText(a.composer, b.composer);
      const struct {
        SortType type;
        int (*named)(const TrackInfo&, const TrackInfo&);
        int order;
      } expected[] = {{SortType::kTitle, CompareTitle, title},
                      {SortType::kAlbum, CompareAlbum, by_album},
                      {SortType::kArtist, CompareArtist, by_artist},
                      {SortType::kGenre, CompareGenre, genre ? genre : by_artist},
                      {SortType::kComposer, CompareComposer, composer ? composer : title}};
      for (const auto& e : expected) {
        ASSERT_EQ(CompareTracks(e.type, a, b), e.order) << static_cast<int>(e.type);
        ASSERT_EQ(e.named(a, b), e.order) << static_cast<int>(e.type);
      }
    }
  }
}

TEST(TrackOrderTest, SortsLeaveEveryOrderAscendingAndLoseNoTrack) {
  std::vector<TrackInfo> tracks = RandomTracks(500, 3);
  const TrackArray array = fixture::ArrayOf(tracks);
  KeyedTracks keyed(array);
  for (SortType type : kSortIndexOrder) {
    keyed.Sort(type);
    TrackArray in_place = array;
    SortTracks(in_place, type);
    for (const TrackArray& sorted : {keyed.Tracks(), in_place}) {
      for (size_t i = 1; i < sorted.size(); ++i) {
        ASSERT_LE(CompareTracks(type, *sorted[i - 1], *sorted[i]), 0) << "at " << i;
      }
      TrackArray a = sorted, b = array;
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      ASSERT_EQ(a, b);
    }
  }
}

// The hashed identities must drop exactly what comparing every pair with CompareText drops, and
// keep the order of the rest.
TEST(TrackOrderTest, DropDuplicatesAgreesWithPairwiseCompareText) {
  const std::u16string pool[] = {u"",       u"a",        u"A",       u"ab",     u"aB",
                                 u"a b",    u"\u00E9",   u"e\u0301", u"\u20AC", u"\U0001D11E",
                                 u"\uFFFD", u"x\u00ADy", u"xy",      u"\xD800", u"Zz"};
  std::mt19937 random(20240601);
  auto pick = [&] { return pool[random() % std::size(pool)]; };
  std::vector<TrackInfo> held, candidates;
  for (int i = 0; i < 800; ++i) held.push_back(fixture::MakeTrack(pick(), pick(), pick()));
  for (int i = 0; i < 600; ++i) {
    candidates.push_back(fixture::MakeTrack(pick(), pick(), pick(), static_cast<int>(i % 7)));
  }
  // Texts that would run together if the three were simply concatenated, and a NUL inside a
  // text, which the collation cannot see as such.
  held.push_back(fixture::MakeTrack(u"ab", u"c", u""));
  candidates.push_back(fixture::MakeTrack(u"a", u"c", u"b"));
  candidates.push_back(fixture::MakeTrack(u"a", u"bc", u""));
  held.push_back(fixture::MakeTrack(std::u16string(u"n\0l", 3), u"a", u"a"));
  candidates.push_back(fixture::MakeTrack(u"n\uFFFDl", u"a", u"a"));
  candidates.push_back(fixture::MakeTrack(std::u16string(u"n\0l", 3), u"a", u"a"));

  TrackArray expected;
  for (TrackInfo& c : candidates) {
    const bool is_held = std::any_of(held.begin(), held.end(), [&](const TrackInfo& d) {
      return CompareText(c.title, d.title) == 0 && CompareText(c.album, d.album) == 0 &&
             CompareText(c.artist, d.artist) == 0;
    });
    if (!is_held) expected.push_back(&c);
  }
  OwnedTracks owned;
  for (const TrackInfo& t : held) owned.push_back(std::make_unique<TrackInfo>(t));
  TrackList list(std::move(owned));
  TrackArray dropped = fixture::ArrayOf(candidates);
  list.DropDuplicates(dropped);
  EXPECT_EQ(dropped, expected);
  EXPECT_GT(expected.size(), 50u);
  EXPECT_LT(expected.size(), candidates.size() - 50);
}

}  // namespace
}  // namespace tunewell
