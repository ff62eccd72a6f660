// The orders built from sort keys, the in-place sorts and the duplicate check must agree with
// CompareText, which is how everything else reads them back: random tracks full of ties, case
// pairs, accents, texts that run together when concatenated and a NUL the collation cannot see.
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

const std::u16string kTexts[] = {u"",       u"a",        u"A",      u"ab",
                                 u"aB",     u"a b",      u"b",      u"B",
                                 u"\u00E9", u"e\u0301",  u"\u20AC", u"\U0001D11E",
                                 u"\uFFFD", u"x\u00ADy", u"xy",     u"\xD800",
                                 u"Zz",     u"c",        u"bc",     std::u16string(u"n\0l", 3)};

// Fewer values further down the chains: more ties there.
std::vector<TrackInfo> RandomTracks(std::mt19937& random, size_t count) {
  const int32_t numbers[] = {INT_MIN, -1, 0, 1, 2, 10, INT_MAX};
  std::vector<TrackInfo> tracks(count);
  for (TrackInfo& t : tracks) {
    t = fixture::MakeTrack(kTexts[random() % 20], kTexts[random() % 6], kTexts[random() % 6],
                           numbers[random() % 7]);
    t.genre = kTexts[random() % 3];
    t.composer = kTexts[random() % 3];
  }
  return tracks;
}

TEST(TrackOrderTest, SortsAndDuplicatesAgreeWithTheComparators) {
  std::mt19937 random(20240601);
  std::vector<TrackInfo> held = RandomTracks(random, 800), candidates = RandomTracks(random, 600);
  // Added after the first sorts, with texts of their own: their keys are merged into the ranks
  // kept, and the genre chain then takes more than 64 bits.
  std::vector<TrackInfo> later(300);
  for (size_t i = 0; i < later.size(); ++i) {
    const std::u16string n(1, static_cast<char16_t>(u'一' + i));
    later[i] = fixture::MakeTrack(u"t" + n, u"r" + n, u"l" + n, i % 2 ? INT_MIN : INT_MAX);
    later[i].genre = u"g" + n;
  }
  TrackArray array = fixture::ArrayOf(held);
  KeyedTracks keyed(array);
  for (const TrackArray& added : {TrackArray(), fixture::ArrayOf(later)}) {
    keyed.Append(added);
    array.insert(array.end(), added.begin(), added.end());
    for (SortType type : kSortIndexOrder) {
      keyed.Sort(type);
      TrackArray in_place = array;
      SortTracks(in_place, type);
      for (TrackArray sorted : {keyed.Tracks(), in_place}) {
        for (size_t i = 1; i < sorted.size(); ++i) {
          ASSERT_LE(CompareTracks(type, *sorted[i - 1], *sorted[i]), 0) << "at " << i;
        }
        TrackArray all = array;
        std::sort(sorted.begin(), sorted.end());
        std::sort(all.begin(), all.end());
        ASSERT_EQ(sorted, all);
      }
    }
  }
  held.push_back(fixture::MakeTrack(u"ab", u"c", u""));
  held.push_back(fixture::MakeTrack(kTexts[19], u"a", u"a"));
  candidates.push_back(fixture::MakeTrack(u"a", u"c", u"b"));
  candidates.push_back(fixture::MakeTrack(u"a", u"bc", u""));
  candidates.push_back(fixture::MakeTrack(u"n\uFFFDl", u"a", u"a"));
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
  TrackArray dropped = fixture::ArrayOf(candidates);
  TrackList(std::move(owned)).DropDuplicates(dropped);
  EXPECT_EQ(dropped, expected);
  EXPECT_GT(expected.size(), 50u);
  EXPECT_LT(expected.size(), candidates.size() - 50);
}

}  // namespace
}  // namespace tunewell
