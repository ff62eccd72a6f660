// The storage and view pieces the reader feeds: counting music folders on a real disk, and the
// contents tree built from a loaded database's display order.

#include <gtest/gtest.h>

#include "database/ipod_database.h"
#include "platform/path.h"
#include "player/contents_rows.h"
#include "storage/music_folders.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/ipod_tree.h"

namespace tunewell {
namespace {

TEST(MusicFoldersOnDiskTest, CountsOnlyNumberedFolders) {
  fixture::TempFolder folder;
  Env& env = Env::Default();
  fixture::IPodTree tree;
  tree.music_folders = 20;
  ASSERT_TRUE(fixture::WriteIPodTree(env, folder.path(), tree).ok());
  const std::string music = JoinPath(folder.path(), {"iPod_Control", "Music"});
  ASSERT_TRUE(fixture::WriteWholeFile(env, JoinPath(music, {"Fnotes.txt"}), "notes").ok());
  ASSERT_TRUE(fixture::WriteWholeFile(env, JoinPath(music, {"F20"}), "not a folder").ok());
  ASSERT_TRUE(env.CreateFolder(JoinPath(music, {"f21"})).ok());
  EXPECT_EQ(CountMusicFolders(env, folder.path()), 20);

  IPodDatabase ipod(env, folder.path());
  EXPECT_EQ(CountMusicFolders(env, ipod.root()), 20);
}

TEST(MusicFoldersOnDiskTest, NoMusicFolderCountsZero) {
  fixture::TempFolder folder;
  EXPECT_EQ(CountMusicFolders(Env::Default(), folder.path()), 0);
  ASSERT_TRUE(Env::Default().CreateFolder(JoinPath(folder.path(), {"iPod_Control"})).ok());
  EXPECT_EQ(CountMusicFolders(Env::Default(), folder.path()), 0);
}

TEST(MusicFoldersOnDiskTest, TheSameTreeInMemory) {
  MemoryEnv env;
  fixture::IPodTree tree;
  tree.music_folders = 3;
  tree.itunes_db = fixture::BuildITunesDb(fixture::SampleTracks(2));
  tree.files[":iPod_Control:Music:F02:TRK1.mp3"] = "mp3";
  ASSERT_TRUE(fixture::WriteIPodTree(env, kIPodRoot, tree).ok());
  IPodDatabase ipod(env, kIPodRoot);
  EXPECT_EQ(CountMusicFolders(env, ipod.root()), 3);
  OwnedTracks tracks;
  ASSERT_TRUE(ipod.ReadTrackList(&tracks).ok());
  EXPECT_EQ(tracks.size(), 2u);
  EXPECT_EQ(env.Contents(fixture::PathOfLocation(kIPodRoot, ":iPod_Control:Music:F02:TRK1.mp3")),
            "mp3");
}

std::vector<std::pair<int, std::u16string>> Shape(const std::vector<ContentsRow>& rows) {
  std::vector<std::pair<int, std::u16string>> out;
  for (const ContentsRow& row : rows) out.emplace_back(row.level, row.text);
  return out;
}

TEST(ContentsFromDatabaseTest, RowsFollowTheDisplayOrder) {
  // Stored out of order; the same album title under two artists; a track with neither.
  DbInMemory disk(
      fixture::BuildITunesDb({FTrack(1, u"t3", u"B", u"X", 1), FTrack(2, u"t2", u"A", u"X", 2),
                              FTrack(3, u"t1", u"A", u"X", 1), FTrack(4, u"loose", u"", u"", 0)}));
  OwnedTracks tracks;
  ASSERT_TRUE(disk.db.ReadTrackList(kDbPath, &tracks).ok());
  TrackArray order;
  for (const auto& t : tracks) order.push_back(t.get());
  const std::vector<ContentsRow> rows = BuildRows(order);
  // A new artist gets its own album row even when the album title repeats.
  const std::vector<std::pair<int, std::u16string>> expected = {{0, u"Music"},
                                                                {1, u"Unknown Artist"},
                                                                {2, u"Unknown Album"},
                                                                {3, u"loose"},
                                                                {1, u"A"},
                                                                {2, u"X"},
                                                                {3, u"t1"},
                                                                {3, u"t2"},
                                                                {1, u"B"},
                                                                {2, u"X"},
                                                                {3, u"t3"}};
  EXPECT_EQ(Shape(rows), expected);
  EXPECT_EQ(rows[6].track, order[1]);
  EXPECT_EQ(rows[6].track->trackId, 3u);
}

TEST(ContentsFromDatabaseTest, EmptyDatabaseGivesTheNotice) {
  DbInMemory disk(fixture::BuildITunesDb({}));
  OwnedTracks tracks;
  ASSERT_TRUE(disk.db.ReadTrackList(kDbPath, &tracks).ok());
  const std::vector<ContentsRow> rows = BuildRows({});
  const std::vector<std::pair<int, std::u16string>> expected = {
      {-1, u""}, {-1, std::u16string(kNoMusicNotice)}};
  EXPECT_EQ(Shape(rows), expected);
}

}  // namespace
}  // namespace tunewell
