// The tunewell program end to end, on real temporary folders: init, sync, list, remove and
// autosync, and exit codes that say what happened; then the parts it alone uses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <set>
#include <utility>

#include "cli/cli_library.h"
#include "cli/command_help.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/mpeg_audio.h"
#include "cli/silent_mp3.h"
#include "cli/visible_text.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "storage/ipod_lock.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the test helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SyncCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program through a POSIX shell";
#endif
    ipod_ = temp_.path() + "ipod";
    library_ = temp_.path() + "library";
    db_ = ipod_ + "/iPod_Control/iTunes/iTunesDB";
    ASSERT_EQ(OnIpod("init"), 0) << out_;
  }
  int OnIpod(const std::string& command, const std::string& args = "") {
    return Tunewell(command + " --ipod " + ShellQuote(ipod_) + " " + args);
  }
  int Tunewell(const std::string& args) {  // stdout in out_, stderr in err_
    const std::string err_file = temp_.path() + "stderr.txt";
    // A run that hangs fails the test instead of stopping it.
    const int code = RunCommand(
        "timeout 60 " + ShellQuote(TUNEWELL_BINARY) + " " + args + " 2>" + ShellQuote(err_file),
        &out_);
    err_.clear();
    env_.ReadFile(err_file, &err_).IgnoreError();
    return code;
  }
  std::string AddFile(const std::string& relative, const std::string& contents) {
    const std::string path = library_ + "/" + relative;
    std::filesystem::create_directories(ParentOf(path));
    EXPECT_TRUE(WriteWholeFile(env_, path, contents).ok());
    return path;
  }
  std::string AddMp3(const std::string& relative, const std::string& title,
                     const std::string& artist, const std::string& album, int track = 0) {
    const std::string path = AddFile(relative, cli::SilentMp3(20 + track));
    EXPECT_TRUE(cli::WriteId3Tags(path, {title, artist, album, "Test", "", 0, track}).ok());
    return path;
  }
  std::vector<std::string> ListedTitles() {  // display order, from `list --json`
    EXPECT_EQ(OnIpod("list", "--json"), 0) << err_;
    std::vector<std::string> titles;
    for (size_t at = out_.find("\"title\": \""); at != std::string::npos;
         at = out_.find("\"title\": \"", at + 1)) {
      titles.push_back(out_.substr(at + 10, out_.find('"', at + 10) - at - 10));
    }
    return titles;
  }

  Env& env_ = Env::Default();
  TempFolder temp_;
  std::string ipod_, library_, db_, out_, err_;
};

TEST_F(SyncCliTest, ListShowsTheTreeAndJsonInDisplayOrder) {
  std::vector<FixtureTrack> tracks = {
      {.id = 7, .track_number = 2, .title = u"Caf\u00E9 \u20AC", .artist = u"Band"},
      {.id = 3, .track_number = 1, .title = u"Say \"hi\"", .artist = u"Band", .album = u"Live"},
      {.id = 9, .title = u"Solo", .artist = u"Alone"}};
  tracks[0].composer = u"Me", tracks[0].album = u"Live", tracks[0].genre = u"Jazz";
  tracks[0].path = u":iPod_Control:Music:F01:ABCD.mp3";
  ASSERT_TRUE(WriteWholeFile(env_, db_, BuildITunesDb(tracks)).ok());
  ASSERT_EQ(OnIpod("list"), 0) << err_;
  EXPECT_EQ(out_,
            "Music\n  Alone\n    Unknown Album\n      Solo  [id 9]\n  Band\n    Live\n"
            "      Say \"hi\"  [id 3]\n      Caf\xC3\xA9 \xE2\x82\xAC  [id 7]\n");
  EXPECT_THAT(ListedTitles(), ElementsAre("Solo", "Say \\", "Caf\xC3\xA9 \xE2\x82\xAC"));
  for (const char* field :
       {"\"id\": 7", "\"artist\": \"Band\"", "\"album\": \"Live\"", "\"genre\": \"Jazz\"",
        "\"composer\": \"Me\"", "\"trackNumber\": 2", "\"position\": 1",
        "\"path\": \":iPod_Control:Music:F01:ABCD.mp3\"", "\"title\": \"Say \\\"hi\\\"\""}) {
    EXPECT_THAT(out_, HasSubstr(field));
  }
}

