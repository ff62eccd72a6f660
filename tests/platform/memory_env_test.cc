#include "platform/memory/memory_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/path.h"

namespace tunewell {
namespace {

using Op = MemoryEnv::Op;

const std::string kSep(1, kPathSeparator);

// An absolute path on the volume.
std::string At(std::initializer_list<std::string_view> parts) { return JoinPath(kSep, parts); }

class MemoryEnvTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(env_.AddFolder(At({"ipod"})).ok()); }

  Status Write(MemoryEnv& env, const std::string& path, std::string_view contents) {
    std::unique_ptr<WritableFile> file;
    RETURN_IF_ERROR(env.NewWritableFile(path, false, &file));
    RETURN_IF_ERROR(file->Append(contents));
    return file->Close();
  }
  Status Write(const std::string& path, std::string_view contents) {
    return Write(env_, path, contents);
  }
  std::unique_ptr<WritableFile> Open(const std::string& path) {
    std::unique_ptr<WritableFile> file;
    const Status s = env_.NewWritableFile(path, false, &file);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return file;
  }
  std::vector<std::string> Names(MemoryEnv& env, const std::string& folder) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(env.ListFolder(folder, &entries).ok());
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  MemoryEnv env_;
  const std::string db_ = At({"ipod", "iTunesDB"});
  const std::string tmp_ = At({"ipod", "iTunesDB.tmp"});
};

// ---- Paths and folders ----

TEST_F(MemoryEnvTest, FilesNeedTheirFolders) {
  const std::string track = At({"ipod", "Music", "F00", "ABCD.mp3"});
  EXPECT_TRUE(Write(track, "x").IsNotFound());
  EXPECT_TRUE(env_.CreateFolder(At({"ipod", "Music", "F00"})).IsNotFound());
  ASSERT_TRUE(env_.CreateFolder(At({"ipod", "Music"})).ok());
  ASSERT_TRUE(env_.CreateFolder(At({"ipod", "Music", "F00"})).ok());
  EXPECT_TRUE(Write(track, "x").ok());
  // A file is no folder to put things in.
  EXPECT_TRUE(Write(JoinPath(track, {"inner"}), "x").IsNotFound());
  EXPECT_EQ(env_.KindOf(JoinPath(track, {"inner"})), PathKind::kNone);

  // Set-up makes the folders on the way, but will not replace a file by one.
  ASSERT_TRUE(env_.AddFile(At({"lib", "a", "b", "song.mp3"}), "ID3").ok());
  EXPECT_EQ(env_.KindOf(At({"lib", "a", "b"})), PathKind::kFolder);
  EXPECT_FALSE(env_.AddFile(At({"lib", "a", "b", "song.mp3", "x"}), "").ok());
  EXPECT_FALSE(env_.AddFolder(At({"lib", "a", "b", "song.mp3"})).ok());
  EXPECT_EQ(env_.Contents(At({"lib", "a", "b", "song.mp3"})), "ID3");
}

TEST_F(MemoryEnvTest, SpellingsOfOnePathNameOneFile) {
  ASSERT_TRUE(env_.AddFile(At({"ipod", "Music", "F01", "x.mp3"}), "one").ok());
  EXPECT_EQ(env_.Contents("/ipod/Music/F01/x.mp3"), "one");
  EXPECT_EQ(env_.Contents(kSep + "ipod" + kSep + kSep + "Music/./F00/../F01" + kSep + "x.mp3"),
            "one");
  EXPECT_EQ(env_.KindOf(At({"ipod", "Music", ""})), PathKind::kFolder);  // trailing separator
  EXPECT_EQ(env_.Paths(), (std::vector<std::string>{At({"ipod"}), At({"ipod", "Music"}),
                                                    At({"ipod", "Music", "F01"}),
                                                    At({"ipod", "Music", "F01", "x.mp3"})}));
  // Names are case-sensitive unless asked otherwise.
  EXPECT_EQ(env_.Contents(At({"ipod", "music", "F01", "x.mp3"})), std::nullopt);
  EXPECT_EQ(env_.KindOf(""), PathKind::kNone);
}

