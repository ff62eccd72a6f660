// Paths, UTF conversions and collation; the one home of the Env behaviours, the same cases over
// this build's file system and over the in-memory one the other tests stand on; then what only
// Windows does and the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <type_traits>

#include "platform/collation.h"
#include "platform/env.h"
#include "platform/memory/memory_env.h"
#include "platform/mount_table.h"
#include "platform/path.h"
#include "platform/sha1.h"
#include "platform/text.h"
#include "platform/win32/xp_compat/tick_count64.h"
#include "tests/support/ipod_tree.h"
#ifdef _WIN32
#include <windows.h>

#include "win32kit/scoped_handle.h"
#else
#include "platform/posix/posix_env.h"
#endif

namespace tunewell {
namespace {

std::string P(std::string text) {  // '|' for this build's separator
  for (char& c : text) c = c == '|' ? kPathSeparator : c;
  return text;
}

TEST(PathTest, JoinAddAndCut) {
  const std::pair<std::string, std::string> cases[] = {
      {JoinPath(P("|ipod|"), {"iPod_Control", "F07"}), P("|ipod|iPod_Control|F07")},
      {JoinPath(P("|"), {"x"}), P("|x")},
      {JoinPath("E:/", {"x"}), "E:/x"},
      {JoinPath("", {"a", "b"}), P("a|b")},
      {WithTrailingSeparator(P("|media|IPOD")), P("|media|IPOD|")},
      {WithTrailingSeparator("E:/"), "E:/"},
      {ParentOf(P("|ipod|iPod_Control|iTunesDB")), P("|ipod|iPod_Control")},
      {ParentOf("name.mp3"), ""},
      {ParentOf("a/b"), "a"},
      // The parent of a file in a root is the root, not the current folder.
      {ParentOf(P("|iTunesDB")), P("|")},
      {ParentOf(P("E:|iTunesDB")), P("E:|")}};
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

// Mount points as the kernel's table writes them, and this machine's own, its root among them.
TEST(PathTest, MountPoints) {
  const std::pair<std::string_view, std::vector<std::string>> cases[] = {
      {"/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/My\\040iPod vfat rw 0 0\n",
       {"/", "/media/My iPod"}},
      {"tmpfs /a\\011b\\012c\\134d tmpfs rw 0 0", {"/a\tb\nc\\d"}},
      {"\nlonely\n/dev/x  /cut\\04 y", {"/cut\\04"}}};
  for (const auto& [table, points] : cases) EXPECT_EQ(MountPointsOf(table), points) << table;
  std::vector<std::string> mounts;
  ASSERT_TRUE(Env::Default().ListMounts(&mounts).ok());
  const std::string root = kPathSeparator == '/' ? "/" : "C:\\";
  EXPECT_NE(std::find(mounts.begin(), mounts.end(), root), mounts.end());
}

TEST(UtfTest, EveryScalarValueRoundTripsAtItsLength) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string wide(1, static_cast<char16_t>(cp));
    if (cp >= 0x10000) {
      wide = {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
              static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    }
    const std::string narrow = Utf16ToUtf8(wide);
    ASSERT_EQ(narrow.size(), 1u + (cp >= 0x80) + (cp >= 0x800) + (cp >= 0x10000)) << uint32_t{cp};
    ASSERT_EQ(Utf8ToUtf16(narrow), wide) << uint32_t{cp};
  }
#ifndef _WIN32
  EXPECT_EQ(NarrowToWide("Bj\xC3\xB6rk"), u"Bj\u00F6rk");  // narrow text is UTF-8 here
  EXPECT_EQ(WideToNarrow(u"\xD834\xDD1E"), "\xF0\x9D\x84\x9E");
#endif
}

// Malformed input becomes replacement characters only; the valid text after it comes through.
// Among them: cut sequences, stray continuations, beyond U+10FFFF, encoded surrogates, and
// overlong forms (an overlong '/' must not become one).
TEST(UtfTest, MalformedInputBecomesReplacement) {
  const std::string_view all =
      "\x80|\xBF\x80\x80|\xC3|\xE2\x82|\xF0\x9D\x84|\xC3\x61|\xE2\x82\xC3\xA9|\xFE\xFF|"
      "\xF8\x88\x80\x80\x80|\xF4\x90\x80\x80|\xED\xA0\x80|\xED\xBF\xBF|\xED\xA0\xB4\xED\xB4\x9E|"
      "\xC0\xAF|\xE0\x80\xAF|\xF0\x80\x80\xAF|\xC0\x80|\xC1\xBF|\xE0\x9F\xBF|\xF0\x8F\xBF\xBF";
  for (size_t at = 0, bar; at < all.size(); at = bar + 1) {
    bar = std::min(all.find('|', at), all.size());
    const std::string_view bytes = all.substr(at, bar - at);
    const std::u16string_view after = bytes.back() == 'a'      ? u"a"
                                      : bytes.back() == '\xA9' ? u"\u00E9"
                                                               : u"";
    SCOPED_TRACE(::testing::PrintToString(std::string(bytes)));
    const std::u16string out = Utf8ToUtf16("<" + std::string(bytes) + ">");
    ASSERT_GE(out.size(), 3 + after.size());
    EXPECT_EQ(out.front(), u'<');
    EXPECT_TRUE(out.ends_with(std::u16string(after) + u">"));
    EXPECT_EQ(out.substr(1, out.size() - 2 - after.size()).find_first_not_of(u'\uFFFD'),
              std::u16string::npos);
    // Kept as bytes, as a path must be, it comes back as it was.
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(bytes, true), true), bytes);
  }
#ifndef _WIN32
  // A name that is not UTF-8 is Latin-1 as text.
  EXPECT_EQ(NameToText("Caf\xE9"), u"Caf\u00E9");
  EXPECT_EQ(NameToText("Caf\xC3\xA9"), u"Caf\u00E9");
#endif
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDD1E\xD834"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD834\xDD1E"), "\xEF\xBF\xBD\xF0\x9D\x84\x9E");
}