TEST_F(SyncCliTest, SyncListRemoveAndAutoSyncRoundTrip) {
  AddMp3("B Artist/Second/02 Beta.mp3", "Beta", "B Artist", "Second", 2);
  AddMp3("A Artist/First/01 Alpha.mp3", "Alpha", "A Artist", "First", 1);
  AddMp3("A Artist/First/02 Gamma.mp3", "Gamma", "A Artist", "First", 2);
  AddFile("A Artist/First/03 Delta.wma", "not really a wma");
  // Not searched: other files, hidden folders, AppleDouble companions.
  for (const char* junk : {"A Artist/cover.jpg", ".git/x.mp3", "A Artist/._a.mp3"})
    AddFile(junk, "");
  // Links the user names are followed.
  const std::string ipod_link = temp_.path() + "ipod-link",
                    library_link = temp_.path() + "lib-link";
  std::filesystem::create_directory_symlink(ipod_, ipod_link);
  std::filesystem::create_directory_symlink(library_, library_link);
  ASSERT_EQ(Tunewell("sync --ipod " + ShellQuote(ipod_link) + " " + ShellQuote(library_link)), 0)
      << err_;
  EXPECT_EQ(out_,
            "Copied 3 items successfully.\nSkipped 0 items that already existed on iPod.\n"
            "Skipped 1 items that were not MP3s.\n");
  EXPECT_THAT(err_, HasSubstr("Copying... A Artist - Alpha"));
  EXPECT_THAT(ListedTitles(), ElementsAre("Alpha", "Gamma", "Beta"));  // tags read
  EXPECT_EQ(CountMusicFiles(env_, ipod_), 3);
  ASSERT_EQ(OnIpod("remove", "--artist 'A Artist'"), 0) << err_;
  EXPECT_THAT(ListedTitles(), ElementsAre("Beta"));
  EXPECT_EQ(CountMusicFiles(env_, ipod_), 1);

  // The auto-sync selection decides a sync with no PATH, over the library's playlists, whose
  // entries are relative to the list or file:// URLs (BOM, CRLF, blanks, '\' and streams
  // allowed).
  AddFile("lists/Favs.m3u",
          "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,Alpha\r\n ..\\A Artist\\First\\01 Alpha.mp3 \r\n"
          "\r\nhttp://example.invalid/stream.mp3\r\n");
  AddFile("lists/deeper/Other.m3u8", " file://" + library_ + "/A%20Artist/First/02%20Gamma.mp3\n");
  ASSERT_EQ(OnIpod("autosync", "Favs Other Gone"), 0) << err_;
  ASSERT_EQ(OnIpod("sync", "--library " + ShellQuote(library_link)), 0) << err_;
  EXPECT_THAT(out_, HasSubstr("Copied 2 items successfully."));
  EXPECT_THAT(err_, HasSubstr("names the playlist \"Gone\", which the library does not have"));
  EXPECT_THAT(ListedTitles(), ElementsAre("Alpha", "Gamma", "Beta"));
  // PATHs the user names are synced whatever the file says; --off ends it.
  const std::string fresh = AddMp3("C/New.mp3", "New", "C", "C");
  ASSERT_EQ(OnIpod("sync", "--library " + ShellQuote(library_) + " " + ShellQuote(fresh)), 0);
  ASSERT_EQ(OnIpod("autosync", "--off"), 0) << err_;
  EXPECT_EQ(env_.KindOf(ipod_ + "/autoSync"), PathKind::kNone);
  EXPECT_THAT(ListedTitles(), ElementsAre("Alpha", "Gamma", "Beta", "New"));
}