TEST_F(MemoryEnvTest, RootsAndDrivesAlwaysExist) {
  EXPECT_EQ(env_.KindOf(kSep), PathKind::kFolder);
  EXPECT_EQ(env_.KindOf("E:"), PathKind::kFolder);
  const std::string drive_root = "E:" + kSep;
  ASSERT_TRUE(env_.CreateFolder(JoinPath(drive_root, {"iPod_Control"})).ok());
  EXPECT_EQ(Names(env_, "e:/"), std::vector<std::string>{"iPod_Control"});
  EXPECT_EQ(Names(env_, kSep), std::vector<std::string>{"ipod"});
  std::vector<std::string> expected = {At({"ipod"}), "E:" + kSep + "iPod_Control"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(env_.Paths(), expected);
  uint64_t free_bytes = 0;
  EXPECT_TRUE(env_.FreeBytes(drive_root, &free_bytes).ok());
  EXPECT_TRUE(env_.FreeBytes(At({"nowhere"}), &free_bytes).IsNotFound());
}

TEST_F(MemoryEnvTest, CaseInsensitiveVolumeKeepsTheCreatedNames) {
  MemoryEnv fat(MemoryEnv::Names::kCaseInsensitive);
  ASSERT_TRUE(fat.AddFolder(At({"IPOD", "Music"})).ok());
  ASSERT_TRUE(Write(fat, At({"ipod", "MUSIC", "ABCD.mp3"}), "first").ok());
  EXPECT_EQ(fat.Contents(At({"ipod", "music", "abcd.MP3"})), "first");
  ASSERT_TRUE(Write(fat, At({"ipod", "music", "abcd.mp3"}), "second").ok());
  EXPECT_EQ(Names(fat, At({"ipod", "music"})), std::vector<std::string>{"ABCD.mp3"});
  EXPECT_EQ(fat.TakeSnapshot().files,
            (std::map<std::string, std::string>{{At({"IPOD", "Music", "ABCD.mp3"}), "second"}}));
  EXPECT_TRUE(fat.CreateFolder(At({"Ipod", "MUSIC"})).ok());

  // Renaming to another case of the same name changes only the name.
  ASSERT_TRUE(
      fat.RenameFile(At({"ipod", "music", "abcd.mp3"}), At({"ipod", "music", "AbCd.mp3"})).ok());
  EXPECT_EQ(Names(fat, At({"ipod", "music"})), std::vector<std::string>{"AbCd.mp3"});
  ASSERT_TRUE(fat.RenameFile(At({"ipod", "music"}), At({"ipod", "mUsIc"})).ok());
  EXPECT_EQ(fat.Paths(), (std::vector<std::string>{At({"IPOD"}), At({"IPOD", "mUsIc"}),
                                                   At({"IPOD", "mUsIc", "AbCd.mp3"})}));
}

TEST_F(MemoryEnvTest, RenameMovesAFolderWithWhatIsInIt) {
  ASSERT_TRUE(env_.AddFile(At({"ipod", "a", "b", "x"}), "x").ok());
  ASSERT_TRUE(env_.RenameFile(At({"ipod", "a"}), At({"ipod", "c"})).ok());
  EXPECT_EQ(env_.Contents(At({"ipod", "c", "b", "x"})), "x");
  EXPECT_FALSE(env_.Exists(At({"ipod", "a"})));
  EXPECT_FALSE(env_.RenameFile(At({"ipod", "c"}), At({"ipod", "c", "b", "y"})).ok());
  ASSERT_TRUE(env_.AddFolder(At({"ipod", "d"})).ok());
  const MemoryEnv::Snapshot before = env_.TakeSnapshot();
  EXPECT_FALSE(env_.RenameFile(At({"ipod", "c"}), At({"ipod", "d"})).ok());
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(MemoryEnvTest, EraseActsLikeAnotherProgram) {
  ASSERT_TRUE(env_.AddFile(At({"ipod", "Music", "F00", "A.mp3"}), "12345").ok());
  ASSERT_TRUE(env_.AddFile(At({"ipod", "iTunesDB"}), "db").ok());
  EXPECT_EQ(env_.UsedBytes(), 7u);
  env_.Erase(At({"ipod", "Music"}));
  EXPECT_EQ(env_.Paths(), (std::vector<std::string>{At({"ipod"}), db_}));
  EXPECT_EQ(env_.UsedBytes(), 2u);
  env_.Erase(At({"ipod", "nothing"}));
  env_.Erase(kSep);
  EXPECT_TRUE(env_.Paths().empty());
  EXPECT_EQ(env_.UsedBytes(), 0u);
}

// ---- Faults ----

TEST_F(MemoryEnvTest, FailNthAppendFailsThatAppendAloneAndWritesNothing) {
  auto file = Open(db_);
  env_.FailNthAppend(3);
  EXPECT_TRUE(file->Append("1").ok());
  EXPECT_TRUE(file->Append("2").ok());
  const Status failed = file->Append("3");
  EXPECT_EQ(failed.code(), Status::Code::kIOError);
  EXPECT_NE(failed.message().find("iTunesDB"), std::string::npos);
  EXPECT_TRUE(file->Append("4").ok());
  EXPECT_EQ(env_.Contents(db_), "124");
  EXPECT_EQ(env_.Calls(Op::kAppend), 4);
}

TEST_F(MemoryEnvTest, FaultsForOnePathCountOnlyThatPath) {
  auto a = Open(db_);
  auto b = Open(tmp_);
  env_.FailNth(Op::kAppend, 2, tmp_);
  EXPECT_TRUE(a->Append("a").ok());
  EXPECT_TRUE(b->Append("b").ok());
  EXPECT_TRUE(a->Append("a").ok());
  EXPECT_FALSE(b->Append("b").ok());
  EXPECT_TRUE(b->Append("b").ok());

  ASSERT_TRUE(env_.AddFile(At({"ipod", "x"}), "x").ok());
  ASSERT_TRUE(env_.AddFile(At({"ipod", "y"}), "y").ok());
  env_.FailRemove(At({"ipod", "x"}));
  EXPECT_FALSE(env_.RemoveFile(At({"ipod", "x"})).ok());
  EXPECT_FALSE(env_.RemoveFile(At({"ipod", "x"})).ok());  // every time
  EXPECT_TRUE(env_.RemoveFile(At({"ipod", "y"})).ok());
  EXPECT_EQ(env_.Contents(At({"ipod", "x"})), "x");
  env_.ClearFaults(Op::kRemove);
  EXPECT_TRUE(env_.RemoveFile(At({"ipod", "x"})).ok());
}

TEST_F(MemoryEnvTest, FailedSyncKeepsBytesOnlyUntilACrash) {
  auto file = Open(db_);
  ASSERT_TRUE(file->Append("data").ok());
  env_.FailSync(true);
  EXPECT_FALSE(file->Sync().ok());
  EXPECT_EQ(env_.Contents(db_), "data");
  env_.SimulateCrash();
  EXPECT_EQ(env_.Contents(db_), "");
  env_.FailSync(false);
  EXPECT_EQ(env_.Calls(Op::kSync), 1);
}

TEST_F(MemoryEnvTest, FailedRenameChangesNothing) {
  ASSERT_TRUE(env_.AddFile(db_, "old").ok());
  ASSERT_TRUE(env_.AddFile(tmp_, "new").ok());
  const MemoryEnv::Snapshot before = env_.TakeSnapshot();
  env_.FailRename(true);
  EXPECT_FALSE(env_.RenameFile(tmp_, db_).ok());
  EXPECT_EQ(env_.TakeSnapshot(), before);
  env_.FailRename(false);

  // The second rename of a replace-with-backup fails.
  const std::string backup = At({"ipod", "iTunesDB.bak"});
  env_.FailNth(Op::kRename, 2);
  EXPECT_TRUE(env_.RenameFile(db_, backup).ok());
  EXPECT_FALSE(env_.RenameFile(tmp_, db_).ok());
  EXPECT_EQ(env_.Contents(backup), "old");
  EXPECT_EQ(env_.Contents(tmp_), "new");
  EXPECT_FALSE(env_.Exists(db_));
  EXPECT_TRUE(env_.RenameFile(tmp_, db_).ok());
  EXPECT_EQ(env_.Calls(Op::kRename), 4);
}

TEST_F(MemoryEnvTest, FailCopyAfterLeavesThePartialTarget) {
  std::string song(1000, '\0');
  for (size_t i = 0; i < song.size(); ++i) song[i] = static_cast<char>(i);
  const std::string from = At({"song.mp3"});
  const std::string to = At({"ipod", "ABCD.mp3"});
  ASSERT_TRUE(env_.AddFile(from, song).ok());
  env_.FailCopyAfter(300);
  EXPECT_EQ(env_.CopyFileTo(from, to).code(), Status::Code::kIOError);
  EXPECT_EQ(env_.Contents(to), song.substr(0, 300));
  EXPECT_EQ(env_.UsedBytes(), 1300u);
  EXPECT_TRUE(env_.CopyFileTo(from, to).ok());  // once only
  EXPECT_EQ(env_.Contents(to), song);

  // Past the end: all bytes written, the copy fails all the same. And the n-th copy.
  env_.FailCopyAfter(5000, 2);
  EXPECT_TRUE(env_.CopyFileTo(from, to).ok());
  EXPECT_FALSE(env_.CopyFileTo(from, to).ok());
  EXPECT_EQ(env_.Contents(to), song);

  // A fault at the start touches nothing.
  const std::string other = At({"ipod", "EFGH.mp3"});
  env_.Fail(Op::kCopy, other);
  EXPECT_FALSE(env_.CopyFileTo(from, other).ok());
  EXPECT_FALSE(env_.Exists(other));
  EXPECT_TRUE(env_.CopyFileTo(from, to).ok());
}

TEST_F(MemoryEnvTest, FailedCreateOrReadLeavesTheFile) {
  ASSERT_TRUE(env_.AddFile(db_, "old").ok());
  env_.FailNewWritableFile(db_);
  std::unique_ptr<WritableFile> file;
  EXPECT_FALSE(env_.NewWritableFile(db_, false, &file).ok());
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(env_.Contents(db_), "old");
  EXPECT_TRUE(Write(tmp_, "other").ok());

  env_.FailReadFile(db_);
  std::string contents;
  EXPECT_FALSE(env_.ReadFile(db_, &contents).ok());
  EXPECT_TRUE(env_.ReadFile(tmp_, &contents).ok());
  EXPECT_EQ(contents, "other");

  env_.FailFreeBytes(true);
  uint64_t free_bytes = 0;
  EXPECT_FALSE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  env_.ClearAllFaults();
  EXPECT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_TRUE(env_.ReadFile(db_, &contents).ok());
  EXPECT_TRUE(Write(db_, "new").ok());
}

TEST_F(MemoryEnvTest, CountsEveryCallFailedOrNot) {
  ASSERT_TRUE(env_.AddFile(db_, "x").ok());  // set-up is not counted
  std::string contents;
  EXPECT_TRUE(env_.ReadFile(db_, &contents).ok());
  EXPECT_FALSE(env_.ReadFile(tmp_, &contents).ok());
  EXPECT_FALSE(env_.RemoveFile(tmp_).ok());
  EXPECT_EQ(env_.Calls(Op::kReadFile), 2);
  EXPECT_EQ(env_.Calls(Op::kRemove), 1);
  EXPECT_EQ(env_.Calls(Op::kAppend), 0);
  env_.ResetCounts();
  EXPECT_EQ(env_.Calls(Op::kReadFile), 0);
}

// ---- Room ----

TEST_F(MemoryEnvTest, AppendThatDoesNotFitWritesNothing) {
  env_.SetCapacity(10);
  auto file = Open(db_);
  ASSERT_TRUE(file->Append("123456").ok());
  EXPECT_TRUE(file->Append("78901").IsNoSpace());
  EXPECT_EQ(env_.Contents(db_), "123456");
  uint64_t free_bytes = 0;
  ASSERT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 4u);
  EXPECT_TRUE(file->Append("7890").ok());
  ASSERT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 0u);
  file.reset();

  // Replacing, renaming over and removing give the room back.
  ASSERT_TRUE(Write(db_, "12").ok());
  EXPECT_EQ(env_.UsedBytes(), 2u);
  ASSERT_TRUE(Write(tmp_, "1").ok());
  ASSERT_TRUE(env_.RenameFile(tmp_, db_).ok());
  EXPECT_EQ(env_.UsedBytes(), 1u);
  ASSERT_TRUE(env_.RemoveFile(db_).ok());
  EXPECT_EQ(env_.UsedBytes(), 0u);
}

