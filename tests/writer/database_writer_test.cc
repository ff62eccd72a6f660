#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "database/coding.h"
#include "database/database_check.h"
#include "database/record_builders.h"
#include "writer_test_util.h"

namespace tunewell {
namespace {

using testing::MakeTrack;
using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

uint32_t U32(const std::string& bytes, uint64_t offset) {
  return DecodeFixed32(bytes.data() + offset);
}

class DatabaseWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("iTunesDB");
    WriteAll(path_, BuildEmptyITunesDb());
  }

  // Adds tracks through a fresh load, as a sync does.
  Status Add(std::vector<TrackInfo>& tracks) {
    ITunesDatabase db(Env::Default());
    RETURN_IF_ERROR(db.Load(path_, nullptr, false));
    TrackArray array;
    for (TrackInfo& t : tracks) array.push_back(&t);
    return testing::SaveAdding(db, path_, array);
  }

  Status Remove(const std::vector<uint32_t>& ids) {
    ITunesDatabase db(Env::Default());
    RETURN_IF_ERROR(db.Load(path_, nullptr, false));
    std::vector<TrackInfo> gone(ids.size());
    TrackArray array;
    for (size_t i = 0; i < ids.size(); ++i) {
      gone[i].trackId = ids[i];
      array.push_back(&gone[i]);
    }
    return testing::SaveRemoving(db, path_, array);
  }

  DatabaseLayout Layout(const std::string& image) {
    DatabaseLayout layout;
    EXPECT_TRUE(ParseLayout(ImageView(image), &layout).ok());
    return layout;
  }

  // Titles in the order of the sort index of `type` in playlist dataset `d`.
  std::vector<std::u16string> IndexTitles(SortType type, size_t d = 0) {
    const std::string image = ReadAll(path_);
    const DatabaseLayout layout = Layout(image);
    ITunesDatabase db(Env::Default());
    EXPECT_TRUE(db.Load(path_, nullptr, false).ok());
    std::vector<std::u16string> by_place(layout.track_count);
    for (const TrackInfo* t : db.trackList().tracks()) by_place[t->position - 1] = t->title;
    const auto& records = layout.playlist_datasets[d].data_records;
    const auto it = std::find_if(records.end() - 5, records.end(), [&](const DataRecordInfo& r) {
      return U32(image, r.offset + 24) == static_cast<uint32_t>(type);
    });
    EXPECT_NE(it, records.end());
    std::vector<std::u16string> titles;
    for (uint32_t i = 0; i < layout.track_count; ++i) {
      titles.push_back(by_place.at(U32(image, it->offset + 72 + 4 * i)));
    }
    return titles;
  }

  TempFolder folder_;
  std::string path_;
};

TEST_F(DatabaseWriterTest, AddingToAnEmptyDatabaseRoundTrips) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"Zebra", u"B", u"X", 2),
                                   MakeTrack(u"Apple \u20AC", u"A", u"Y", 1),
                                   MakeTrack(u"Mango", u"A", u"X", 10)};
  tracks[1].genre = u"Jazz";
  tracks[2].composer = u"\U0001D11E composer";
  const std::string before = ReadAll(path_);
  ASSERT_TRUE(Add(tracks).ok());

  // New tracks get ids from 1 and the places after the old tracks, in array order.
  EXPECT_EQ(tracks[0].trackId, 1u);
  EXPECT_EQ(tracks[2].trackId, 3u);
  EXPECT_EQ(tracks[2].position, 3);
  EXPECT_EQ(ReadAll(path_ + ".bak"), before);
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));

  ITunesDatabase db(Env::Default());
  ASSERT_TRUE(db.Load(path_, nullptr, false).ok());
  EXPECT_TRUE(db.writable().ok()) << db.writable().ToString();
  ASSERT_EQ(db.trackList().count(), 3);
  std::vector<TrackInfo> read;
  for (const TrackInfo* t : db.trackList().tracks()) read.push_back(*t);
  std::sort(read.begin(), read.end(), [](auto& a, auto& b) { return a.trackId < b.trackId; });
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read[i].title, tracks[i].title);
    EXPECT_EQ(read[i].artist, tracks[i].artist);
    EXPECT_EQ(read[i].album, tracks[i].album);
    EXPECT_EQ(read[i].genre, tracks[i].genre);
    EXPECT_EQ(read[i].composer, tracks[i].composer);
    EXPECT_EQ(read[i].path, tracks[i].path);
    EXPECT_EQ(read[i].trackNumber, tracks[i].trackNumber);
    EXPECT_EQ(read[i].position, static_cast<int32_t>(i + 1));
  }
  EXPECT_EQ(IndexTitles(SortType::kTitle),
            (std::vector<std::u16string>{u"Apple \u20AC", u"Mango", u"Zebra"}));
  // Artist A: album X (Mango, number 10) before album Y; then B.
  EXPECT_EQ(IndexTitles(SortType::kArtist),
            (std::vector<std::u16string>{u"Mango", u"Apple \u20AC", u"Zebra"}));
  // Album X: number 2 (Zebra) before number 10 (Mango): numbers compare as numbers.
  EXPECT_EQ(IndexTitles(SortType::kAlbum),
            (std::vector<std::u16string>{u"Zebra", u"Mango", u"Apple \u20AC"}));
  // Empty genres first.
  EXPECT_EQ(IndexTitles(SortType::kGenre, 1).back(), u"Apple \u20AC");
}

