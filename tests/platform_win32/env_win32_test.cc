// Win32Env against the behaviour the rest of the program relies on and that only Windows has:
// share modes, attributes, replacing renames, locks between handles.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "tests/support/temp_folder.h"

namespace tunewell {
namespace {

using ::testing::HasSubstr;

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
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(Read(path), "abc");
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

TEST_F(Win32EnvTest, NamesAreAnsiText) {
  // "é" and "ö" are in the ANSI code page of a Western locale, which is what wine runs with.
  const std::string accented = WideToNarrow(u"Beyonc\u00e9 \u2013 Mot\u00f6rhead.mp3");
  ASSERT_EQ(NarrowToWide(accented), u"Beyonc\u00e9 \u2013 Mot\u00f6rhead.mp3")
      << "needs an ANSI code page with these characters";
  Write(PathOf(accented), "x");
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(env_.ListFolder(folder_.path(), &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, accented);
  EXPECT_EQ(env_.KindOf(PathOf(accented)), PathKind::kFile);
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

// Another process meets the lock at the OS level (holders in this process are in the contract).
TEST_F(Win32EnvTest, LocksExcludeOtherHandles) {
  const std::string lock_path = PathOf("tunewell.lock");
  std::unique_ptr<FileLock> held;
  ASSERT_TRUE(env_.LockFile(lock_path, &held).ok());
  ScopedHandle other = OpenAsOtherProgram(lock_path, GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(other.valid());
  auto try_lock = [&] {
    OVERLAPPED at = {};
    return ::LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &at);
  };
  EXPECT_FALSE(try_lock());
  held.reset();
  EXPECT_TRUE(try_lock());
}

}  // namespace
}  // namespace tunewell
