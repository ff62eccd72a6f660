#include "sync/auto_sync_file.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_env.h"

namespace tunewell {
namespace {

using Result = AutoSyncFile::ReadResult;

constexpr char kRoot[] = "/ipod/";
constexpr char kPath[] = "/ipod/autoSync";

class AutoSyncFileTest : public ::testing::Test {
 protected:
  AutoSyncFileTest() { env_.AddFolder("/ipod").IgnoreError(); }

  // Reads `bytes` back as names, through CountNames and NextName as a request does.
  std::vector<std::string> ReadBack(std::string_view bytes, int* count = nullptr) {
    env_.AddFile(kPath, bytes).IgnoreError();
    AutoSyncFile file(env_);
    EXPECT_EQ(file.Read(kRoot), bytes.empty() ? Result::kEmpty : Result::kNames);
    if (count != nullptr) *count = file.CountNames();
    std::vector<std::string> names;
    std::string name;
    size_t cursor = 0;
    for (int i = file.CountNames(); i > 0; --i) {
      if (!file.NextName(&name, &cursor)) break;
      EXPECT_LE(cursor, file.data().size());
      names.push_back(name);
    }
    EXPECT_FALSE(file.NextName(&name, &cursor));
    return names;
  }

  MemoryEnv env_;
};

TEST_F(AutoSyncFileTest, RecordsAreNameZeroLineFeed) {
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {"Road Trip", "Pop"}).ok());
  EXPECT_EQ(*env_.Contents(kPath), std::string("Road Trip\0\nPop\0\n", 16));
  EXPECT_TRUE(env_.IsHidden(kPath));
  EXPECT_FALSE(env_.Exists("/ipod/autoSync.tmp"));

  AutoSyncFile file(env_);
  ASSERT_EQ(file.Read("/ipod"), Result::kNames);
  EXPECT_EQ(file.CountNames(), 2);
  EXPECT_EQ(file.Names(), (std::vector<std::string>{"Road Trip", "Pop"}));
}

TEST_F(AutoSyncFileTest, EmptySelectionAndEmptyName) {
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {}).ok());
  EXPECT_EQ(*env_.Contents(kPath), "");
  AutoSyncFile file(env_);
  EXPECT_EQ(file.Read(kRoot), Result::kEmpty);
  EXPECT_EQ(file.CountNames(), 0);

  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {""}).ok());
  EXPECT_EQ(*env_.Contents(kPath), std::string("\0\n", 2));
  EXPECT_EQ(ReadBack(std::string("\0\n", 2)), (std::vector<std::string>{""}));
}

TEST_F(AutoSyncFileTest, AbsentOrUnreadableCountsAsAbsent) {
  AutoSyncFile file(env_);
  EXPECT_EQ(file.Read(kRoot), Result::kAbsent);
  env_.AddFile(kPath, std::string("A\0\n", 3)).IgnoreError();
  env_.HoldExclusive(kPath);
  EXPECT_EQ(file.Read(kRoot), Result::kAbsent);
  EXPECT_EQ(file.CountNames(), 0);
}

TEST_F(AutoSyncFileTest, DamagedFilesNeverRunPastTheData) {
  // No line feeds: every name keeps its first byte.
  EXPECT_EQ(ReadBack(std::string("Rock\0Jazz\0", 10)), (std::vector<std::string>{"Rock", "Jazz"}));
  // The last record without its line feed.
  EXPECT_EQ(ReadBack(std::string("Rock\0\nJazz\0", 11)),
            (std::vector<std::string>{"Rock", "Jazz"}));
  // A last name cut short: no record, so no partial name that could match another playlist.
  int count = 0;
  EXPECT_EQ(ReadBack(std::string("Rock\0\nRock Cla", 14), &count),
            (std::vector<std::string>{"Rock"}));
  EXPECT_EQ(count, 1);
  // Nothing but a name.
  EXPECT_TRUE(ReadBack("Rock").empty());
  // Line feeds only.
  EXPECT_TRUE(ReadBack("\n\n\n").empty());
  // Zero bytes only: empty names.
  EXPECT_EQ(ReadBack(std::string("\0\0", 2)), (std::vector<std::string>{"", ""}));
}

TEST_F(AutoSyncFileTest, LongNamesAreCutAndTheNextNameIsIntact) {
  const std::string long_name(300, 'x');
  const std::vector<std::string> names = ReadBack(long_name + '\0' + '\n' + "Next" + '\0' + '\n');
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], std::string(kMaxAutoSyncNameBytes, 'x'));
  EXPECT_EQ(names[1], "Next");

  // The writer stores a name as the reader will see it.
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {long_name, std::string("a\0b", 3)}).ok());
  AutoSyncFile file(env_);
  file.Read(kRoot);
  EXPECT_EQ(file.Names(), (std::vector<std::string>{std::string(259, 'x'), "a"}));
}

TEST_F(AutoSyncFileTest, FailedWriteKeepsThePreviousSelection) {
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {"Old"}).ok());
  const std::string before = *env_.Contents(kPath);

  env_.FailRename(true);
  EXPECT_FALSE(WriteAutoSyncSelection(env_, kRoot, {"New"}).ok());
  env_.FailRename(false);
  env_.FailNthAppend(1);
  EXPECT_FALSE(WriteAutoSyncSelection(env_, kRoot, {"New"}).ok());

  EXPECT_EQ(*env_.Contents(kPath), before);
  EXPECT_FALSE(env_.Exists("/ipod/autoSync.tmp"));
  EXPECT_EQ(env_.OpenFileCount(), 0);

  // Written only at Close; nothing before Create.
  AutoSyncFile file(env_);
  file.WriteName("Ignored");
  EXPECT_TRUE(file.Close().ok());
  file.Create(kRoot);
  file.WriteName("Later");
  EXPECT_EQ(*env_.Contents(kPath), before);
  ASSERT_TRUE(file.Close().ok());
  EXPECT_EQ(*env_.Contents(kPath), std::string("Later\0\n", 7));
}

TEST_F(AutoSyncFileTest, DeleteTakesMissingCalmly) {
  AutoSyncFile file(env_);
  EXPECT_TRUE(file.Delete(kRoot).ok());
  ASSERT_TRUE(WriteAutoSyncSelection(env_, kRoot, {"A"}).ok());
  EXPECT_TRUE(file.Delete(kRoot).ok());
  EXPECT_FALSE(env_.Exists(kPath));
  EXPECT_EQ(file.Read(kRoot), Result::kAbsent);
}

}  // namespace
}  // namespace tunewell