// The one home of "an unusable database or iPod changes nothing and exits with 2".
TEST_F(SyncCliTest, ExitCodesSayWhatHappened) {
  const std::string song = AddMp3("s.mp3", "Song", "Artist", "Album");
  // A reader that goes away (`| head`) is no reason to stop a run.
  ASSERT_EQ(RunCommand("{ (sleep 0.2; " + ShellQuote(TUNEWELL_BINARY) + " sync --ipod " +
                           ShellQuote(ipod_) + " " + ShellQuote(song) + " 2>&1; echo $? >&3) | " +
                           "true; } 3>&1",
                       &out_),
            0);
  EXPECT_EQ(out_, "0\n");
  for (const std::string& usage : std::vector<std::string>{
           "sync --ipod " + ShellQuote(ipod_) + " --bogus",
           "sync --ipod " + ShellQuote(ipod_) + " /nonexistent/nope",
           "autosync --ipod " + ShellQuote(ipod_) + " --off Name",
           "init --ipod " + ShellQuote(temp_.path() + "f") + " --folders 0",
           "init --ipod " + ShellQuote(temp_.path() + "f") + " --folders 7x",
           "list --ipod=", "list --ipod a --ipod b", "init --ipod a --folders 2 --folders 3",
           "sync --ipod a --library b --library c", "sync --ipod a --firewire-guid 0A27001B2C3D4E",
           "remove --ipod a --id 1 --firewire-guid 000A2700ZZZZZZZZ"}) {
    EXPECT_EQ(Tunewell(usage), 1) << usage;
  }
  // What the help names, the command takes; each help starts with its command's usage.
  std::vector<std::string> helps = {"demo -h"};
  for (const cli::OptionHelp& row : cli::OptionHelps()) {
    std::string option(row.option);
    if (const size_t blank = option.find(' '); blank != option.npos)
      option.replace(blank, -1, " x");
    helps.push_back(std::string(row.command) + " " + option + " --help");
  }
  for (const std::string& help : helps) {
    EXPECT_EQ(Tunewell(help), 0) << help << err_;
    EXPECT_THAT(out_, HasSubstr("usage:\n  tunewell " + help.substr(0, help.find(' '))));
  }
  EXPECT_EQ(Tunewell("autosync --ipod " + ShellQuote(library_) + " Favs"), 2);
  EXPECT_EQ(env_.KindOf(library_ + "/autoSync"), PathKind::kNone);
  // A playlist naming a file that is gone: the rest is copied, the run says it is incomplete.
  AddFile("gone.m3u", song + "\n" + library_ + "/missing.mp3\n");
  EXPECT_EQ(OnIpod("sync", ShellQuote(library_ + "/gone.m3u")), 3);
  EXPECT_THAT(err_, HasSubstr("gone.m3u line 2: no file \"" + library_ + "/missing.mp3\""));
  EXPECT_THAT(ListedTitles(), ElementsAre("Song"));

  // Which damage makes a database unusable is the reader's to test.
  const std::string other = AddMp3("t.mp3", "Other", "Artist", "Album");
  std::string cut = BuildITunesDb(SampleTracks(3)), bytes;
  cut.resize(cut.size() - 100);
  ASSERT_TRUE(WriteWholeFile(env_, db_, cut).ok());
  EXPECT_EQ(OnIpod("sync", ShellQuote(other)), 2);
  EXPECT_THAT(err_, HasSubstr("database cannot be used"));
  EXPECT_EQ(OnIpod("list"), 2);
  EXPECT_THAT(err_, HasSubstr("offset"));
  EXPECT_EQ(out_, "");
  EXPECT_TRUE(env_.ReadFile(db_, &bytes).ok() && bytes == cut && CountMusicFiles(env_, ipod_) == 1);
  env_.RemoveFile(db_).IgnoreError();
  EXPECT_EQ(OnIpod("list"), 2);
  EXPECT_THAT(err_, HasSubstr("iTunesDB"));
  // A signed database: refused until the iPod's FireWire GUID is known.
  ASSERT_TRUE(WriteWholeFile(env_, db_, BuildITunesDb(SampleTracks(3), SignedLayout())).ok());
  EXPECT_EQ(OnIpod("sync", ShellQuote(other)), 2);
  EXPECT_THAT(err_, HasSubstr("FireWire GUID could not be found; give it with --firewire-guid"));
  EXPECT_EQ(OnIpod("list"), 0);
  EXPECT_THAT(out_, HasSubstr("(signed database): no FireWire GUID found"));
  EXPECT_EQ(OnIpod("sync", "--firewire-guid 000a27001b2c3d4e " + ShellQuote(other)), 0) << err_;
  EXPECT_THAT(err_, HasSubstr("FireWire GUID 000A27001B2C3D4E from --firewire-guid"));
  ipod_ = temp_.path() + "no-ipod";
  EXPECT_EQ(OnIpod("sync", ShellQuote(other)), 2);
}