TEST_F(MemoryEnvTest, CopyWritesWhatFits) {
  ASSERT_TRUE(env_.AddFile(At({"song.mp3"}), std::string(100, 's')).ok());
  env_.SetCapacity(150);
  const Status s = env_.CopyFileTo(At({"song.mp3"}), At({"ipod", "A.mp3"}));
  EXPECT_TRUE(s.IsNoSpace()) << s.ToString();
  EXPECT_EQ(env_.Contents(At({"ipod", "A.mp3"})), std::string(50, 's'));
  env_.SetCapacity(std::nullopt);
  EXPECT_TRUE(env_.CopyFileTo(At({"song.mp3"}), At({"ipod", "A.mp3"})).ok());
}

TEST_F(MemoryEnvTest, FreeBytesAnswer) {
  ASSERT_TRUE(env_.AddFile(db_, "12345").ok());
  uint64_t free_bytes = 0;
  ASSERT_TRUE(env_.FreeBytes(db_, &free_bytes).ok());
  EXPECT_EQ(free_bytes, MemoryEnv::kDefaultFreeBytes - 5);
  // A set answer holds whatever the room really is, and the room is still enforced.
  env_.SetCapacity(8);
  env_.SetFreeBytes(1'000'000);
  ASSERT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 1'000'000u);
  EXPECT_TRUE(Write(tmp_, "1234").IsNoSpace());
  env_.SetFreeBytes(0);
  ASSERT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 0u);
  EXPECT_TRUE(Write(tmp_, "123").ok());
  env_.SetFreeBytes(std::nullopt);
  ASSERT_TRUE(env_.FreeBytes(At({"ipod"}), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 0u);
}