TEST_F(DatabaseWriterTest, AddingTwoGrowsEveryLengthByTheirShare) {
  std::vector<TrackInfo> first = {MakeTrack(u"one", u"a", u"x"), MakeTrack(u"two", u"a", u"x"),
                                  MakeTrack(u"three", u"b", u"y")};
  ASSERT_TRUE(Add(first).ok());
  const std::string before = ReadAll(path_);
  const DatabaseLayout old = Layout(before);

  std::vector<TrackInfo> more = {MakeTrack(u"four", u"c", u"z"), MakeTrack(u"five", u"", u"")};
  ASSERT_TRUE(Add(more).ok());
  const std::string after = ReadAll(path_);
  const DatabaseLayout now = Layout(after);

  const uint32_t records = TrackRecordLength(more[0]) + TrackRecordLength(more[1]);
  EXPECT_EQ(after.size(), before.size() + records + 2 * 2 * 140);
  EXPECT_EQ(now.track_count, 5u);
  EXPECT_EQ(now.track_dataset.total_length, old.track_dataset.total_length + records);
  for (size_t d = 0; d < 2; ++d) {
    const auto& o = old.playlist_datasets[d];
    const auto& n = now.playlist_datasets[d];
    EXPECT_EQ(n.dataset.total_length, o.dataset.total_length + 280);
    EXPECT_EQ(n.library_total_length, o.library_total_length + 280);
    ASSERT_EQ(n.items.size(), 5u);
    EXPECT_EQ(n.items[3].position, 4);
    EXPECT_EQ(n.items[4].position, 5);
    EXPECT_EQ(n.items[4].track_id, more[1].trackId);
    for (size_t r = n.data_records.size() - 5; r < n.data_records.size(); ++r) {
      EXPECT_EQ(U32(after, n.data_records[r].offset + 28), 5u);
    }
    // The library's title record stays in front of the indexes, unchanged.
    EXPECT_EQ(after.substr(n.data_records[0].offset, n.data_records[0].total_length),
              before.substr(o.data_records[0].offset, o.data_records[0].total_length));
  }
  // Old track records are kept byte for byte.
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(after.substr(now.tracks[i].offset, now.tracks[i].total_length),
              before.substr(old.tracks[i].offset, old.tracks[i].total_length));
  }
}

TEST_F(DatabaseWriterTest, RemovingClosesUpAndRenumbers) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"a1", u"A", u"X"), MakeTrack(u"b2", u"A", u"X"),
                                   MakeTrack(u"c3", u"B", u"Y"), MakeTrack(u"d4", u"B", u"Y")};
  ASSERT_TRUE(Add(tracks).ok());
  const std::string before = ReadAll(path_);
  const DatabaseLayout old = Layout(before);

  ASSERT_TRUE(Remove({tracks[1].trackId}).ok());
  const std::string after = ReadAll(path_);
  const DatabaseLayout now = Layout(after);
  EXPECT_EQ(now.track_count, 3u);
  EXPECT_EQ(after.size(), before.size() - old.tracks[1].total_length - 2 * 140);
  EXPECT_EQ(after.substr(now.tracks[1].offset, now.tracks[1].total_length),
            before.substr(old.tracks[2].offset, old.tracks[2].total_length));
  ITunesDatabase db(Env::Default());
  ASSERT_TRUE(db.Load(path_, nullptr, false).ok());
  for (const TrackInfo* t : db.trackList().tracks()) {
    EXPECT_NE(t->trackId, tracks[1].trackId);
    // Positions are places in the track dataset as written.
    EXPECT_EQ(now.tracks[t->position - 1].track_id, t->trackId);
  }
  EXPECT_EQ(IndexTitles(SortType::kTitle), (std::vector<std::u16string>{u"a1", u"c3", u"d4"}));
}

TEST_F(DatabaseWriterTest, RemovalListWithRepeatsAndStrangersOnlyRemovesWhatIsThere) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"a1", u"A", u"X"), MakeTrack(u"b2", u"A", u"X"),
                                   MakeTrack(u"c3", u"B", u"Y")};
  ASSERT_TRUE(Add(tracks).ok());
  const uint32_t id = tracks[0].trackId;
  ASSERT_TRUE(Remove({id, id, 9999}).ok());
  const std::string after = ReadAll(path_);
  ASSERT_TRUE(VerifyWrittenDatabase(after, 2).ok());
  ITunesDatabase db(Env::Default());
  ASSERT_TRUE(db.Load(path_, nullptr, false).ok());
  EXPECT_EQ(db.trackList().count(), 2);
}