// HMAC-SHA1 over the system's SHA-1: RFC 2202's cases, keys and messages longer than a block
// among them, each message also handed over in two parts.
TEST(DigestTest, HmacSha1GivesRfc2202sResults) {
  std::string counting;
  for (char c = 1; c <= 25; ++c) counting += c;
  const std::string long_key(80, '\xaa');
  const struct {
    std::string key, data;
    const char* mac;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'),
       "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {counting, std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {long_key, "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {long_key, "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"}};
  for (const auto& c : cases) {
    const std::string_view data = c.data;
    for (size_t cut : {size_t{0}, data.size() / 2}) {
      const std::string_view parts[] = {data.substr(0, cut), data.substr(cut)};
      Sha1Digest mac{};
      ASSERT_TRUE(HmacSha1(c.key, parts, &mac).ok());
      std::string hex;
      for (uint8_t b : mac) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
      EXPECT_EQ(hex, c.mac) << c.data;
    }
  }
}

// Sort indexes are built from keys and read back by comparison. Among the texts: case pairs,
// accents precomposed and combining, digits, punctuation, soft hyphens, ligatures, non-BMP
// characters, lone surrogates, prefixes and a NUL.
TEST(CollationTest, KeysOrderExactlyAsTheComparison) {
  const std::u16string_view all =
      u"a|A|abc|ABC|Abc|abd|ab|aB|abc | abc|a-bc|a.bc|co-op|coop|co op|it's|\u00E9|e\u0301|E|"
      u"\u00C9|f|c\u00f4te|cot\u00e9|1|10|2|01|The Beatles|the beatles|\u00c6on|Aeon|\u00DF|ss|"
      u"\u00ad|a\u00adb|-|!|~|Zz|zZ|\u0391|\u03b1|\u4E2D\u6587|\xD834\xDD1E|\xD834\xDD1F|"
      u"z\xD83D\xDE00|\uFFFD|\xD800";
  std::vector<std::u16string> texts = {u"", std::u16string(u"a\0b", 3)};
  for (size_t at = 0, bar; at <= all.size(); at = bar + 1) {
    bar = std::min(all.find(u'|', at), all.size());
    texts.emplace_back(all.substr(at, bar - at));
  }
  for (const std::u16string& a : texts) {
    EXPECT_EQ(CompareText(a, a), 0);
    if (!a.empty()) {
      EXPECT_EQ(CompareText(u"", a), -1) << "the empty text comes first";
    }
    for (const std::u16string& b : texts) {
      const int by_key = SortKey(a).compare(SortKey(b));
      EXPECT_EQ(CompareText(a, b), (by_key > 0) - (by_key < 0));
      EXPECT_EQ(CompareText(a, b), -CompareText(b, a));
    }
  }
  // Case-sensitive: texts that differ only in case are not equal.
  EXPECT_NE(CompareText(u"abc", u"ABC"), 0);
  EXPECT_NE(CompareText(u"\u00E9", u"\u00C9"), 0);
}