// A second program waits for the lock and says so, reading the iPod and showing progress only
// once it holds it (meanwhile another adds a track); a signal ends the wait, changing nothing.
TEST_F(SyncCliTest, ASecondProgramWaitsForTheLockSaysSoAndStopsOnASignal) {
  const std::string err = ShellQuote(temp_.path() + "waiting.txt"), other = temp_.path() + "db";
  ASSERT_TRUE(WriteWholeFile(env_, other, BuildITunesDb(SampleTracks(1))).ok());
  const struct {
    std::string args, signal, exit;  // signal 0 sends none: the lock is let go instead
  } cases[] = {{"sync " + ShellQuote(AddMp3("s.mp3", "Song", "Artist", "Album")), "0", "0\n"},
               {"sync " + ShellQuote(AddMp3("t.mp3", "Other", "Artist", "Album")), "TERM", "130\n"},
               {"remove --artist Artist", "INT", "130\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    ASSERT_EQ(RunCommand("rm -f " + err + "; exec 9>>" + ShellQuote(IPodLockPath(ipod_)) +
                             "; flock 9; " + ShellQuote(TUNEWELL_BINARY) + " " + c.args +
                             " --ipod " + ShellQuote(ipod_) + " 9>&- >/dev/null 2>" + err +
                             " & for i in $(seq 400); do grep -qs waiting " + err +
                             " && break; sleep 0.05; done; kill -" + c.signal + " $!; " +
                             (c.signal == "0" ? "cp " + other + " " + ShellQuote(db_) + "; " : "") +
                             "exec 9>&-; wait $!; echo $?",
                         &out_),
              0);
    EXPECT_EQ(out_, c.exit);
    EXPECT_TRUE(env_.ReadFile(temp_.path() + "waiting.txt", &err_).ok() &&
                err_.find("waiting for another run on this iPod") != err_.npos);
    EXPECT_EQ(err_.find("Initialising") != err_.npos, c.signal == "0");
    EXPECT_THAT(ListedTitles(), ElementsAre("Song", "Title 0"));
    EXPECT_EQ(CountMusicFiles(env_, ipod_), 1);
  }
}

