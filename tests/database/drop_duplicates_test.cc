#include <gtest/gtest.h>

#include <random>

#include "database/ipod_database.h"
#include "database/track_list.h"
#include "platform/collation.h"
#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

TrackList ListOf(std::vector<TrackInfo> tracks) {
  OwnedTracks owned;
  for (TrackInfo& t : tracks) owned.push_back(std::make_unique<TrackInfo>(std::move(t)));
  return TrackList(std::move(owned));
}

TEST(DropDuplicatesTest, DropsOnlyExactTitleAlbumArtistMatches) {
  TrackList db =
      ListOf({MakeTrack(u"abc", u"Artist", u"Album"), MakeTrack(u"Song", u"Artist", u"Album")});
  TrackInfo case_differs = MakeTrack(u"ABC", u"Artist", u"Album");
  TrackInfo artist_differs = MakeTrack(u"Song", u"Other", u"Album");
  TrackInfo album_differs = MakeTrack(u"Song", u"Artist", u"Other");
  TrackInfo dup1 = MakeTrack(u"Song", u"Artist", u"Album");
  TrackInfo dup2 = MakeTrack(u"abc", u"Artist", u"Album");
  TrackInfo fields_swapped = MakeTrack(u"Album", u"Artist", u"Song");
  TrackInfo last_dup = MakeTrack(u"Song", u"Artist", u"Album", 7);  // numbers do not matter
  TrackArray candidates = {&case_differs,  &dup1,           &dup2,    &artist_differs,
                           &album_differs, &fields_swapped, &last_dup};
  db.DropDuplicates(candidates);
  EXPECT_EQ(candidates,
            (TrackArray{&case_differs, &artist_differs, &album_differs, &fields_swapped}));
}

TEST(DropDuplicatesTest, KeyBoundariesDoNotRunTogether) {
  // Texts that would give the same string if the three were simply concatenated.
  TrackList db = ListOf({MakeTrack(u"ab", u"c", u"")});
  TrackInfo shifted = MakeTrack(u"a", u"c", u"b");
  TrackInfo shifted2 = MakeTrack(u"a", u"bc", u"");
  TrackArray candidates = {&shifted, &shifted2};
  db.DropDuplicates(candidates);
  EXPECT_EQ(candidates.size(), 2u);
}

TEST(DropDuplicatesTest, EmptyDatabaseDropsNothing) {
  TrackInfo empty_texts;
  TrackInfo song = MakeTrack(u"Song", u"Artist", u"Album");
  TrackArray candidates = {&empty_texts, &song};
  TrackList().DropDuplicates(candidates);
  EXPECT_EQ(candidates.size(), 2u);

  DbInMemory disk(fixture::BuildITunesDb({}));
  ASSERT_TRUE(disk.Load(&candidates, true).ok());
  EXPECT_EQ(candidates.size(), 2u);
}

TEST(DropDuplicatesTest, LoadForSyncDropsWhatTheIPodHolds) {
  DbInMemory disk(fixture::BuildITunesDb(
      {FTrack(1, u"Song", u"Artist", u"Album", 1), FTrack(2, u"Other", u"Artist", u"Album", 2)}));
  TrackInfo held = MakeTrack(u"Song", u"Artist", u"Album");
  TrackInfo fresh = MakeTrack(u"New", u"Artist", u"Album");
  TrackArray candidates = {&held, &fresh};

  ITunesDatabase keep_all(disk.env);
  ASSERT_TRUE(keep_all.Load(kDbPath, &candidates, false).ok());
  EXPECT_EQ(candidates.size(), 2u);

  IPodDatabase ipod(disk.env, kIPodRoot);
  ASSERT_TRUE(ipod.LoadForSync(&candidates).ok());
  EXPECT_EQ(candidates, TrackArray{&fresh});
}

// The hashed keys must decide exactly what comparing every pair with CompareText decides.
TEST(DropDuplicatesTest, AgreesWithPairwiseCompareText) {
  const std::u16string pool[] = {u"",       u"a",        u"A",       u"ab",     u"aB",
                                 u"a b",    u"\u00E9",   u"e\u0301", u"\u20AC", u"\U0001D11E",
                                 u"\uFFFD", u"x\u00ADy", u"xy",      u"\xD800", u"Zz"};
  std::mt19937 random(20240601);
  auto pick = [&] { return pool[random() % std::size(pool)]; };
  std::vector<TrackInfo> db_tracks;
  for (int i = 0; i < 800; ++i) db_tracks.push_back(MakeTrack(pick(), pick(), pick()));
  std::vector<TrackInfo> candidates_storage;
  for (int i = 0; i < 600; ++i) candidates_storage.push_back(MakeTrack(pick(), pick(), pick()));
  // A NUL inside a text, which the collation cannot see as such.
  db_tracks.push_back(MakeTrack(std::u16string(u"n\0l", 3), u"a", u"a"));
  candidates_storage.push_back(MakeTrack(u"n\uFFFDl", u"a", u"a"));
  candidates_storage.push_back(MakeTrack(std::u16string(u"n\0l", 3), u"a", u"a"));

  TrackArray expected;
  for (TrackInfo& c : candidates_storage) {
    bool held = false;
    for (const TrackInfo& d : db_tracks) {
      if (CompareText(c.title, d.title) == 0 && CompareText(c.album, d.album) == 0 &&
          CompareText(c.artist, d.artist) == 0) {
        held = true;
        break;
      }
    }
    if (!held) expected.push_back(&c);
  }
  TrackArray candidates;
  for (TrackInfo& c : candidates_storage) candidates.push_back(&c);
  TrackList db = ListOf(db_tracks);
  db.DropDuplicates(candidates);
  EXPECT_EQ(candidates, expected);
  EXPECT_GT(expected.size(), 50u);
  EXPECT_LT(expected.size(), candidates_storage.size() - 50);
}

}  // namespace
}  // namespace tunewell