// The i686 binaries' GetTickCount64: carried at each wrap, and never back, not even for a reading
// taken before another caller's later count was stored (which is no wrap, and is read again).
TEST(TickCountTest, CarriesAtEachWrapAndNeverGoesBack) {
  const std::vector<std::pair<uint32_t, uint64_t>> readings_and_counts = {
      {0, 0}, {5, 5}, {5, 5}, {0xFFFFFFF0, 0xFFFFFFF0}, {0x10, 0x1'0000'0010}, {2, 0x2'0000'0002}};
  std::atomic<uint64_t> last{0};
  for (const auto& [reading, count] : readings_and_counts) {
    EXPECT_EQ(ExtendTickCount(last, [r = reading] { return r; }), count) << reading;
  }
  int reads = 0;
  const auto overtaken = [&] {
    if (reads++ > 0) return uint32_t{0x301};
    EXPECT_EQ(ExtendTickCount(last, [] { return uint32_t{0x300}; }), 0x2'0000'0300u);
    return uint32_t{0x200};
  };
  EXPECT_EQ(ExtendTickCount(last, overtaken), 0x2'0000'0301u);
}

struct DiskVolume {
  Env& env() { return Env::Default(); }
  std::string root() const { return folder.path(); }
  fixture::TempFolder folder;
};
struct MemoryVolume {
  MemoryVolume() { EXPECT_TRUE(memory.AddFolder(root()).ok()); }
  Env& env() { return memory; }
  std::string root() const { return JoinPath(std::string(1, kPathSeparator), {"volume", ""}); }
  MemoryEnv memory;
};