// ---- Opens without sharing ----

TEST_F(MemoryEnvTest, AFileBeingWrittenCannotBeOpenedElsewhere) {
  ASSERT_TRUE(env_.AddFile(tmp_, "x").ok());
  auto file = Open(db_);
  EXPECT_EQ(env_.OpenFileCount(), 1);
  std::string contents;
  std::unique_ptr<WritableFile> second;
  for (const Status& s :
       {env_.ReadFile(db_, &contents), env_.ProbeFile(db_, true), env_.ProbeFile(db_, false),
        env_.CopyFileTo(db_, At({"c"})), env_.CopyFileTo(tmp_, db_),
        env_.RenameFile(db_, At({"r"})), env_.RenameFile(tmp_, db_), env_.RemoveFile(db_),
        env_.NewWritableFile(db_, false, &second)}) {
    EXPECT_EQ(s.code(), Status::Code::kBusy) << s.ToString();
  }
  EXPECT_EQ(env_.KindOf(db_), PathKind::kFile);
  uint64_t size = 1;
  EXPECT_TRUE(env_.FileSize(db_, &size).ok());
  EXPECT_EQ(size, 0u);
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(env_.OpenFileCount(), 0);
  EXPECT_TRUE(env_.ReadFile(db_, &contents).ok());
  EXPECT_TRUE(env_.RenameFile(tmp_, db_).ok());
}