// A link planted where a run writes could lead outside the iPod: it is replaced or refused,
// never written through.
TEST_F(SyncCliTest, PlantedLinksAreNeverWrittenThrough) {
  namespace fs = std::filesystem;
  ipod_ = temp_.path() + "shuffle";
  ASSERT_EQ(OnIpod("init", "--shuffle"), 0) << err_;
  const std::string itunes = ipod_ + "/iPod_Control/iTunes/", outside = temp_.path() + "outside";
  ASSERT_TRUE(WriteWholeFile(env_, outside, "not the iPod's").ok());
  int n = 0;
  for (const std::string& link :
       {itunes + "iTunesDB.tmp", itunes + "iTunesDB.bak.tmp", itunes + "iTunesDB.bak",
        itunes + "iTunesSD.tmp", ipod_ + "/autoSync.tmp"}) {
    fs::remove(link);
    fs::create_symlink(outside, link);
    ++n;
    const std::string song =
        AddMp3(std::to_string(n) + ".mp3", "Song " + std::to_string(n), "Artist", "Album", n);
    EXPECT_EQ(OnIpod("sync", ShellQuote(song)), 0) << link << err_;
    EXPECT_EQ(OnIpod("autosync", "Favs"), 0) << link << err_;
    EXPECT_EQ(OnIpod("autosync", "--off"), 0) << link << err_;
    std::string bytes;
    EXPECT_TRUE(env_.ReadFile(outside, &bytes).ok() && bytes == "not the iPod's") << link;
    EXPECT_NE(env_.KindOf(link), PathKind::kOther) << link;  // gone, or a real backup
    for (const char* db : {"iTunesDB", "iTunesSD"}) {
      EXPECT_EQ(env_.KindOf(itunes + db), PathKind::kFile) << link;
    }
  }
  EXPECT_EQ(ListedTitles().size(), 5u);
  // Music folders that lead elsewhere are never drawn: the copy lands in the one real folder.
  const std::string elsewhere = temp_.path() + "elsewhere";
  fs::create_directory(elsewhere);
  bool first = true;
  for (const auto& folder : fs::directory_iterator(ipod_ + "/iPod_Control/Music")) {
    if (std::exchange(first, false)) continue;
    fs::remove_all(folder.path());
    fs::create_directory_symlink(elsewhere, folder.path());
  }
  EXPECT_EQ(OnIpod("sync", ShellQuote(AddMp3("x.mp3", "X", "Artist", "Album"))), 0) << err_;
  EXPECT_TRUE(fs::is_empty(elsewhere));
  // The lock file and iPod_Control are never followed: a run there is refused by name.
  for (const std::string& link : {itunes + ".tunewell.lock", ipod_ + "/iPod_Control"}) {
    fs::rename(link, temp_.path() + "away");
    fs::create_symlink(temp_.path() + "away", link);
    EXPECT_EQ(OnIpod("sync", ShellQuote(AddMp3("y.mp3", "Y", "Artist", "Album"))), 2) << link;
    EXPECT_THAT(err_, HasSubstr(link));
    fs::remove(link);
    fs::rename(temp_.path() + "away", link);
  }
}

// A pipe where the iPod's files should be is refused by name, never waited on.
TEST_F(SyncCliTest, PipesWhereFilesShouldBeAreRefusedByName) {
  const std::string song = ShellQuote(AddMp3("s.mp3", "Song", "Artist", "Album"));
  for (const char* file : {"/iPod_Control/iTunes/iTunesDB", "/iPod_Control/iTunes/iTunesSD",
                           "/iPod_Control/iTunes/Tunewell.journal", "/autoSync"}) {
    const std::string path = ipod_ + file, saved = temp_.path() + "saved";
    std::error_code none;
    std::filesystem::rename(path, saved, none);
    ASSERT_EQ(RunCommand("mkfifo " + ShellQuote(path), &out_), 0);
    for (const std::string& args :
         {std::string("list"), "sync " + song, "sync --library " + ShellQuote(library_)}) {
      const int exit = OnIpod(args);
      EXPECT_TRUE(exit != 124 && (exit == 0 || err_.find(path) != err_.npos)) << args << err_;
    }
    std::filesystem::remove(path);
    std::filesystem::rename(saved, path, none);
  }
}

// A sync killed, or interrupted, once its third file is being copied: Ctrl-C takes the copies
// off at once; after kill -9 the next run does, from the journal.
TEST_F(SyncCliTest, AKilledOrInterruptedSyncIsCleanedUpByTheNextRun) {
  const int kSongs = 40;
  for (int i = 0; i < kSongs; ++i) AddFile(std::to_string(i) + ".mp3", cli::SilentMp3(2400));
  const struct {
    const char* signal;
    int exit_code;  // as `wait` reports it
    bool clean_at_once;
  } cases[] = {{"KILL", 128 + 9, false}, {"INT", 130, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal);
    const std::string script =
        "exec 2>/dev/null; " + ShellQuote(TUNEWELL_BINARY) + " sync --ipod " + ShellQuote(ipod_) +
        " " + ShellQuote(library_) + " >/dev/null 2>&1 & pid=$!; cd " +
        ShellQuote(ipod_ + "/iPod_Control/Music") +
        " && while set -- F*/*.mp3 && [ ! -e \"$3\" ] && kill -0 $pid 2>/dev/null; do :; done;"
        " kill -" +
        c.signal + " $pid; wait $pid; echo $?";
    ASSERT_EQ(RunCommand(script, &out_), 0);
    EXPECT_EQ(out_, std::to_string(c.exit_code) + "\n");
    EXPECT_THAT(ListedTitles(), ::testing::IsEmpty());
    if (c.clean_at_once) {
      EXPECT_EQ(CountMusicFiles(env_, ipod_), 0);
    }
    ASSERT_EQ(OnIpod("sync", ShellQuote(library_)), 0) << err_;
    EXPECT_EQ(CountMusicFiles(env_, ipod_), kSongs);
    EXPECT_EQ(env_.KindOf(ipod_ + "/iPod_Control/iTunes/Tunewell.journal"), PathKind::kNone);
    std::filesystem::remove_all(ipod_);
    ASSERT_EQ(OnIpod("init"), 0) << err_;
  }
}