TEST_F(DatabaseWriterTest, SavingNothingRewritesTheSameBytes) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"x", u"A", u"X"), MakeTrack(u"y", u"B", u"X")};
  ASSERT_TRUE(Add(tracks).ok());
  const std::string before = ReadAll(path_);
  ASSERT_TRUE(Remove({}).ok());
  EXPECT_EQ(ReadAll(path_), before);
  std::vector<TrackInfo> none;
  ASSERT_TRUE(Add(none).ok());
  EXPECT_EQ(ReadAll(path_), before);
}

TEST_F(DatabaseWriterTest, NewIdsGoAboveTheLargestInTheFile) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"a", u"A", u"X"), MakeTrack(u"b", u"A", u"X")};
  ASSERT_TRUE(Add(tracks).ok());
  // Give the first record (and its items) a larger id than the last one's.
  std::string image = ReadAll(path_);
  const DatabaseLayout layout = Layout(image);
  const uint32_t old_id = layout.tracks[0].track_id;
  EncodeFixed32(image.data() + layout.tracks[0].offset + 16, 900);
  EncodeFixed64(image.data() + layout.tracks[0].offset + 112, 0x7000000000000000ull);
  for (const auto& pl : layout.playlist_datasets) {
    for (const ItemInfo& item : pl.items) {
      if (item.track_id == old_id) EncodeFixed32(image.data() + item.offset + 24, 900);
    }
  }
  WriteAll(path_, image);

  std::vector<TrackInfo> more = {MakeTrack(u"c", u"A", u"X")};
  ASSERT_TRUE(Add(more).ok());
  EXPECT_EQ(more[0].trackId, 901u);
  const std::string after = ReadAll(path_);
  const DatabaseLayout now = Layout(after);
  EXPECT_EQ(DecodeFixed64(after.data() + now.tracks[2].offset + 112), 0x7000000000000001ull);
  EXPECT_EQ(DecodeFixed64(after.data() + now.tracks[2].offset + 168), 0x7000000000000001ull);
}

TEST_F(DatabaseWriterTest, RefusesWithoutADatabaseAndTouchesNothing) {
  ITunesDatabase db(Env::Default());
  const std::string missing = folder_.File("absent");
  EXPECT_TRUE(db.Load(missing, nullptr, false).IsNotFound());
  std::vector<TrackInfo> tracks = {MakeTrack(u"a", u"A", u"X")};
  TrackArray array = {&tracks[0]};
  EXPECT_TRUE(testing::SaveAdding(db, missing, array).IsRefused());
  EXPECT_FALSE(std::filesystem::exists(missing));

  WriteAll(path_, "");
  ITunesDatabase empty(Env::Default());
  EXPECT_FALSE(empty.Load(path_, nullptr, false).ok());
  EXPECT_TRUE(testing::SaveAdding(empty, path_, array).IsRefused());
  EXPECT_EQ(ReadAll(path_), "");

  WriteAll(path_, std::string("mhbd\x10\0\0\0\xff\0\0\0", 12));
  ITunesDatabase corrupt(Env::Default());
  EXPECT_TRUE(corrupt.Load(path_, nullptr, false).IsCorruption());
  EXPECT_TRUE(testing::SaveAdding(corrupt, path_, array).IsRefused());
  EXPECT_EQ(ReadAll(path_).size(), 12u);
}

TEST_F(DatabaseWriterTest, RefusesDatabasesOfOtherProgramsAndLeavesThemAsTheyWere) {
  for (const char* name : {"podcasts", "early"}) {
    const std::filesystem::path source = std::filesystem::path(TUNEWELL_REAL_IPODS_DIR) / name /
                                         "iPod_Control" / "iTunes" / "iTunesDB";
    const std::string original = ReadAll(source.string());
    ASSERT_NE(original, "<missing>") << source;
    WriteAll(path_, original);
    ITunesDatabase db(Env::Default());
    ASSERT_TRUE(db.Load(path_, nullptr, false).ok()) << name;
    EXPECT_TRUE(db.writable().IsRefused()) << name;
    std::vector<TrackInfo> tracks = {MakeTrack(u"a", u"A", u"X")};
    TrackArray array = {&tracks[0]};
    const Status added = testing::SaveAdding(db, path_, array);
    EXPECT_TRUE(added.IsRefused()) << name;
    EXPECT_NE(added.message().find("nothing was written"), std::string::npos);
    EXPECT_TRUE(testing::SaveRemoving(db, path_, {}).IsRefused()) << name;
    EXPECT_EQ(ReadAll(path_), original) << name;
    EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
    EXPECT_FALSE(std::filesystem::exists(path_ + ".bak"));
  }
}

}  // namespace
}  // namespace tunewell