TEST_F(MemoryEnvTest, HoldExclusiveBlocksEveryOpen) {
  ASSERT_TRUE(env_.AddFile(db_, "db").ok());
  ASSERT_TRUE(env_.AddFile(tmp_, "tmp").ok());
  env_.HoldExclusive(db_);
  std::string contents;
  std::unique_ptr<WritableFile> file;
  for (const Status& s :
       {env_.ReadFile(db_, &contents), env_.ProbeFile(db_, true), env_.ProbeFile(db_, false),
        env_.CopyFileTo(db_, At({"c"})), env_.CopyFileTo(tmp_, db_), env_.RenameFile(tmp_, db_),
        env_.RemoveFile(db_), env_.NewWritableFile(db_, false, &file)}) {
    EXPECT_EQ(s.code(), Status::Code::kBusy) << s.ToString();
  }
  EXPECT_EQ(env_.Contents(db_), "db");
  env_.Release(db_);
  EXPECT_TRUE(env_.ProbeFile(db_, false).ok());
}

TEST_F(MemoryEnvTest, HoldSharedReadLetsOnlySharingReadersIn) {
  const std::string track = At({"ipod", "playing.mp3"});
  ASSERT_TRUE(env_.AddFile(track, "music").ok());
  env_.HoldSharedRead(track);
  EXPECT_TRUE(env_.ProbeFile(track, true).ok());
  EXPECT_TRUE(env_.CopyFileTo(track, At({"ipod", "copy.mp3"})).ok());
  std::string contents;
  std::unique_ptr<WritableFile> file;
  for (const Status& s :
       {env_.ProbeFile(track, false), env_.ReadFile(track, &contents), env_.RemoveFile(track),
        env_.RenameFile(track, At({"ipod", "r"})), env_.NewWritableFile(track, false, &file),
        env_.CopyFileTo(At({"ipod", "copy.mp3"}), track)}) {
    EXPECT_EQ(s.code(), Status::Code::kBusy) << s.ToString();
  }
  // A busy file is there: it must not look absent.
  EXPECT_FALSE(env_.ProbeFile(track, false).IsNotFound());
  env_.Release(track);
  EXPECT_TRUE(env_.ReadFile(track, &contents).ok());
}