template <typename Volume>
class EnvContractTest : public ::testing::Test {
 protected:
  std::string Path(std::initializer_list<std::string_view> parts) {
    return JoinPath(volume_.root(), parts);
  }
  void Write(const std::string& path, const std::string& contents) {
    ASSERT_TRUE(fixture::WriteWholeFile(env, path, contents).ok()) << path;
  }
  std::string Read(const std::string& path) {
    std::string contents;
    const Status s = env.ReadFile(path, &contents);
    return s.ok() ? contents : "<" + s.ToString() + ">";
  }
  std::vector<std::string> Names(const std::string& folder) {  // folders end in '/', sorted
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(env.ListFolder(folder, &entries).ok()) << folder;
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name + (e.is_folder ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
  }
  Volume volume_;
  Env& env = volume_.env();
};

using Volumes = ::testing::Types<DiskVolume, MemoryVolume>;
TYPED_TEST_SUITE(EnvContractTest, Volumes);

// Any bytes, over several appends, come back exactly, a large file too (read in halves); a new
// file replaces the old one whole; a file destroyed unclosed keeps what was appended.
TYPED_TEST(EnvContractTest, WrittenBytesReadBackExactly) {
  const std::string path = this->Path({"data.bin"});
  std::string bytes((9 << 20) + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(this->env.NewWritableFile(path, false, &file).ok());
  ASSERT_TRUE(file->Append(std::string_view(bytes).substr(0, 5)).ok());
  ASSERT_TRUE(file->Append("").ok());
  ASSERT_TRUE(file->Append(std::string_view(bytes).substr(5)).ok());
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(this->Read(path), bytes);
  uint64_t size = 0;
  EXPECT_TRUE(this->env.FileSize(path, &size).ok() && size == bytes.size());
  this->Write(path, "short");
  EXPECT_EQ(this->Read(path), "short");
  ASSERT_TRUE(this->env.NewWritableFile(path, true, &file).ok());
  ASSERT_TRUE(file->Append("kept").ok());
  file.reset();
  EXPECT_EQ(this->Read(path), "kept");
}

// Missing things are NotFound naming the path, and nothing is created.
TYPED_TEST(EnvContractTest, MissingPathsAreNotFound) {
  Env& env = this->env;
  const std::string missing = this->Path({"missing.mp3"}), target = this->Path({"target"}),
                    in_missing = this->Path({"no-folder", "x.mp3"});
  std::string contents;
  uint64_t size = 0;
  std::vector<FolderEntry> entries;
  std::unique_ptr<WritableFile> file;
  std::unique_ptr<FileLock> lock;
  FileIdentity identity;
  for (const Status& s :
       {env.ReadFile(missing, &contents), env.Identify(missing, &identity),
        env.ReadFile(in_missing, &contents), env.ProbeFile(missing, true),
        env.ProbeFile(missing, false), env.FileSize(missing, &size), env.RemoveFile(missing),
        env.ListFolder(this->Path({"no-folder"}), &entries), env.RenameFile(missing, target),
        env.CopyFileTo(missing, target), env.NewWritableFile(in_missing, false, &file),
        env.CreateFolder(this->Path({"no-folder", "sub"})),
        env.LockFile(this->Path({"no-folder", "c.lock"}), &lock)}) {
    EXPECT_TRUE(s.IsNotFound()) << s.ToString();
    EXPECT_TRUE(s.message().find("missing.mp3") != std::string::npos ||
                s.message().find("no-folder") != std::string::npos)
        << s.message();
  }
  EXPECT_EQ(this->Names(this->Path({})), std::vector<std::string>{});
}

// Rename and copy replace the target whole (also into another folder); a failed one, or a copy
// onto itself, leaves everything as it was.
TYPED_TEST(EnvContractTest, RenameAndCopyReplaceTheTarget) {
  const std::string from = this->Path({"iTunesDB.tmp"}), to = this->Path({"iTunesDB"});
  this->Write(from, "new database");
  this->Write(to, "the old database, which is longer");
  ASSERT_TRUE(this->env.RenameFile(from, to).ok());
  ASSERT_TRUE(this->env.CreateFolder(this->Path({"sub"})).ok());
  ASSERT_TRUE(this->env.RenameFile(to, this->Path({"sub", "moved"})).ok());
  EXPECT_EQ(this->Names(this->Path({})), std::vector<std::string>{"sub/"});
  EXPECT_EQ(this->Read(this->Path({"sub", "moved"})), "new database");
  this->Write(to, "kept");
  EXPECT_TRUE(this->env.RenameFile(this->Path({"gone"}), to).IsNotFound());
  EXPECT_EQ(this->Read(to), "kept");

  std::string big(3 << 20 | 5, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
  for (const std::string& source : {big, std::string("tiny"), std::string()}) {
    this->Write(from, source);
    ASSERT_TRUE(this->env.CopyFileTo(from, to).ok());
    EXPECT_EQ(this->Read(to), source);
  }
  this->Write(from, big);
  EXPECT_FALSE(this->env.CopyFileTo(from, from).ok());
  EXPECT_EQ(this->Read(from), big);
}

// Folders are created once and listed; they are not files: removing, probing or reading one
// fails without claiming it is missing, and a file is no folder.
TYPED_TEST(EnvContractTest, FoldersAndFiles) {
  Env& env = this->env;
  const std::string music = this->Path({"Music"}), folder = this->Path({"Music", "F00"});
  ASSERT_TRUE(env.CreateFolder(music).ok());
  EXPECT_TRUE(env.CreateFolder(WithTrailingSeparator(music)).ok());  // already there
  ASSERT_TRUE(env.CreateFolder(folder).ok());
  this->Write(this->Path({"Music", "F00", "ABCD.mp3"}), "x");
  this->Write(this->Path({}) + "Music/readme", "x");  // '/' separates on every build
  this->Write(this->Path({".hidden"}), "x");
  EXPECT_EQ(this->Names(music), (std::vector<std::string>{"F00/", "readme"}));
  EXPECT_EQ(this->Names(this->Path({})), (std::vector<std::string>{".hidden", "Music/"}));
  std::string contents;
  std::vector<FolderEntry> entries;
  const std::string readme = this->Path({"Music", "readme"});
  for (const Status& s :
       {env.RemoveFile(folder), env.ProbeFile(folder, false), env.ReadFile(folder, &contents)}) {
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.IsNotFound()) << s.ToString();
  }
  EXPECT_FALSE(env.ListFolder(readme, &entries).ok());
  EXPECT_FALSE(env.CreateFolder(readme).ok());
  EXPECT_EQ(env.KindOf(folder), PathKind::kFolder);
  // One folder by two spellings is one object; another folder is not.
  FileIdentity a, b, c, file;
  ASSERT_TRUE(env.Identify(folder, &a).ok() && env.Identify(folder + kPathSeparator, &b).ok() &&
              env.Identify(music, &c).ok() && env.Identify(readme, &file).ok());
  EXPECT_TRUE(a.kind == PathKind::kFolder && a.object == b.object && a.volume == b.volume);
  EXPECT_TRUE(a.object != c.object && file.kind == PathKind::kFile);
  EXPECT_TRUE(env.ProbeFile(readme, false).ok());
  ASSERT_TRUE(env.RemoveFile(readme).ok());
  EXPECT_EQ(env.KindOf(readme), PathKind::kNone);
  uint64_t free_bytes = 0;
  EXPECT_TRUE(env.FreeBytes(music, &free_bytes).ok() && free_bytes > 0);
  EXPECT_TRUE(env.SyncFolder(music).ok());
  if (std::is_same_v<TypeParam, DiskVolume>) {  // seconds since 1970 whatever the OS counts
    const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    EXPECT_LE(now, env.NowSeconds());
    EXPECT_LE(env.NowSeconds(), now + 2);
  }
}

// A second holder waits until the first lets go, and is told so once; a stop request ends a
// wait, holding nothing; other lock files do not wait.
TYPED_TEST(EnvContractTest, LockExcludesASecondHolderUntilReleased) {
  const std::string path = this->Path({"lock"});
  std::unique_ptr<FileLock> first, other;
  ASSERT_TRUE(this->env.LockFile(path, &first).ok());
  ASSERT_TRUE(this->env.LockFile(this->Path({"other.lock"}), &other).ok());
  std::atomic<int> second_holds{0}, told{0};
  Status second_status;
  std::thread second([&] {
    std::unique_ptr<FileLock> lock;
    second_status = this->env.LockFile(path, &lock, {[&] { ++told; }});
    second_holds = 1;
  });
  struct : StopRequest {
    bool Requested() const override { return true; }
  } stop;
  EXPECT_TRUE(this->env.LockFile(path, &other, {nullptr, &stop}).IsStopped());
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(second_holds.load() + told.load(), 1);
  first.reset();
  second.join();
  EXPECT_TRUE(second_status.ok()) << second_status.ToString();
  EXPECT_TRUE(this->env.LockFile(path, &first).ok());  // released again with the second
}

// The in-memory Env's counts, partial copies and crashes, on which the fault and crash tests
// stand: a miscount would let them skip calls, a failed copy that left nothing or a crash that
// kept unsynced bytes would let them pass for nothing. Whether a fault fires at all, and what it
// leaves, the tests that arm it see.
using Op = MemoryEnv::Op;
constexpr char kDb[] = "/ipod/iTunesDB", kTmp[] = "/ipod/iTunesDB.tmp", kSong[] = "/music/song.mp3";

// Nth counts only matching calls on its path, failed ones too, and fires once; a failed copy
// stops part way; a crash keeps only synced bytes (set-up is durable, copies are not synced).
TEST(MemoryEnvFaultTest, CountsPartialCopiesAndCrashes) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile(kSong, std::string(100, 's')).ok() && env.AddFolder("/ipod").ok());
  std::unique_ptr<WritableFile> db, tmp;
  ASSERT_TRUE(env.NewWritableFile(kDb, false, &db).ok());
  ASSERT_TRUE(env.NewWritableFile(kTmp, false, &tmp).ok());
  env.FailNth(Op::kAppend, 2, kTmp);
  EXPECT_TRUE(tmp->Append("1").ok() && db->Append("x").ok());
  EXPECT_EQ(tmp->Append("2").code(), Status::Code::kIOError);
  EXPECT_TRUE(tmp->Append("3").ok());
  EXPECT_EQ(env.Calls(Op::kAppend), 4);
  ASSERT_TRUE(tmp->Sync().ok() && tmp->Append("4").ok());
  env.FailCopyAfter(30);
  EXPECT_EQ(env.CopyFileTo(kSong, "/ipod/A.mp3").code(), Status::Code::kIOError);
  EXPECT_EQ(env.Contents("/ipod/A.mp3"), std::string(30, 's'));
  ASSERT_TRUE(env.CopyFileTo(kSong, "/ipod/A.mp3").ok());
  env.SimulateCrash();
  EXPECT_EQ(env.Contents(kTmp), "13");
  EXPECT_EQ(*env.Contents(kDb) + *env.Contents("/ipod/A.mp3"), "");
  EXPECT_EQ(env.Contents(kSong), std::string(100, 's'));
  EXPECT_FALSE(tmp->Append("x").ok());  // the writer died with the program
}

