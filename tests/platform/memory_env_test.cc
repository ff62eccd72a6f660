// The in-memory Env's fault switch, on which every fault-injection test stands: a fault that did
// not fire, or fired and still changed something, would let those tests pass for nothing. Its
// Env behaviours are in env_contract_test.cc.
#include "platform/memory/memory_env.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tunewell {
namespace {

using Op = MemoryEnv::Op;

constexpr char kDb[] = "/ipod/iTunesDB";
constexpr char kTmp[] = "/ipod/iTunesDB.tmp";
constexpr char kSong[] = "/music/song.mp3";

struct Fault {
  const char* name;
  std::function<void(MemoryEnv&)> arm;
  std::function<Status(MemoryEnv&)> call;  // must fail, changing nothing
  // What the file it created holds, if it created one: kept until a crash, which finds it empty.
  const char* tmp = nullptr;
};

Status WriteTmp(MemoryEnv& env) {
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(kTmp, false, &file));
  RETURN_IF_ERROR(file->Append("new"));
  RETURN_IF_ERROR(file->Sync());
  return file->Close();
}

TEST(MemoryEnvFaultTest, EachFaultFailsItsCallAndChangesNothing) {
  std::string out;
  uint64_t n = 0;
  const Fault faults[] = {
      {"nth append", [](MemoryEnv& e) { e.FailNthAppend(1); }, WriteTmp, ""},
      {"append on its path", [](MemoryEnv& e) { e.FailNth(Op::kAppend, 1, kTmp); }, WriteTmp, ""},
      {"sync", [](MemoryEnv& e) { e.FailSync(true); }, WriteTmp, "new"},
      {"create", [](MemoryEnv& e) { e.FailNewWritableFile(kDb); },
       [](MemoryEnv& e) {
         std::unique_ptr<WritableFile> f;
         return e.NewWritableFile(kDb, false, &f);
       }},
      {"rename", [](MemoryEnv& e) { e.FailRename(true); },
       [](MemoryEnv& e) { return e.RenameFile(kDb, kTmp); }},
      {"nth rename", [](MemoryEnv& e) { e.FailNth(Op::kRename, 1); },
       [](MemoryEnv& e) { return e.RenameFile(kDb, kTmp); }},
      {"remove", [](MemoryEnv& e) { e.FailRemove(kDb); },
       [](MemoryEnv& e) { return e.RemoveFile(kDb); }},
      {"read", [](MemoryEnv& e) { e.FailReadFile(kDb); },
       [&](MemoryEnv& e) { return e.ReadFile(kDb, &out); }},
      {"free bytes", [](MemoryEnv& e) { e.FailFreeBytes(true); },
       [&](MemoryEnv& e) { return e.FreeBytes(kDb, &n); }},
      {"copy", [](MemoryEnv& e) { e.Fail(Op::kCopy, kTmp); },
       [](MemoryEnv& e) { return e.CopyFileTo(kSong, kTmp); }},
      {"room", [](MemoryEnv& e) { e.SetCapacity(14); }, WriteTmp, ""},
      {"held open elsewhere", [](MemoryEnv& e) { e.HoldExclusive(kDb); },
       [&](MemoryEnv& e) { return e.ReadFile(kDb, &out); }},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(kDb, "old").ok());
    ASSERT_TRUE(env.AddFile(kSong, "0123456789").ok());
    const MemoryEnv::Snapshot before = env.TakeSnapshot();
    f.arm(env);
    const Status s = f.call(env);
    EXPECT_FALSE(s.ok());
    if (f.tmp != nullptr) {
      EXPECT_EQ(env.Contents(kTmp), f.tmp);
      env.SimulateCrash();
      EXPECT_EQ(env.Contents(kTmp), "");
      env.Erase(kTmp);
    }
    EXPECT_EQ(env.TakeSnapshot(), before) << s.ToString();
    EXPECT_NE(s.message().find("/"), std::string::npos) << "names the path: " << s.ToString();
  }
}

TEST(MemoryEnvFaultTest, NthCountsOnlyMatchingCallsAndFiresOnce) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFolder("/ipod").ok());
  std::unique_ptr<WritableFile> db, tmp;
  ASSERT_TRUE(env.NewWritableFile(kDb, false, &db).ok());
  ASSERT_TRUE(env.NewWritableFile(kTmp, false, &tmp).ok());
  env.FailNth(Op::kAppend, 2, kTmp);
  EXPECT_TRUE(tmp->Append("1").ok());
  EXPECT_TRUE(db->Append("x").ok());
  EXPECT_EQ(tmp->Append("2").code(), Status::Code::kIOError);
  EXPECT_TRUE(tmp->Append("3").ok());
  EXPECT_EQ(env.Contents(kTmp), "13");
  EXPECT_EQ(env.Calls(Op::kAppend), 4);  // failed calls count too

  // A path fault holds until cleared.
  env.FailRemove(kDb);
  EXPECT_FALSE(env.RemoveFile(kDb).ok());
  EXPECT_FALSE(env.RemoveFile(kDb).ok());
  env.ClearFaults(Op::kRemove);
  db.reset();
  EXPECT_TRUE(env.RemoveFile(kDb).ok());
}

// The partial target a failed or full copy leaves is what the copy tests clean up after.
TEST(MemoryEnvFaultTest, CopiesStopPartWay) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFolder("/ipod").ok());
  ASSERT_TRUE(env.AddFile(kSong, std::string(100, 's')).ok());
  env.FailCopyAfter(30);
  EXPECT_EQ(env.CopyFileTo(kSong, kTmp).code(), Status::Code::kIOError);
  EXPECT_EQ(env.Contents(kTmp), std::string(30, 's'));
  EXPECT_TRUE(env.CopyFileTo(kSong, kTmp).ok());  // once only

  env.SetCapacity(250);  // room for 50 more bytes
  EXPECT_TRUE(env.CopyFileTo(kSong, kDb).IsNoSpace());
  EXPECT_EQ(env.Contents(kDb), std::string(50, 's'));
  // An append that does not fit writes nothing; the room answered can be set apart from it.
  env.SetFreeBytes(1'000'000);
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env.NewWritableFile(kDb, false, &file).ok());
  EXPECT_TRUE(file->Append(std::string(51, 'x')).IsNoSpace());
  EXPECT_EQ(env.Contents(kDb), "");
  uint64_t free_bytes = 0;
  ASSERT_TRUE(env.FreeBytes(kDb, &free_bytes).ok());
  EXPECT_EQ(free_bytes, 1'000'000u);
}

TEST(MemoryEnvFaultTest, CrashKeepsOnlySyncedBytes) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFolder("/ipod").ok());
  ASSERT_TRUE(env.AddFile(kSong, "song").ok());
  ASSERT_TRUE(env.CopyFileTo(kSong, "/ipod/A.mp3").ok());
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env.NewWritableFile(kDb, false, &file).ok());
  ASSERT_TRUE(file->Append("abc").ok());
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Append("def").ok());
  env.SimulateCrash();
  EXPECT_EQ(env.Contents(kDb), "abc");
  EXPECT_EQ(env.Contents("/ipod/A.mp3"), "");  // copies are not synced
  EXPECT_EQ(env.Contents(kSong), "song");      // set-up is durable
  EXPECT_FALSE(file->Append("x").ok());        // the writer died with the program
}

}  // namespace
}  // namespace tunewell