// What a sync of a library folder takes from it: plain files holding MP3 audio, each real folder
// once, never the files of an iPod inside it (each row's iPod is), untagged files by their names.
TEST_F(SyncCliTest, LibraryWalk) {
  std::string noise(64 * 1024, '\0');
  std::mt19937 bits(7);
  for (char& c : noise) c = static_cast<char>(bits());
  const std::string tone = cli::SilentMp3(5);
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // "-> target" plants a link
    int copied;
    std::string more_lines = "";
  } cases[] = {
      {"looping links", {{"x", "-> ."}, {"y", "-> x"}, {"a.mp3", "-> b"}, {"b", "-> a.mp3"}}, 1},
      {"special files", {{"fifo.mp3", "fifo"}, {"zero.mp3", "-> /dev/zero"}}, 1},
      {"not MP3s",
       {{"text.mp3", "hello"}, {"empty.mp3", ""}, {"noise.mp3", noise}},
       1,
       "Skipped 3 items that were not MP3s.\n"},
      {"untagged equal names",
       {{"A/Track 1.mp3", tone}, {"B/Track 1.mp3", tone}, {"B/Track 1.MP3", tone}},
       3,
       "Skipped 1 items that repeated another item's title, album and artist.\n"},
      {"Latin-1 names", {{"caf\xE9/d\xE9j\xE0.mp3", tone}}, 2},
      {"a link to the iPod's music",
       {{"ipod/iPod_Control/Music/F00/ORPH.mp3", tone}, {"m", "-> ipod/iPod_Control/Music"}},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = library_ + "/" + c.name;
    ipod_ = dir + "/ipod";
    ASSERT_EQ(OnIpod("init"), 0) << err_;
    AddMp3(std::string(c.name) + "/song.mp3", "Song", "Artist", "Album");
    for (const auto& [name, what] : c.files) {
      const std::string path = dir + "/" + name;
      if (what.starts_with("-> ")) {
        std::filesystem::create_symlink(what.substr(3), path);
      } else if (what == "fifo") {
        ASSERT_EQ(RunCommand("mkfifo " + ShellQuote(path), &out_), 0);
      } else {
        AddFile(c.name + ("/" + name), what);
      }
    }
    for (const int existing : {0, c.copied}) {
      ASSERT_EQ(OnIpod("sync", ShellQuote(dir)), 0) << err_;
      EXPECT_EQ(out_, "Copied " + std::to_string(c.copied - existing) +
                          " items successfully.\nSkipped " + std::to_string(existing) +
                          " items that already existed on iPod.\n" + c.more_lines);
    }
  }
}

