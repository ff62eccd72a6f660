// Failures at every point of a save leave both database files exactly as they were, in the
// three-dataset layout and in the many-dataset one of desktop software.

#include <gtest/gtest.h>

#include <cstdint>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

using Op = MemoryEnv::Op;
using fixture::MakeTrack;

constexpr char kRoot[] = "/ipod";
constexpr char kDb[] = "/ipod/iPod_Control/iTunes/iTunesDB";
constexpr char kSd[] = "/ipod/iPod_Control/iTunes/iTunesSD";

class SaveFaultsTest : public ::testing::TestWithParam<std::tuple<bool, bool>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_.AddFolder("/ipod/iPod_Control/Music/F00").ok());
    ASSERT_TRUE(env_.AddFile(kDb, BuildEmptyITunesDb()).ok());
    ASSERT_TRUE(env_.AddFile(kSd, BuildEmptyITunesSd()).ok());
    old_ = {MakeTrack(u"one", u"A", u"X"), MakeTrack(u"two", u"A", u"Y"),
            MakeTrack(u"three", u"B", u"Z")};
    ASSERT_TRUE(Run(old_, true).ok());
    env_.Erase(std::string(kDb) + ".bak");
    if (std::get<1>(GetParam())) {
      ASSERT_TRUE(env_.AddFile(kDb, fixture::BuildITunesDb(fixture::SampleTracks(3),
                                                           fixture::ManyDatasetLayout()))
                      .ok());
    }
    before_ = env_.TakeSnapshot();
    db_before_ = env_.Contents(kDb), sd_before_ = env_.Contents(kSd);
  }

  bool adding() const { return std::get<0>(GetParam()); }

  Status Run(std::vector<TrackInfo>& tracks, bool adding) {
    IPodDatabase ipod(env_, kRoot);
    TrackArray array = fixture::ArrayOf(tracks);
    RETURN_IF_ERROR(ipod.LoadForSync(adding ? &array : nullptr));
    return adding ? ipod.SaveAfterSync(array) : ipod.SaveAfterRemoval(array);
  }

  // One save of this test's kind: two new tracks, or the removal of one old track.
  Status OneSave() {
    std::vector<TrackInfo> tracks;
    if (adding()) {
      tracks = {MakeTrack(u"four", u"C", u"W"), MakeTrack(u"five", u"C", u"W")};
    } else {
      tracks.resize(1);
      tracks[0].trackId = 2;
      tracks[0].path = old_[1].path;
    }
    return Run(tracks, adding());
  }

  // The save fails, both files are as they were, and nothing temporary is left.
  void ExpectUnchanged(const std::string& what) {
    const Status s = OneSave();
    EXPECT_FALSE(s.ok()) << what;
    EXPECT_EQ(env_.Contents(kDb), db_before_) << what;
    EXPECT_EQ(env_.Contents(kSd), sd_before_) << what;
    for (const std::string& path : env_.Paths()) {
      EXPECT_EQ(path.find(".tmp"), std::string::npos) << what << ": " << path;
    }
    EXPECT_EQ(env_.OpenFileCount(), 0) << what;
  }

  // How often a clean save calls `op`.
  int CallsOfCleanSave(Op op) {
    const MemoryEnv::Snapshot start = env_.TakeSnapshot();
    env_.ResetCounts();
    EXPECT_TRUE(OneSave().ok());
    const int calls = env_.Calls(op);
    Restore(start);
    return calls;
  }

  void Restore(const MemoryEnv::Snapshot& snapshot) {
    for (const std::string& path : env_.Paths()) {
      if (!snapshot.files.count(path) && !snapshot.folders.count(path)) env_.Erase(path);
    }
    for (const auto& [path, bytes] : snapshot.files) ASSERT_TRUE(env_.AddFile(path, bytes).ok());
  }

  MemoryEnv env_;
  std::vector<TrackInfo> old_;
  MemoryEnv::Snapshot before_;
  std::optional<std::string> db_before_, sd_before_;
};

TEST_P(SaveFaultsTest, EveryFailingCallLeavesBothFilesAsTheyWere) {
  // Failing the backup's copy or rename only costs the backup; every other call is needed.
  for (Op op : {Op::kReadFile, Op::kNewWritableFile, Op::kAppend, Op::kSync}) {
    const int calls = CallsOfCleanSave(op);
    ASSERT_GT(calls, 0);
    for (int n = 1; n <= calls; ++n) {
      env_.FailNth(op, n);
      ExpectUnchanged("call " + std::to_string(n) + " of op " +
                      std::to_string(static_cast<int>(op)));
      env_.ClearAllFaults();
      Restore(before_);
    }
  }
  // The renames that put iTunesDB and iTunesSD in place.
  for (const char* target : {kDb, kSd}) {
    env_.FailNth(Op::kRename, 1, target);
    ExpectUnchanged(std::string("rename onto ") + target);
    // Only a save that succeeded replaces the backup.
    EXPECT_EQ(env_.Exists(std::string(kDb) + ".bak"), target != kDb);
    env_.ClearAllFaults();
    Restore(before_);
  }
}

TEST_P(SaveFaultsTest, AFailedBackupDoesNotStopTheSave) {
  // The old file goes to the backup's name, or is copied there where names cannot be swapped.
  env_.Fail(Op::kRename, std::string(kDb) + ".bak");
  env_.Fail(Op::kCopy);
  ASSERT_TRUE(OneSave().ok());
  for (const char* left : {".bak", ".bak.tmp", ".tmp"}) {
    EXPECT_FALSE(env_.Exists(std::string(kDb) + left)) << left;
  }
}

// A device that reports success but keeps other bytes: the read-back comparison notices, even
// where the new file would pass its check (a flipped byte inside a title or a location).
TEST_P(SaveFaultsTest, BytesTheDeviceKeptWronglyLeaveBothFilesAsTheyWere) {
  const std::string db_tmp = std::string(kDb) + ".tmp", sd_tmp = std::string(kSd) + ".tmp";
  const struct {
    std::string file;
    size_t flip_at;            // past the end: the last byte goes missing
  } cases[] = {{db_tmp, 576},  // the first track's title: 104 + 96 + 92 + 244 + 40
               {db_tmp, 20},   // the dataset count
               {db_tmp, SIZE_MAX},
               {sd_tmp, 53},  // the first entry's name: 18 + 35
               {sd_tmp, SIZE_MAX}};
  for (const auto& c : cases) {
    env_.GarbleNthAppend(1, c.flip_at, c.file);
    ExpectUnchanged(c.file + " garbled at " + std::to_string(c.flip_at));
    env_.ClearAllFaults();
    Restore(before_);
  }
}

INSTANTIATE_TEST_SUITE_P(AddingAndRemoving, SaveFaultsTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Adding" : "Removing") +
                                  (std::get<1>(info.param) ? "ManyDatasets" : "");
                         });

}  // namespace
}  // namespace tunewell
