// What only Windows does, which the rest of the program relies on: share modes and attributes,
// the ANSI code page and the locale's collation. Run under wine.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/collation.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/win32/scoped_handle.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/temp_folder.h"

namespace tunewell {
namespace {

std::wstring Wide(const std::string& path) {
  const std::u16string wide = NarrowToWide(path);
  return std::wstring(wide.begin(), wide.end());
}

// Another program's handle.
ScopedHandle Open(const std::string& path, DWORD access, DWORD share) {
  return ScopedHandle(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(Win32EnvTest, ShareModesAndAttributes) {
  Env& env = Env::Default();
  fixture::TempFolder folder;
  const std::string track = folder.Path({"track.mp3"}), db = folder.Path({"iTunesDB"}),
                    tmp = folder.Path({"iTunesDB.tmp"}), copy = folder.Path({"QKZA.mp3"});
  ASSERT_TRUE(fixture::WriteWholeFile(env, track, "ID3").ok());
  ASSERT_TRUE(fixture::WriteWholeFile(env, db, "old").ok());
  std::string contents;
  {
    ScopedHandle player = Open(track, GENERIC_READ, FILE_SHARE_READ);  // playing it
    ASSERT_TRUE(player.valid());
    EXPECT_TRUE(env.ProbeFile(track, /*share_read=*/true).ok());
    EXPECT_EQ(env.ProbeFile(track, false).code(), Status::Code::kBusy);
    const Status read = env.ReadFile(track, &contents);
    EXPECT_EQ(read.code(), Status::Code::kBusy) << read.ToString();
    EXPECT_NE(read.message().find(track), std::string::npos) << read.ToString();
    ScopedHandle reader = Open(db, GENERIC_READ, 0);
    ASSERT_TRUE(fixture::WriteWholeFile(env, tmp, "new").ok());
    EXPECT_FALSE(env.RenameFile(tmp, db).ok());
    ScopedHandle writer = Open(tmp, GENERIC_WRITE, 0);  // shares nothing
    EXPECT_EQ(env.ProbeFile(tmp, true).code(), Status::Code::kBusy);
  }
  EXPECT_TRUE(env.ReadFile(db, &contents).ok() && contents == "old");
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env.NewWritableFile(copy, /*hidden=*/true, &file).ok());
  ASSERT_TRUE(file->Close().ok());
  // CREATE_ALWAYS over a hidden file fails without the attribute; the caller asked to replace.
  ASSERT_TRUE(fixture::WriteWholeFile(env, copy, "plain").ok());
  ASSERT_TRUE(env.NewWritableFile(copy, true, &file).ok() && file->Close().ok());
  ASSERT_TRUE(env.NewWritableFile(tmp, false, &file).ok());  // ours shares nothing either
  EXPECT_FALSE(Open(tmp, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());

  // A track copied onto the hidden one stays removable, whatever its source's attributes.
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(::SetFileAttributesW(Wide(track).c_str(), kept));
  ASSERT_TRUE(env.CopyFileTo(track, copy).ok());
  EXPECT_EQ(::GetFileAttributesW(Wide(copy).c_str()) & kept, 0u);
  EXPECT_TRUE(env.RemoveFile(copy).ok());
  ASSERT_TRUE(::SetFileAttributesW(Wide(track).c_str(), FILE_ATTRIBUTE_NORMAL));
}

// Wine runs with code page 1252 unless told otherwise. Best fit would make 'a', '/' and '\' of
// characters the page lacks: another file, or a path out of the folder.
TEST(Win32TextTest, NarrowTextIsTheAnsiCodePageWithoutLookAlikes) {
  if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << ::GetACP();
  for (int byte = 1; byte < 256; ++byte) {  // every defined byte comes back as it was
    const std::string narrow(1, static_cast<char>(byte));
    const std::u16string wide = NarrowToWide(narrow);
    EXPECT_TRUE(wide == u"?" || wide == u"\uFFFD" || WideToNarrow(wide) == narrow) << byte;
  }
  EXPECT_EQ(NarrowToWide("Bj\xf6rk \x80"), u"Bj\u00f6rk \u20ac");
  EXPECT_EQ(WideToNarrow(u"\u65e5\u0101..\u2215x\uff3c\xd800"), "??..?x??");
  fixture::TempFolder folder;
  const std::string name = WideToNarrow(u"Beyonc\u00e9 Mot\u00f6rhead.mp3");
  ASSERT_TRUE(fixture::WriteWholeFile(Env::Default(), folder.Path({name}), "x").ok());
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(Env::Default().ListFolder(folder.path(), &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
}

// The locale's collation, not the code units': case only after the letters, digits as
// characters.
TEST(Win32TextTest, CollationIsLinguistic) {
  for (const auto& [a, b, order] : {std::tuple{u"apple", u"Banana", -1},
                                    {u"\u00e9t\u00e9", u"ete", 1},
                                    {u"\u00e9t\u00e9", u"f", -1},
                                    {u"ABC", u"abd", -1},
                                    {u"10", u"9", -1}}) {
    EXPECT_EQ(CompareText(a, b), order) << Utf16ToUtf8(a);
  }
}

}  // namespace
}  // namespace tunewell
