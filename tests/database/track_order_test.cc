// The orders built from sort keys and the hashed identities must agree with CompareText, which
// is how everything else reads them back: random tracks full of ties, case pairs and accents.
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

TEST(TrackOrderTest, KeyedAndInPlaceSortsAgreeWithTheComparators) {
  const std::u16string texts[] = {u"",  u"a",      u"A",      u"ab",         u"b",
                                  u"B", u"\u00E9", u"\u20AC", u"\U0001D11E", u"a b"};
  const int32_t numbers[] = {INT_MIN, -1, 0, 1, 2, 10, INT_MAX};
  std::mt19937 random(3);
  std::vector<TrackInfo> tracks(500);
  for (TrackInfo& t : tracks) {  // fewer values further down the chains: more ties there
    t = fixture::MakeTrack(texts[random() % 10], texts[random() % 4], texts[random() % 4],
                           numbers[random() % 7]);
    t.genre = texts[random() % 3];
    t.composer = texts[random() % 3];
  }
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

TEST(TrackOrderTest, DropDuplicatesAgreesWithPairwiseCompareText) {
  const std::u16string pool[] = {u"",       u"a",        u"A",       u"ab",     u"aB",
                                 u"a b",    u"\u00E9",   u"e\u0301", u"\u20AC", u"\U0001D11E",
                                 u"\uFFFD", u"x\u00ADy", u"xy",      u"\xD800", u"Zz"};
  std::mt19937 random(20240601);
  auto pick = [&] { return pool[random() % std::size(pool)]; };
  std::vector<TrackInfo> held, candidates;
  for (int i = 0; i < 800; ++i) held.push_back(fixture::MakeTrack(pick(), pick(), pick()));
  for (int i = 0; i < 600; ++i)
    candidates.push_back(fixture::MakeTrack(pick(), pick(), pick(), i % 7));
  // Texts that run together when simply concatenated, and a NUL the collation cannot see.
  const std::u16string nul(u"n\0l", 3);
  held.push_back(fixture::MakeTrack(u"ab", u"c", u""));
  held.push_back(fixture::MakeTrack(nul, u"a", u"a"));
  for (const auto& [title, artist, album] :
       {std::tuple<std::u16string, std::u16string, std::u16string>{u"a", u"c", u"b"},
        {u"a", u"bc", u""},
        {u"n\uFFFDl", u"a", u"a"},
        {nul, u"a", u"a"}}) {
    candidates.push_back(fixture::MakeTrack(title, artist, album));
  }
  TrackArray expected;
  for (TrackInfo& c : candidates) {
    if (std::none_of(held.begin(), held.end(), [&](const TrackInfo& d) {
          return CompareText(c.title, d.title) == 0 && CompareText(c.album, d.album) == 0 &&
                 CompareText(c.artist, d.artist) == 0;
        })) {
      expected.push_back(&c);
    }
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
