// What only Windows does, which the rest of the program relies on: share modes, attributes,
// locks between handles, the ANSI code page and the locale's collation. Run under wine.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/collation.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "tests/support/temp_folder.h"

namespace tunewell {
namespace {

std::wstring Wide(const std::string& path) {
  const std::u16string wide = NarrowToWide(path);
  return std::wstring(wide.begin(), wide.end());
}

class Win32EnvTest : public ::testing::Test {
 protected:
  std::string PathOf(std::string_view name) { return JoinPath(folder_.path(), {name}); }
  // Another program's handle.
  ScopedHandle Open(const std::string& path, DWORD access, DWORD share) {
    return ScopedHandle(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  }
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
  DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

  Env& env_ = Env::Default();
  fixture::TempFolder folder_;
};

TEST_F(Win32EnvTest, ShareModesDecideWhoMayOpenAFileHeldElsewhere) {
  const std::string track = PathOf("track.mp3"), db = PathOf("iTunesDB");
  Write(track, "ID3");
  Write(db, "old");
  {
    ScopedHandle player = Open(track, GENERIC_READ, FILE_SHARE_READ);  // playing it
    ASSERT_TRUE(player.valid());
    EXPECT_TRUE(env_.ProbeFile(track, /*share_read=*/true).ok());
    EXPECT_EQ(env_.ProbeFile(track, false).code(), Status::Code::kBusy);
    std::string contents;
    const Status read = env_.ReadFile(track, &contents);
    EXPECT_EQ(read.code(), Status::Code::kBusy) << read.ToString();
    EXPECT_THAT(read.message(), ::testing::HasSubstr(track));
    ScopedHandle reader = Open(db, GENERIC_READ, 0);
    Write(PathOf("iTunesDB.tmp"), "new");
    EXPECT_FALSE(env_.RenameFile(PathOf("iTunesDB.tmp"), db).ok());
  }
  {
    ScopedHandle writer = Open(track, GENERIC_WRITE, 0);  // shares nothing
    EXPECT_EQ(env_.ProbeFile(track, true).code(), Status::Code::kBusy);
  }
  EXPECT_EQ(Read(db), "old");
  EXPECT_TRUE(env_.ProbeFile(track, false).ok());
  std::unique_ptr<WritableFile> file;  // ours shares nothing either
  ASSERT_TRUE(env_.NewWritableFile(PathOf("iTunesDB.tmp"), false, &file).ok());
  EXPECT_FALSE(
      Open(PathOf("iTunesDB.tmp"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());
}

TEST_F(Win32EnvTest, HiddenFilesAndCopiesOfReadOnlyOnes) {
  const std::string auto_sync = PathOf("autoSync");
  Write(auto_sync, "Party\n", /*hidden=*/true);
  EXPECT_NE(Attributes(auto_sync) & FILE_ATTRIBUTE_HIDDEN, 0u);
  Write(auto_sync, "Party\nRoad\n", true);
  // CREATE_ALWAYS over a hidden file fails without the attribute; the caller asked to replace.
  Write(auto_sync, "plain", false);
  EXPECT_EQ(Read(auto_sync), "plain");

  // A track on the iPod must stay removable, whatever its source was.
  const std::string source = PathOf("source.mp3"), target = PathOf("QKZA.mp3");
  Write(source, std::string(100000, 'x'));
  ASSERT_TRUE(
      ::SetFileAttributesW(Wide(source).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  Write(target, "stale", true);
  ASSERT_TRUE(env_.CopyFileTo(source, target).ok());
  EXPECT_EQ(Read(target), std::string(100000, 'x'));
  EXPECT_EQ(Attributes(target) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_TRUE(env_.RemoveFile(target).ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(source).c_str(), FILE_ATTRIBUTE_NORMAL));
  uint64_t file_free = 0;  // asked of a file, the free space of its volume
  EXPECT_TRUE(env_.FreeBytes(source, &file_free).ok());
  EXPECT_GT(file_free, 0u);
}

// Another process meets the lock at the OS level (holders in this process are in the contract).
TEST_F(Win32EnvTest, LocksExcludeOtherHandles) {
  std::unique_ptr<FileLock> held;
  ASSERT_TRUE(env_.LockFile(PathOf("tunewell.lock"), &held).ok());
  ScopedHandle other = Open(PathOf("tunewell.lock"), GENERIC_READ | GENERIC_WRITE,
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

// Wine runs with code page 1252 unless told otherwise.
TEST_F(Win32EnvTest, NarrowTextIsTheAnsiCodePageWithoutLookAlikes) {
  if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << ::GetACP();
  for (int byte = 1; byte < 256; ++byte) {  // every defined byte comes back as it was
    const std::string narrow(1, static_cast<char>(byte));
    const std::u16string wide = NarrowToWide(narrow);
    if (wide != u"?" && wide != u"\uFFFD") {
      EXPECT_EQ(WideToNarrow(wide), narrow) << byte;
    }
  }
  EXPECT_EQ(NarrowToWide("Bj\xf6rk \x80"), u"Bj\u00f6rk \u20ac");
  // Best fit would make 'a', '/' and '\': another file, or a path out of the folder.
  const std::pair<std::u16string, std::string> lacking[] = {{u"\u65e5\u672c", "??"},
                                                            {u"\u0101", "?"},
                                                            {u"..\u2215x", "..?x"},
                                                            {u"..\uff3cx", "..?x"},
                                                            {std::u16string(1, u'\xd800'), "?"}};
  for (const auto& [wide, narrow] : lacking) EXPECT_EQ(WideToNarrow(wide), narrow);
  const std::string name = WideToNarrow(u"Beyonc\u00e9 Mot\u00f6rhead.mp3");
  Write(PathOf(name), "x");
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(env_.ListFolder(folder_.path(), &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
}

// The locale's collation, not the code units': case only after the letters, digits as
// characters.
TEST(LocaleCollationTest, Linguistic) {
  EXPECT_EQ(CompareText(u"apple", u"Banana"), -1);
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"ete"), 1);
  EXPECT_EQ(CompareText(u"\u00e9t\u00e9", u"f"), -1);
  EXPECT_EQ(CompareText(u"ABC", u"abd"), -1);
  EXPECT_EQ(CompareText(u"10", u"9"), -1);
}

}  // namespace
}  // namespace tunewell
