// Win32Env against the behaviour the rest of the program relies on and that only Windows has:
// share modes, attributes, replacing renames, locks between handles.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

std::wstring Wide(const std::string& path) {
  const std::u16string wide = NarrowToWide(path);
  return std::wstring(wide.begin(), wide.end());
}

// Another program's handle on `path`.
ScopedHandle OpenAsOtherProgram(const std::string& path, DWORD access, DWORD share) {
  return ScopedHandle(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

class Win32EnvTest : public ::testing::Test {
 protected:
  std::string PathOf(std::string_view name) { return JoinPath(folder_.path(), {name}); }

  void Write(const std::string& path, std::string_view contents, bool hidden = false) {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(env_.NewWritableFile(path, hidden, &file).ok());
    ASSERT_TRUE(file->Append(contents).ok());
    ASSERT_TRUE(file->Close().ok());
  }

  std::string Read(const std::string& path) {
    std::string contents;
    const Status s = env_.ReadFile(path, &contents);
    return s.ok() ? contents : "<" + s.ToString() + ">";
  }

  Env& env_ = Env::Default();
  fixture::TempFolder folder_;
};

TEST_F(Win32EnvTest, ShareModesDecideWhoMayOpenAFileHeldByAnotherProgram) {
  const std::string track = PathOf("track.mp3");
  Write(track, "ID3");

  {
    // A player playing the track: it reads and lets others read.
    ScopedHandle player = OpenAsOtherProgram(track, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(player.valid());
    EXPECT_TRUE(env_.ProbeFile(track, /*share_read=*/true).ok());
    const Status exclusive = env_.ProbeFile(track, /*share_read=*/false);
    EXPECT_EQ(exclusive.code(), Status::Code::kBusy) << exclusive.ToString();
    std::string contents;
    const Status read = env_.ReadFile(track, &contents);
    EXPECT_EQ(read.code(), Status::Code::kBusy) << read.ToString();
    EXPECT_THAT(read.message(), HasSubstr(track));
    EXPECT_TRUE(contents.empty());
  }
  {
    // A program writing it shares nothing: not even a sharing probe gets in.
    ScopedHandle writer = OpenAsOtherProgram(track, GENERIC_WRITE, 0);
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(env_.ProbeFile(track, true).code(), Status::Code::kBusy);
  }
  EXPECT_TRUE(env_.ProbeFile(track, false).ok());
  EXPECT_EQ(Read(track), "ID3");
}

TEST_F(Win32EnvTest, AnOpenWritableFileSharesNothing) {
  const std::string path = PathOf("iTunesDB.tmp");
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env_.NewWritableFile(path, false, &file).ok());
  ASSERT_TRUE(file->Append("abc").ok());
  EXPECT_FALSE(OpenAsOtherProgram(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());
  EXPECT_EQ(env_.ProbeFile(path, true).code(), Status::Code::kBusy);
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_TRUE(file->Close().ok());
  EXPECT_FALSE(file->Append("late").ok());
  EXPECT_EQ(Read(path), "abc");
}

TEST_F(Win32EnvTest, MissingFilesAndFoldersAreNotFoundAndFoldersAreNotFiles) {
  std::string contents;
  EXPECT_TRUE(env_.ReadFile(PathOf("absent"), &contents).IsNotFound());
  EXPECT_TRUE(env_.ReadFile(JoinPath(folder_.path(), {"no", "such"}), &contents).IsNotFound());
  EXPECT_TRUE(env_.ProbeFile(PathOf("absent"), true).IsNotFound());
  EXPECT_TRUE(env_.RemoveFile(PathOf("absent")).IsNotFound());
  EXPECT_TRUE(env_.CopyFileTo(PathOf("absent"), PathOf("copy")).IsNotFound());
  uint64_t size = 0;
  EXPECT_TRUE(env_.FileSize(PathOf("absent"), &size).IsNotFound());
  std::vector<FolderEntry> entries;
  EXPECT_TRUE(env_.ListFolder(PathOf("absent"), &entries).IsNotFound());

  ASSERT_TRUE(env_.CreateFolder(PathOf("Music")).ok());
  const Status probe = env_.ProbeFile(PathOf("Music"), true);
  EXPECT_FALSE(probe.ok());
  EXPECT_FALSE(probe.IsNotFound()) << probe.ToString();
  EXPECT_FALSE(env_.ReadFile(PathOf("Music"), &contents).ok());
}

TEST_F(Win32EnvTest, RenameReplacesTheTargetUnlessAnotherProgramHoldsIt) {
  const std::string db = PathOf("iTunesDB");
  const std::string tmp = PathOf("iTunesDB.tmp");
  Write(db, "old");
  Write(tmp, "new");
  {
    ScopedHandle reader = OpenAsOtherProgram(db, GENERIC_READ, 0);
    ASSERT_TRUE(reader.valid());
    EXPECT_FALSE(env_.RenameFile(tmp, db).ok());
  }
  EXPECT_EQ(Read(db), "old");
  EXPECT_EQ(Read(tmp), "new");

  ASSERT_TRUE(env_.RenameFile(tmp, db).ok());
  EXPECT_EQ(Read(db), "new");
  EXPECT_EQ(env_.KindOf(tmp), PathKind::kNone);
  EXPECT_TRUE(env_.SyncFolder(folder_.path()).ok());
}

TEST_F(Win32EnvTest, HiddenFilesAreMadeHiddenAndCanBeReplacedEitherWay) {
  const std::string auto_sync = PathOf("autoSync");
  Write(auto_sync, "Party\n", /*hidden=*/true);
  EXPECT_NE(Attributes(auto_sync) & FILE_ATTRIBUTE_HIDDEN, 0u);
  Write(auto_sync, "Party\nRoad\n", /*hidden=*/true);
  EXPECT_EQ(Read(auto_sync), "Party\nRoad\n");
  // Windows refuses CREATE_ALWAYS over a hidden file without the attribute; the caller asked
  // for the file to be replaced.
  Write(auto_sync, "plain", /*hidden=*/false);
  EXPECT_EQ(Read(auto_sync), "plain");
}

TEST_F(Win32EnvTest, CopiesArePlainWritableFilesWhateverTheSourceWas) {
  const std::string source = PathOf("source.mp3");
  const std::string target = PathOf("QKZA.mp3");
  Write(source, std::string(100000, 'x'));
  ASSERT_TRUE(
      ::SetFileAttributesW(Wide(source).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  Write(target, "stale", /*hidden=*/true);

  ASSERT_TRUE(env_.CopyFileTo(source, target).ok());
  EXPECT_EQ(Read(target), std::string(100000, 'x'));
  EXPECT_EQ(Attributes(target) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  // A track on the iPod must stay removable.
  EXPECT_TRUE(env_.RemoveFile(target).ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(source).c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_F(Win32EnvTest, FoldersListTheirEntriesWithAnsiNames) {
  // "é" and "ö" are in the ANSI code page of a Western locale, which is what wine runs with.
  const std::string accented = WideToNarrow(u"Beyonc\u00e9 \u2013 Mot\u00f6rhead.mp3");
  ASSERT_EQ(NarrowToWide(accented), u"Beyonc\u00e9 \u2013 Mot\u00f6rhead.mp3")
      << "needs an ANSI code page with these characters";
  Write(PathOf(accented), "x");
  ASSERT_TRUE(env_.CreateFolder(PathOf("F00")).ok());
  EXPECT_TRUE(env_.CreateFolder(PathOf("F00")).ok());
  EXPECT_FALSE(env_.CreateFolder(PathOf(accented)).ok());

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(env_.ListFolder(folder_.path(), &entries).ok());
  std::vector<std::pair<std::string, bool>> seen;
  for (const FolderEntry& e : entries) seen.emplace_back(e.name, e.is_folder);
  EXPECT_THAT(seen, UnorderedElementsAre(std::pair(accented, false), std::pair("F00", true)));
  // The same listing without the trailing separator.
  ASSERT_TRUE(env_.ListFolder(PathOf("F00"), &entries).ok());
  EXPECT_TRUE(entries.empty());

  EXPECT_EQ(env_.KindOf(PathOf(accented)), PathKind::kFile);
  EXPECT_EQ(env_.KindOf(PathOf("F00")), PathKind::kFolder);
  uint64_t size = 0;
  ASSERT_TRUE(env_.FileSize(PathOf(accented), &size).ok());
  EXPECT_EQ(size, 1u);
}

TEST_F(Win32EnvTest, FreeBytesIsTheVolumesFreeSpaceForAFolderOrAFile) {
  Write(PathOf("f"), "x");
  ULARGE_INTEGER total_free;
  ASSERT_TRUE(::GetDiskFreeSpaceExW(Wide(folder_.path()).c_str(), nullptr, nullptr, &total_free));
  uint64_t folder_free = 0;
  uint64_t file_free = 0;
  ASSERT_TRUE(env_.FreeBytes(folder_.path(), &folder_free).ok());
  ASSERT_TRUE(env_.FreeBytes(PathOf("f"), &file_free).ok());
  EXPECT_GT(folder_free, 0u);
  // Other programs write meanwhile; a megabyte of slack covers them.
  const uint64_t slack = 1 << 20;
  EXPECT_NEAR(static_cast<double>(folder_free), static_cast<double>(total_free.QuadPart), slack);
  EXPECT_NEAR(static_cast<double>(file_free), static_cast<double>(folder_free), slack);
  EXPECT_FALSE(env_.FreeBytes(JoinPath(folder_.path(), {"no", "such"}), &folder_free).ok());
}

TEST_F(Win32EnvTest, LocksExcludeOtherHoldersInThisProcessAndOtherHandles) {
  const std::string lock_path = PathOf("tunewell.lock");
  std::unique_ptr<FileLock> first;
  ASSERT_TRUE(env_.LockFile(lock_path, &first).ok());

  // What another process would meet: the range is locked at the OS level.
  ScopedHandle other = OpenAsOtherProgram(lock_path, GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(other.valid());
  OVERLAPPED at = {};
  EXPECT_FALSE(
      ::LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));

  std::atomic<bool> second_holds{false};
  std::thread second([&] {
    std::unique_ptr<FileLock> lock;
    ASSERT_TRUE(env_.LockFile(lock_path, &lock).ok());
    second_holds = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(second_holds);
  first.reset();
  second.join();
  EXPECT_TRUE(second_holds);

  at = {};
  EXPECT_TRUE(
      ::LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
}

TEST_F(Win32EnvTest, NowIsTheSystemClock) {
  const uint64_t c_time = static_cast<uint64_t>(std::time(nullptr));
  const uint64_t now = env_.NowSeconds();
  EXPECT_LE(c_time, now);
  EXPECT_LE(now, c_time + 2);
}

TEST(Win32EnvHostPathTest, TheBuildMachinesFoldersOpenThroughDriveZ) {
  const std::string db =
      JoinPath(fixture::RealIpodsDir(), {"podcasts", "iPod_Control", "iTunes", "iTunesDB"});
  uint64_t size = 0;
  ASSERT_TRUE(Env::Default().FileSize(db, &size).ok()) << db;
  EXPECT_EQ(size, 48916u);
  // Read-only on the build machine, which is fine for readers that share nothing.
  std::string contents;
  ASSERT_TRUE(Env::Default().ReadFile(db, &contents).ok());
  EXPECT_EQ(contents.substr(0, 4), "mhbd");
}

}  // namespace
}  // namespace tunewell