TEST(SystemEnvTest, ErrorsNameTheFailedCall) {
  DiskVolume volume;
  const std::string missing = JoinPath(volume.root(), {"missing.mp3"});
  std::string contents;
  const Status s = volume.env().ReadFile(missing, &contents);
#ifdef _WIN32
  EXPECT_TRUE(s.message().starts_with("CreateFileW " + missing + ": ")) << s.message();
  EXPECT_TRUE(s.message().ends_with(". (2)")) << s.message();
#else
  EXPECT_EQ(s.message(), "open " + missing + ": No such file or directory");
#endif
}

#ifndef _WIN32
// Plants a link to `target` where a file was just deleted: where a create comes next, as no
// racing thread could time it.
class PlantingEnv : public PosixEnv {
 public:
  Status RemoveFile(const std::string& path) override {
    const Status s = PosixEnv::RemoveFile(path);
    std::filesystem::create_symlink(target, path);
    return s;
  }
  std::string target;
};

TEST(SystemEnvTest, ALinkPlantedBeforeACreateIsNeverWrittenThrough) {
  DiskVolume volume;
  PlantingEnv env;
  env.target = JoinPath(volume.root(), {"outside"});
  const std::string staged = JoinPath(volume.root(), {"iTunesDB.tmp"});
  ASSERT_TRUE(fixture::WriteWholeFile(volume.env(), JoinPath(volume.root(), {"song"}), "s").ok());
  std::unique_ptr<WritableFile> file;
  for (const Status& s : {env.NewWritableFile(staged, false, &file),
                          env.CopyFileTo(JoinPath(volume.root(), {"song"}), staged)}) {
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(std::filesystem::exists(env.target));
    std::filesystem::remove(staged);
  }
}
#endif

