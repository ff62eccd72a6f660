// The in-memory Env's fault switch, on which every fault-injection test stands: a fault that did
// not fire, or fired and still changed something, would let those tests pass for nothing.
#include "platform/memory/memory_env.h"

#include <gtest/gtest.h>

#include <functional>

namespace tunewell {
namespace {

using Op = MemoryEnv::Op;
constexpr char kDb[] = "/ipod/iTunesDB", kTmp[] = "/ipod/iTunesDB.tmp", kSong[] = "/music/song.mp3";

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
  std::unique_ptr<WritableFile> f;
  const struct {
    const char* name;
    std::function<void(MemoryEnv&)> arm;
    std::function<Status(MemoryEnv&)> call;
    const char* tmp;  // what a file it created holds: kept until a crash, which empties it
  } faults[] = {
      {"append on its path", [](MemoryEnv& e) { e.FailNth(Op::kAppend, 1, kTmp); }, WriteTmp, ""},
      {"sync", [](MemoryEnv& e) { e.FailSync(true); }, WriteTmp, "new"},
      {"room", [](MemoryEnv& e) { e.SetCapacity(14); }, WriteTmp, ""},
      {"create", [](MemoryEnv& e) { e.FailNewWritableFile(kDb); },
       [&](MemoryEnv& e) { return e.NewWritableFile(kDb, false, &f); }, nullptr},
      {"rename", [](MemoryEnv& e) { e.FailRename(true); },
       [](MemoryEnv& e) { return e.RenameFile(kDb, kTmp); }, nullptr},
      {"remove", [](MemoryEnv& e) { e.FailRemove(kDb); },
       [](MemoryEnv& e) { return e.RemoveFile(kDb); }, nullptr},
      {"read", [](MemoryEnv& e) { e.FailReadFile(kDb); },
       [&](MemoryEnv& e) { return e.ReadFile(kDb, &out); }, nullptr},
      {"free bytes", [](MemoryEnv& e) { e.FailFreeBytes(true); },
       [&](MemoryEnv& e) { return e.FreeBytes(kDb, &n); }, nullptr},
      {"copy", [](MemoryEnv& e) { e.Fail(Op::kCopy, kTmp); },
       [](MemoryEnv& e) { return e.CopyFileTo(kSong, kTmp); }, nullptr},
      {"held open elsewhere", [](MemoryEnv& e) { e.HoldExclusive(kDb); },
       [&](MemoryEnv& e) { return e.ReadFile(kDb, &out); }, nullptr},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(kDb, "old").ok());
    ASSERT_TRUE(env.AddFile(kSong, "0123456789").ok());
    const MemoryEnv::Snapshot before = env.TakeSnapshot();
    fault.arm(env);
    const Status s = fault.call(env);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("/"), std::string::npos) << "names the path: " << s.ToString();
    if (fault.tmp != nullptr) {
      EXPECT_EQ(env.Contents(kTmp), fault.tmp);
      env.SimulateCrash();
      EXPECT_EQ(env.Contents(kTmp), "");
      env.Erase(kTmp);
    }
    EXPECT_EQ(env.TakeSnapshot(), before) << s.ToString();
  }
}

// Nth counts only matching calls, failed ones too, and fires once; a full or failed copy stops
// part way; a crash keeps only synced bytes (set-up is durable, copies are not synced).
TEST(MemoryEnvFaultTest, CountsPartialCopiesAndCrashes) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile(kSong, std::string(100, 's')).ok());
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
  EXPECT_EQ(env.Calls(Op::kAppend), 4);
  ASSERT_TRUE(tmp->Sync().ok());
  ASSERT_TRUE(tmp->Append("4").ok());

  env.FailCopyAfter(30);
  EXPECT_EQ(env.CopyFileTo(kSong, "/ipod/A.mp3").code(), Status::Code::kIOError);
  EXPECT_EQ(env.Contents("/ipod/A.mp3"), std::string(30, 's'));
  EXPECT_TRUE(env.CopyFileTo(kSong, "/ipod/A.mp3").ok());
  env.SetCapacity(254);  // room for 50 more bytes; an append that does not fit writes nothing
  EXPECT_TRUE(env.CopyFileTo(kSong, "/ipod/B.mp3").IsNoSpace());
  EXPECT_EQ(env.Contents("/ipod/B.mp3"), std::string(50, 's'));
  EXPECT_TRUE(db->Append(std::string(51, 'x')).IsNoSpace());
  EXPECT_EQ(env.Contents(kDb), "x");

  env.SimulateCrash();
  EXPECT_EQ(env.Contents(kTmp), "13");
  EXPECT_EQ(env.Contents(kDb), "");
  EXPECT_EQ(env.Contents("/ipod/A.mp3"), "");
  EXPECT_EQ(env.Contents(kSong), std::string(100, 's'));
  EXPECT_FALSE(tmp->Append("x").ok());  // the writer died with the program
}

}  // namespace
}  // namespace tunewell