TEST_F(SyncCliTest, DemoTwiceCopiesOnceAndStaysInItsFolder) {
  const std::string demo = "cd " + ShellQuote(temp_.path()) + " && " + ShellQuote(TUNEWELL_BINARY);
  EXPECT_EQ(RunCommand(demo + " demo '' 2>/dev/null", &out_), 1);
  EXPECT_EQ(env_.KindOf(temp_.path() + "README-tunewell-demo.txt"), PathKind::kNone);
  // An iPod it did not make is no place for the demo.
  EXPECT_EQ(Tunewell("demo " + ShellQuote(ipod_)), 2);
  EXPECT_EQ(env_.KindOf(ipod_ + "/library"), PathKind::kNone);
  ASSERT_EQ(RunCommand(demo + " demo 2>/dev/null", &out_), 0);
  EXPECT_THAT(out_, HasSubstr("Copied 7 items successfully."));
  ASSERT_EQ(RunCommand(demo + " demo demo/ 2>/dev/null", &out_), 0);
  EXPECT_THAT(out_, HasSubstr("Copied 0 items successfully.\nSkipped 7 items that already existed "
                              "on iPod.\nSkipped 1 items that were not MP3s.\n"));
  EXPECT_THAT(out_, HasSubstr("  The Quiet Engines\n    Signal Fires\n"));
  EXPECT_EQ(env_.KindOf(temp_.path() + "demo/library"), PathKind::kFolder);
}

TEST(VisibleTextTest, ControlCharactersBecomeEscapes) {
  for (const auto& [in, out] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"Caf\u00E9 \\n", u"Caf\u00E9 \\n"},
           {u"\x1B[31mred\ttab\r\n", u"\\x1B[31mred\\ttab\\r\\n"},
           {std::u16string(u"\0\x7F\u009B\u00A0", 4), u"\\x00\\x7F\\u009B\u00A0"},
           {u"caf\xDCE9", u"caf\\xE9"}}) {  // a byte of a name that is not UTF-8
    EXPECT_EQ(cli::VisibleText(in), out);
  }
}

// An ID3v2.4 tag of `size` bytes after its header.
std::string Id3Tag(uint32_t size) {
  std::string tag("ID3\x04\x00\x00", 6);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((size >> shift) & 0x7F);
  return tag + std::string(size, '\0');
}

TEST(HoldsMpegAudioTest, FramesAfterTagsAndNothingElse) {
  std::string noise(32 * 1024, '\0');
  std::mt19937 bits(11);
  for (char& c : noise) c = static_cast<char>(bits());
  const std::pair<std::string, bool> cases[] = {
      {cli::SilentMp3(1), true},
      {Id3Tag(300) + Id3Tag(5) + cli::SilentMp3(2), true},
      {"text, not music", false},
      {noise, false},
      {Id3Tag(2000), false},
      {Id3Tag(5000).substr(0, 400) + cli::SilentMp3(2), false},  // a tag longer than the file
      {cli::SilentMp3(1) + std::string(500, 'x'), false},        // no second frame
      {std::string(70 * 1024, 'x') + cli::SilentMp3(3), false},  // beyond the search
      {Id3Tag(300000) + Id3Tag(9) + std::string(64 * 1024 - 10, 'x') + cli::SilentMp3(2), true},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(cli::HoldsMpegAudio(bytes), expected);
    // The start that the check length asks for, asked again as it grows, decides the same.
    std::string_view start = std::string_view(bytes).substr(0, 12);
    while (start.size() < bytes.size() && cli::MpegAudioCheckLength(start) > start.size()) {
      start = std::string_view(bytes).substr(0, cli::MpegAudioCheckLength(start));
    }
    EXPECT_EQ(cli::HoldsMpegAudio(start), expected) << start.size() << " of " << bytes.size();
  }
}

// What the init and remove commands refuse changes nothing (in memory); their runs are above.
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