#ifdef _WIN32
using Win32Test = EnvContractTest<DiskVolume>;

// Another program's handle.
ScopedHandle Open(const std::string& path, DWORD access, DWORD share) {
  return ScopedHandle(::CreateFileW(std::filesystem::path(path).c_str(), access, share, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST_F(Win32Test, ShareModesAndAttributes) {
  const std::string track = Path({"track.mp3"}), db = Path({"iTunesDB"}),
                    tmp = Path({"iTunesDB.tmp"}), copy = Path({"QKZA.mp3"});
  Write(track, "ID3");
  Write(db, "old");
  {
    ScopedHandle player = Open(track, GENERIC_READ, FILE_SHARE_READ);  // playing it
    ASSERT_TRUE(player.valid());
    EXPECT_TRUE(env.ProbeFile(track, /*share_read=*/true).ok());
    EXPECT_EQ(env.ProbeFile(track, false).code(), Status::Code::kBusy);
    const std::string read = Read(track);
    EXPECT_TRUE(read.starts_with("<Busy: ") && read.find(track) != std::string::npos) << read;
    ScopedHandle reader = Open(db, GENERIC_READ, 0);
    Write(tmp, "new");
    EXPECT_FALSE(env.RenameFile(tmp, db).ok());
    ScopedHandle writer = Open(tmp, GENERIC_WRITE, 0);  // shares nothing
    EXPECT_EQ(env.ProbeFile(tmp, true).code(), Status::Code::kBusy);
  }
  EXPECT_EQ(Read(db), "old");
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(env.NewWritableFile(copy, /*hidden=*/true, &file).ok());
  ASSERT_TRUE(file->Close().ok());
  // CREATE_ALWAYS over a hidden file fails without the attribute; the caller asked to replace.
  Write(copy, "plain");
  ASSERT_TRUE(env.NewWritableFile(copy, true, &file).ok() && file->Close().ok());
  ASSERT_TRUE(env.NewWritableFile(tmp, false, &file).ok());  // ours shares nothing either
  EXPECT_FALSE(Open(tmp, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());

  // A track copied onto the hidden one stays removable, whatever its source's attributes.
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(::SetFileAttributesW(std::filesystem::path(track).c_str(), kept));
  ASSERT_TRUE(env.CopyFileTo(track, copy).ok());
  EXPECT_EQ(::GetFileAttributesW(std::filesystem::path(copy).c_str()) & kept, 0u);
  EXPECT_TRUE(env.RemoveFile(copy).ok());
  ASSERT_TRUE(::SetFileAttributesW(std::filesystem::path(track).c_str(), FILE_ATTRIBUTE_NORMAL));
}

// Wine runs with code page 1252 unless told otherwise. Best fit would make 'a', '/' and '\' of
// characters the page lacks: another file, or a path out of the folder.
TEST_F(Win32Test, NarrowTextIsTheAnsiCodePageWithoutLookAlikes) {
  if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << ::GetACP();
  for (int byte = 1; byte < 256; ++byte) {  // every defined byte comes back as it was
    const std::string narrow(1, static_cast<char>(byte));
    const std::u16string wide = NarrowToWide(narrow);
    EXPECT_TRUE(wide == u"?" || wide == u"\uFFFD" || WideToNarrow(wide) == narrow) << byte;
  }
  EXPECT_EQ(NarrowToWide("Bj\xf6rk \x80"), u"Bj\u00f6rk \u20ac");
  EXPECT_EQ(WideToNarrow(u"\u65e5\u0101..\u2215x\uff3c\xd800"), "??..?x??");
  const std::string name = WideToNarrow(u"Beyonc\u00e9 Mot\u00f6rhead.mp3");
  Write(Path({name}), "x");
  EXPECT_EQ(Names(Path({})), std::vector<std::string>{name});
}

// The locale's collation, not the code units': case only after the letters, digits as
// characters.
TEST(Win32CollationTest, IsLinguistic) {
  for (const auto& [a, b, order] : {std::tuple{u"apple", u"Banana", -1},
                                    {u"\u00e9t\u00e9", u"ete", 1},
                                    {u"\u00e9t\u00e9", u"f", -1},
                                    {u"ABC", u"abd", -1},
                                    {u"10", u"9", -1}}) {
    EXPECT_EQ(CompareText(a, b), order) << Utf16ToUtf8(a);
  }
}
#endif  // _WIN32

}  // namespace
}  // namespace tunewell
