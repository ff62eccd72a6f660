// What the init and remove commands refuse changes nothing; their runs are the command line's
// end-to-end tests.

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage/ipod_lock.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

int Quietly(int (*command)(Env&, const std::vector<std::string>&), Env& env,
            std::vector<std::string> args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int code = command(env, args);
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
  return code;
}

TEST(InitCommandTest, NeverReplacesADatabaseNorLeavesAHalfWrittenOne) {
  for (const char* existing : {"iTunesDB", "iTunesSD"}) {
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(std::string("E:/iPod_Control/iTunes/") + existing, "theirs").ok());
    const auto before = env.TakeSnapshot();
    EXPECT_EQ(Quietly(cli::RunInit, env, {"--ipod", "E:/", "--shuffle"}), cli::kExitUnusable);
    EXPECT_EQ(env.TakeSnapshot(), before);
  }
  MemoryEnv failing;
  failing.FailRename(true);
  EXPECT_EQ(Quietly(cli::RunInit, failing, {"--ipod", "E:/"}), cli::kExitUnusable);
  for (const std::string& path : failing.Paths()) EXPECT_EQ(path.find("iTunesDB"), path.npos);
}

// Picked as `list` shows the tracks, picked again once the iPod is free: while another run
// holds it, track 4 is replaced by a new one of the same id. Track 3's file cannot be deleted.
// Mistaken selections change nothing. Artist k%5, album k%3 for track id k+1.
TEST(RemoveCommandTest, RemovesWhatWasShownAndIsStillThere) {
  struct Case {
    std::string args;  // after --ipod, split at '|'
    int exit;
    std::set<uint32_t> left;
  };
  std::vector<Case> cases = {
      {"--artist|Unknown Artist", cli::kExitDone, {2, 3, 4, 5, 7, 8}},
      {"--artist|Artist 2|--album|Unknown Album", cli::kExitIncomplete, {1, 2, 4, 5, 6, 7, 8}},
      {"--id|4|--id|5", cli::kExitIncomplete, {1, 2, 3, 4, 6, 7, 8}}};
  for (const char* usage : {"", "--id|1|--artist|Artist 1", "--album|Album 0", "--id|x", "--id|-1",
                            "--id|99999999999", "--id|1|--id|77", "--artist|artist 1",
                            "--artist|Artist 1|--album|Album 9", "--id|1|stray"}) {
    cases.push_back({usage, cli::kExitUsage, {}});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    MemoryEnv env;
    auto sample = fixture::SampleTracks(8);
    sample[0].artist = sample[5].artist = sample[2].album = u"";
    fixture::IPodTree tree{3, fixture::BuildITunesDb(sample)};
    for (const auto& t : sample) tree.files[Utf16ToUtf8(t.path)] = "audio";
    ASSERT_TRUE(fixture::WriteIPodTree(env, "E:/", tree).ok());
    env.FailRemove("E:/iPod_Control/Music/F02/TRK2.mp3");
    std::vector<std::string> args = {"--ipod", "E:/"};
    std::string rest = c.args;
    for (size_t at = 0; !rest.empty(); rest.erase(0, at == rest.npos ? at : at + 1)) {
      args.push_back(rest.substr(0, at = rest.find('|')));
    }
    std::unique_ptr<FileLock> held;
    ASSERT_TRUE(env.LockFile(IPodLockPath("E:/"), &held).ok());
    const auto before = env.TakeSnapshot();
    auto run = std::async(std::launch::async, [&] { return Quietly(cli::RunRemove, env, args); });
    while (env.Calls(MemoryEnv::Op::kLock) < 2 &&
           run.wait_for(std::chrono::seconds(0)) == std::future_status::timeout)
      std::this_thread::yield();
    if (c.exit == cli::kExitUsage) {
      held.reset();
      EXPECT_EQ(run.get(), c.exit);
      EXPECT_EQ(env.TakeSnapshot(), before);
      continue;
    }
    sample[3].path = u":iPod_Control:Music:F00:NEW4.mp3";
    EXPECT_TRUE(fixture::WriteWholeFile(env, "E:/iPod_Control/iTunes/iTunesDB",
                                        fixture::BuildITunesDb(sample))
                    .ok());
    held.reset();
    EXPECT_EQ(run.get(), c.exit);
    OwnedTracks left;
    EXPECT_TRUE(IPodDatabase(env, "E:/").ReadTrackList(&left).ok());
    std::set<uint32_t> ids;
    for (const auto& t : left) ids.insert(t->trackId);
    EXPECT_EQ(ids, c.left);
  }
}

}  // namespace
}  // namespace tunewell
