#include "cli/cli_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/text.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/mp3_fixture.h"

namespace tunewell::cli {
namespace {

using ::testing::ElementsAre;

using fixture::SilentMp3;

// `path` with this build's separators, as the library reports paths.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kPathSeparator;
  }
  return path;
}

class CliLibraryTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& relative, const std::string& contents) {
    const std::string path = temp_.path() + relative;
    for (size_t cut = path.find('/', temp_.path().size()); cut != std::string::npos;
         cut = path.find('/', cut + 1)) {
      env_.CreateFolder(path.substr(0, cut));
    }
    EXPECT_TRUE(fixture::WriteWholeFile(env_, path, contents).ok());
    return path;
  }

  Env& env_ = Env::Default();
  fixture::TempFolder temp_;
  FileLibrary library_{env_};
};

TEST(FileNamesTest, ExtensionsAndKinds) {
  EXPECT_EQ(LowerExtension("/a/b/Song.MP3"), "mp3");
  EXPECT_EQ(LowerExtension("/a.b/noext"), "");
  EXPECT_EQ(LowerExtension("/a/.hidden"), "");
  for (const char* audio : {"x.Flac", "x.wav", "x.mp3"}) EXPECT_TRUE(IsAudioFile(audio));
  EXPECT_FALSE(IsAudioFile("x.jpg"));
  EXPECT_TRUE(IsPlaylistFile("x.M3U8"));
  EXPECT_FALSE(IsPlaylistFile("x.pls"));
}

TEST_F(CliLibraryTest, TagsBecomePlayerAttributes) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows command line reads no tags";
#endif
  const std::string path = Write("Track.mp3", SilentMp3(40));
  Id3Tags tags;
  tags.title = "Tïtle";
  tags.artist = "Artist";
  tags.album = "Album";
  tags.genre = "Jazz";
  tags.composer = "Composer";
  tags.year = 1999;
  tags.track = 7;
  ASSERT_TRUE(WriteId3Tags(path, tags).ok());

  auto media = library_.MediaFor(path);
  EXPECT_EQ(media->Name(), u"Tïtle");
  EXPECT_EQ(media->SourceUrl(), NarrowToWide(path));
  const std::pair<const char16_t*, const char16_t*> attributes[] = {
      {u"FileType", u"mp3"},   {u"Author", u"Artist"},        {u"WM/AlbumTitle", u"Album"},
      {u"WM/Genre", u"Jazz"},  {u"WM/Composer", u"Composer"}, {u"WM/TrackNumber", u"7"},
      {u"Bitrate", u"128000"}, {u"IsVBR", u"false"},          {u"UserRating", u""}};
  for (const auto& [name, value] : attributes) EXPECT_EQ(media->GetItemInfo(name), value);
  EXPECT_EQ(media->GetItemInfo(u"ReleaseDate").substr(0, 4), u"1999");
  uint64_t size = 0;
  ASSERT_TRUE(env_.FileSize(path, &size).ok());
  EXPECT_EQ(media->GetItemInfo(u"FileSize"), NarrowToWide(std::to_string(size)));
  EXPECT_NEAR(media->Duration(), 40 * 1152 / 44100.0, 0.1);
  // One item per file, however it is named.
  EXPECT_EQ(library_.MediaFor(temp_.path() + "./sub/../Track.mp3"), media);
}

TEST_F(CliLibraryTest, UntaggedAndUnreadableFilesStillHaveANameAndType) {
  auto plain = library_.MediaFor(Write("Plain Song.mp3", SilentMp3(5)));
  EXPECT_EQ(plain->Name(), u"Plain Song");
  EXPECT_EQ(plain->GetItemInfo(u"Author"), u"");
  auto junk = library_.MediaFor(Write("Junk.WMA", "not a wma"));
  EXPECT_EQ(junk->Name(), u"Junk");
  EXPECT_EQ(junk->GetItemInfo(u"FileType"), u"wma");
  auto missing = library_.MediaFor(temp_.path() + "gone.mp3");
  EXPECT_EQ(missing->Name(), u"gone");
  EXPECT_EQ(missing->GetItemInfo(u"FileSize"), u"");
}

TEST_F(CliLibraryTest, PlaylistsResolveEntriesAndSkipTheRest) {
  Write("music/a.mp3", SilentMp3(2));
  const std::string list =
      Write("lists/Mix.m3u8",
            "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,Artist - A\r\n../music/a.mp3\r\n\r\n"
            "http://example.invalid/stream.mp3\n" +
                temp_.path() + "music/b.mp3\nsame folder.mp3");
  std::vector<std::string> entries;
  ASSERT_TRUE(library_.ReadPlaylist(list, &entries).ok());
  EXPECT_THAT(entries, ElementsAre(Native(temp_.path() + "music/a.mp3"),
                                   Native(temp_.path() + "music/b.mp3"),
                                   Native(temp_.path() + "lists/same folder.mp3")));

  Write("lists/deeper/Mix.m3u", "../../music/a.mp3\n");
  Write("lists/.hidden.m3u", "../music/a.mp3\n");
  ASSERT_TRUE(library_.AddPlaylistsUnder(temp_.path()).ok());
  PlaylistArray all = library_.GetAllPlaylists();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]->Count(), 3);  // lists/Mix.m3u8 sorts before lists/deeper/Mix.m3u
  EXPECT_EQ(all[1]->Count(), 1);
  EXPECT_EQ(library_.GetPlaylistsByName(u"Mix").size(), 2u);
  // Both name the same file, so both hold the same item.
  EXPECT_EQ(all[0]->Item(0), all[1]->Item(0));

  auto found = library_.GetMediaByName(u"a");
  ASSERT_EQ(found->Count(), 1);
  EXPECT_EQ(found->Item(0)->SourceUrl(), NarrowToWide(Native(temp_.path() + "music/a.mp3")));
}

TEST_F(CliLibraryTest, FolderSearchFindsAudioInNameOrder) {
  Write("lib/b/2.mp3", "");
  Write("lib/b/1.ogg", "");
  Write("lib/a.flac", "");
  Write("lib/cover.jpg", "");
  Write("lib/._a.mp3", "");
  Write("lib/.git/x.mp3", "");
  std::vector<std::string> files;
  ASSERT_TRUE(library_.FindAudioFiles(temp_.path() + "lib", &files).ok());
  const std::string lib = temp_.path() + "lib/";
  EXPECT_THAT(
      files, ElementsAre(Native(lib + "a.flac"), Native(lib + "b/1.ogg"), Native(lib + "b/2.mp3")));
}

}  // namespace
}  // namespace tunewell::cli
