#include "storage/ipod_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/path.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"

namespace tunewell {
namespace {

constexpr char kSep = kPathSeparator;

// For a drive root a location is the full path without its first two characters.
TEST(IPodLocationTest, RoundTripsForDriveAndMountRoots) {
  const std::string drive = std::string("E:") + kSep;
  const std::string mount = std::string(1, kSep) + "media" + kSep + "me" + kSep + "IPOD";
  for (const std::string& root : {drive, mount, mount + kSep}) {
    for (const std::u16string name : {u"QKZA.mp3", u"\u00c6r\u00f8.mp3"}) {
      const std::string path = JoinPath(WithTrailingSeparator(root),
                                        {"iPod_Control", "Music", "F07", WideToNarrow(name)});
      std::u16string location;
      ASSERT_TRUE(LocationFromPath(root, path, &location).ok()) << root;
      EXPECT_EQ(location, u":iPod_Control:Music:F07:" + name) << root;
      EXPECT_EQ(PathFromLocation(root, location), path) << root;
    }
  }
}

TEST(IPodLocationTest, PathsOutsideTheRootHaveNoLocation) {
  const std::string root = std::string(1, kSep) + "media" + kSep + "IPOD" + kSep;
  std::u16string location = u"unchanged";
  for (const std::string& path :
       {std::string(1, kSep) + "media" + kSep + "IPOD2" + kSep + "x.mp3",
        std::string(1, kSep) + "media" + kSep + "IPOD", root, std::string("relative.mp3")}) {
    EXPECT_EQ(LocationFromPath(root, path, &location).code(), Status::Code::kInvalidArgument)
        << path;
  }
  // A colon in a name could not come back as the same path.
  EXPECT_FALSE(LocationFromPath(root, root + "iPod_Control" + kSep + "a:b.mp3", &location).ok());
  EXPECT_EQ(location, u"unchanged");
}

// Every location, resolved or refused; refused ones leave the path untouched. No location may
// reach a file outside the music folders: iTunesDB, outside.mp3, or secret.mp3 elsewhere.
TEST(ResolveMusicFileTest, OnlyPlainFilesInsideTheMusicFoldersResolve) {
  namespace fs = std::filesystem;
  using Code = Status::Code;
  const fixture::TempFolder folder, outside_folder;
  const fs::path ipod = folder.path(), outside = outside_folder.path();
  const fs::path music = ipod / "iPod_Control" / "Music", secret = outside / "secret.mp3";
  for (const fs::path& file :
       {music / "F00" / "ABCD.mp3", ipod / "iPod_Control" / "iTunes" / "iTunesDB",
        ipod / "outside.mp3", secret}) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "bytes";
  }
  const std::u16string dotdots = u":iPod_Control:Music:F00:..:..:..:" +
                                 NarrowToWide(fs::relative(secret, music / "F00").generic_string());
#ifndef _WIN32
  fs::create_directory_symlink(outside, music / "F01");
  fs::create_symlink(secret, music / "F00" / "LINK.mp3");
#endif
  fs::create_directories(music / "F00" / "DIRX.mp3");
  const struct {
    std::u16string location;
    Code code = Code::kInvalidArgument;
  } cases[] = {
      {u":iPod_Control:Music:F00:ABCD.mp3", Code::kOk},
      {u":iPod_Control:Music:F00:GONE.mp3", Code::kNotFound},
      {u":iPod_Control:Music:F55:GONE.mp3", Code::kNotFound},
#ifndef _WIN32
      {u":iPod_Control:Music:F00:DIRX.mp3", Code::kRefused},
      {u":iPod_Control:Music:F01:secret.mp3", Code::kRefused},
      {u":iPod_Control:Music:F00:LINK.mp3", Code::kRefused},
#endif
      {u""},
      {u"iPod_Control:Music:F00:ABCD.mp3"},  // no leading colon
      {u":iPod_Control:iTunes:iTunesDB"},
      {u":iPod_Control:Music:..:iTunes:iTunesDB"},
      {u":iPod_Control:Music:F00:..:..:..:outside.mp3"},
      {u":iPod_Control:Music:.:..:iTunes:iTunesDB"},
      {u":iPod_Control:Music:F00:..."},
      {u":iPod_Control:Music:F00:ABCD.mp3."},
      {u":iPod_Control:Music:F00:/etc/passwd"},
      {u":iPod_Control:Music:F00:..\\..\\..\\outside.mp3"},
      {u":iPod_Control:Music:F00:C:\\Windows\\win.ini"},
      {u":iPod_Control:Music::F00:ABCD.mp3"},
      {u":iPod_Control:Music:F00:AB\nCD.mp3"},
      {std::u16string(u":iPod_Control:Music:F00:ABCD.mp3") + u'\0' + u":..:.."},
      {u":iPod_Control:Music"},
      {u":iPod_Control:Music:"},
      {u":" + NarrowToWide(secret.string())},
      {dotdots},
      {u":iPod_Control:Music:F00:\xD800.mp3"},  // no narrow form
  };
  for (const auto& c : cases) {
    std::string path = "untouched";
    const Status s = ResolveMusicFile(Env::Default(), folder.path(), c.location, &path);
    EXPECT_EQ(s.code(), c.code) << Utf16ToUtf8(c.location);
    if (c.code == Code::kInvalidArgument) {
      EXPECT_EQ(path, "untouched");
    }
  }
  std::string path;
  ASSERT_TRUE(ResolveMusicFile(Env::Default(), folder.path(), cases[0].location, &path).ok());
  EXPECT_EQ(path, (music / "F00" / "ABCD.mp3").string());
  // FAT ignores case, so other spellings of the first two names are not escapes.
  EXPECT_NE(
      ResolveMusicFile(Env::Default(), folder.path(), u":IPOD_CONTROL:MUSIC:F00:ABCD.mp3", &path)
          .code(),
      Code::kInvalidArgument);
}

}  // namespace
}  // namespace tunewell
