// The auto-sync file: written and read back, damaged, absent or held.

#include "sync/auto_sync_file.h"

#include "tests/sync/sync_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers
using Names = std::vector<std::string>;
using Result = AutoSyncFile::ReadResult;
constexpr char kAutoSync[] = "/ipod/autoSync";

// Reads `bytes` back through CountNames and NextName, as a request does.
Names ReadBack(MemoryEnv& env, std::string_view bytes) {
  EXPECT_TRUE(env.AddFile(kAutoSync, bytes).ok());
  AutoSyncFile file(env);
  EXPECT_EQ(file.Read(kIPodRoot), bytes.empty() ? Result::kEmpty : Result::kNames);
  Names names;
  std::string name;
  size_t cursor = 0;
  for (int i = file.CountNames(); i > 0 && file.NextName(&name, &cursor); --i) {
    EXPECT_LE(cursor, file.data().size());
    names.push_back(name);
  }
  EXPECT_FALSE(file.NextName(&name, &cursor));
  EXPECT_EQ(file.Names(), names);
  return names;
}

// Written as name, zero, line feed, hidden; read back alike, and never past the data when it
// is damaged (no selection written).
TEST(AutoSyncFileTest, WrittenAndReadBackAlikeAndDamagedFilesNeverRunPastTheData) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFolder("/ipod").ok());
  const std::string long_name(300, 'x');
  const struct {
    std::optional<Names> selection;
    std::string bytes;
    Names read;
  } cases[] = {
      {Names{"Road Trip", "Pop"}, std::string("Road Trip\0\nPop\0\n", 16), {"Road Trip", "Pop"}},
      {Names{}, "", {}},
      {Names{""}, std::string("\0\n", 2), {""}},
      // A name is stored as the reader will see it: cut to 259 bytes, or at a zero byte.
      {Names{long_name, std::string("a\0b", 3)},
       std::string(259, 'x') + '\0' + '\n' + "a" + '\0' + '\n',
       {std::string(259, 'x'), "a"}},
      {{}, std::string("Rock\0Jazz\0", 10), {"Rock", "Jazz"}},    // no line feeds
      {{}, std::string("Rock\0\nJazz\0", 11), {"Rock", "Jazz"}},  // the last one without
      // A last name cut short: no partial name that could match another playlist.
      {{}, std::string("Rock\0\nRock Cla", 14), {"Rock"}},
      {{}, "Rock", {}},
      {{}, "\n\n\n", {}},
      {{}, std::string("\0\0", 2), {"", ""}},
      {{}, long_name + '\0' + '\n' + "Next" + '\0' + '\n', {std::string(259, 'x'), "Next"}},
  };
  for (const auto& c : cases) {
    if (c.selection) {
      ASSERT_TRUE(WriteAutoSyncSelection(env, kIPodRoot, *c.selection).ok());
      EXPECT_EQ(env.Contents(kAutoSync), c.bytes);
      EXPECT_TRUE(env.IsHidden(kAutoSync));
    }
    EXPECT_EQ(ReadBack(env, c.bytes), c.read) << c.bytes;
  }
}

TEST(AutoSyncFileTest, AbsentUnreadableOrDeletedCountsAsAbsent) {
  MemoryEnv env;
  AutoSyncFile file(env);
  EXPECT_EQ(file.Read(kIPodRoot), Result::kAbsent);
  EXPECT_TRUE(file.Delete(kIPodRoot).ok());
  ASSERT_TRUE(env.AddFile(kAutoSync, std::string("A\0\n", 3)).ok());
  env.HoldExclusive(kAutoSync);
  EXPECT_EQ(file.Read(kIPodRoot), Result::kAbsent);
  EXPECT_EQ(file.CountNames(), 0);
  env.Release(kAutoSync);
  EXPECT_TRUE(file.Delete(kIPodRoot).ok());
  EXPECT_FALSE(env.Exists(kAutoSync));
}

}  // namespace
}  // namespace tunewell