// ---- Power loss ----

TEST_F(MemoryEnvTest, CrashKeepsOnlySyncedBytes) {
  ASSERT_TRUE(env_.AddFile(At({"song.mp3"}), "song").ok());
  ASSERT_TRUE(env_.CopyFileTo(At({"song.mp3"}), At({"ipod", "A.mp3"})).ok());
  auto file = Open(db_);
  ASSERT_TRUE(file->Append("abc").ok());
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Append("def").ok());
  env_.SimulateCrash();
  EXPECT_EQ(env_.Contents(db_), "abc");
  EXPECT_EQ(env_.Contents(At({"ipod", "A.mp3"})), "");  // copies are not synced
  EXPECT_EQ(env_.Contents(At({"song.mp3"})), "song");   // set-up is durable
  EXPECT_EQ(env_.UsedBytes(), 7u);
  // The writer died with the program.
  EXPECT_FALSE(file->Append("x").ok());
  EXPECT_TRUE(Write(db_, "after").ok());
  file.reset();
  EXPECT_EQ(env_.Contents(db_), "after");
  EXPECT_EQ(env_.OpenFileCount(), 0);
}

TEST_F(MemoryEnvTest, CrashReleasesLocksForGood) {
  const std::string path = At({"ipod", "lock"});
  std::unique_ptr<FileLock> stale;
  ASSERT_TRUE(env_.LockFile(path, &stale).ok());
  env_.SimulateCrash();
  std::unique_ptr<FileLock> fresh;
  ASSERT_TRUE(env_.LockFile(path, &fresh).ok());
  stale.reset();  // must not free the new holder's lock

  std::atomic<bool> third_holds{false};
  std::thread third([&] {
    std::unique_ptr<FileLock> lock;
    EXPECT_TRUE(env_.LockFile(path, &lock).ok());
    third_holds = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(third_holds.load());
  fresh.reset();
  third.join();
  EXPECT_TRUE(third_holds.load());
}

// ---- The rest ----

TEST_F(MemoryEnvTest, ClockAndHiddenFiles) {
  EXPECT_EQ(env_.NowSeconds(), MemoryEnv::kDefaultNow);
  env_.SetNow(42);
  EXPECT_EQ(env_.NowSeconds(), 42u);

  const std::string auto_sync = At({"ipod", "autoSync"});
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env_.NewWritableFile(auto_sync, true, &file).ok());
  file.reset();
  EXPECT_TRUE(env_.IsHidden(auto_sync));
  ASSERT_TRUE(Write(auto_sync, "plain").ok());
  EXPECT_FALSE(env_.IsHidden(auto_sync));
}

TEST_F(MemoryEnvTest, ThreadsShareOneVolumeSafely) {
  constexpr int kThreads = 4;
  constexpr int kAppends = 200;
  int counter = 0;  // guarded by the env's lock file only
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::unique_ptr<WritableFile> file;
      ASSERT_TRUE(env_.NewWritableFile(At({"ipod", "f" + std::to_string(t)}), false, &file).ok());
      for (int i = 0; i < kAppends; ++i) {
        ASSERT_TRUE(file->Append("0123456789").ok());
        std::unique_ptr<FileLock> lock;
        ASSERT_TRUE(env_.LockFile(At({"ipod", "lock"}), &lock).ok());
        const int seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, kThreads * kAppends);
  EXPECT_EQ(env_.UsedBytes(), uint64_t{kThreads} * kAppends * 10);
  EXPECT_EQ(env_.Calls(Op::kAppend), kThreads * kAppends);
  EXPECT_EQ(env_.OpenFileCount(), 0);
}

}  // namespace
}  // namespace tunewell