// What a sync cannot read is named and left out, the rest is synced, and the run says it is
// incomplete (in memory: no tags can be read there, so the files count as not MP3s).
TEST(SyncCommandTest, WhatCannotBeReadIsNamedAndLeftOut) {
#ifdef _WIN32
  GTEST_SKIP() << "the library's paths are POSIX ones";
#endif
  const struct {
    const char* note;
    void (*fault)(MemoryEnv&);
    int not_mp3;
  } cases[] = {
      {"skipped a file that cannot be read",
       [](MemoryEnv& e) { e.FailNth(MemoryEnv::Op::kProbeFile, 1, "/lib/b/song.mp3"); }, 1},
      {"skipped a folder that cannot be read",
       [](MemoryEnv& e) { e.Fail(MemoryEnv::Op::kListFolder, "/lib/b"); }, 1},
      {"/d: more than 32 folders deep",
       [](MemoryEnv& e) {
         std::string deep = "/lib/a";
         for (int i = 0; i < 32; ++i) deep += "/d";
         e.AddFile(deep + "/x.mp3", "audio").IgnoreError();
       },
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    MemoryEnv env;
    ASSERT_TRUE(WriteIPodTree(env, "/ipod/", {3, BuildITunesDb({})}).ok());
    for (const char* file : {"/lib/a/one.mp3", "/lib/b/song.mp3"}) {
      ASSERT_TRUE(env.AddFile(file, "audio").ok());
    }
    c.fault(env);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(cli::RunSyncCommand(env, {"--ipod", "/ipod/", "/lib"}), cli::kExitIncomplete);
    EXPECT_THAT(::testing::internal::GetCapturedStdout(),
                HasSubstr("Copied 0 items successfully.\nSkipped 0 items that already existed on "
                          "iPod.\nSkipped " +
                          std::to_string(c.not_mp3) + " items"));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr(c.note));
  }
}

// Without --ipod: the one mounted iPod, named; none or several is a usage error naming them.
TEST(IPodRootTest, TheOneMountedIPodOrAUsageError) {
  const struct {
    std::vector<std::string> mounts, args;
    int exit;
    std::vector<std::string> said;
  } cases[] = {{{"C:/", "E:/"}, {}, cli::kExitDone, {"using the iPod mounted at E:/"}},
               {{"C:/"}, {"--json"}, cli::kExitUsage, {"no mounted iPod", "--ipod"}},
               {{"C:/", "E:/", "F:/"}, {}, cli::kExitUsage, {"several", "\n  E:/\n  F:/"}},
               {{"C:/", "E:/", "F:/"}, {"--ipod", "F:/"}, cli::kExitDone, {}}};
  for (const auto& c : cases) {
    MemoryEnv env;
    for (const char* ipod : {"E:/", "F:/"}) {
      ASSERT_TRUE(WriteIPodTree(env, ipod, {1, BuildITunesDb(SampleTracks(1))}).ok());
    }
    ASSERT_TRUE(env.AddFolder("C:/iPod_Control").ok());
    env.SetMounts(c.mounts);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(cli::RunList(env, c.args), c.exit);
    ::testing::internal::GetCapturedStdout();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.empty(), c.said.empty()) << said;
    for (const std::string& part : c.said) EXPECT_THAT(said, HasSubstr(part));
  }
}

// Picked as `list` shows the tracks, picked again once the iPod is free: while another run
// holds it, track 4 is replaced by a new one of the same id, and `taken` is removed. Track 3's
// file cannot be deleted.
// Mistaken selections change nothing. Artist k%5, album k%3 for track id k+1.
TEST(RemoveCommandTest, RemovesWhatWasShownAndIsStillThere) {
  struct Case {
    std::string args;  // after --ipod, split at '|'
    int exit;
    std::set<uint32_t> left;
    uint32_t taken = 0;
  };
  std::vector<Case> cases = {
      {"--artist|Unknown Artist", cli::kExitDone, {2, 3, 4, 5, 7, 8}},
      {"--id|6|--id|7", cli::kExitDone, {1, 2, 3, 4, 5, 8}, 7},
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
    auto sample = SampleTracks(8);
    sample[0].artist = sample[5].artist = sample[2].album = u"";
    IPodTree tree{3, BuildITunesDb(sample)};
    for (const auto& t : sample) tree.files[Utf16ToUtf8(t.path)] = "audio";
    ASSERT_TRUE(WriteIPodTree(env, "E:/", tree).ok());
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
    std::erase_if(sample, [&](const FixtureTrack& t) { return t.id == c.taken; });
    EXPECT_TRUE(WriteWholeFile(env, "E:/iPod_Control/iTunes/iTunesDB", BuildITunesDb(sample)).ok());
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
