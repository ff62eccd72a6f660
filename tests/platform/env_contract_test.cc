// The one place the Env behaviours are tested: the same cases over the real file system of this
// build (POSIX, or Win32 under wine) and over the in-memory one that the other tests stand on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/env.h"
#include "platform/memory/memory_env.h"
#include "platform/path.h"
#include "tests/support/temp_folder.h"

namespace tunewell {
namespace {

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
  Env& env() { return volume_.env(); }
  std::string Path(std::initializer_list<std::string_view> parts) {
    return JoinPath(volume_.root(), parts);
  }
  void Write(const std::string& path, std::string_view contents) {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(env().NewWritableFile(path, false, &file).ok()) << path;
    ASSERT_TRUE(file->Append(contents).ok());
    ASSERT_TRUE(file->Close().ok());
  }
  std::string Read(const std::string& path) {
    std::string contents;
    const Status s = env().ReadFile(path, &contents);
    return s.ok() ? contents : "<" + s.ToString() + ">";
  }
  // Entry names, folders with a trailing '/', sorted.
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(env().ListFolder(folder, &entries).ok()) << folder;
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name + (e.is_folder ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
  }

  Volume volume_;
};

using Volumes = ::testing::Types<DiskVolume, MemoryVolume>;
struct VolumeNames {
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, DiskVolume> ? "Disk" : "Memory";
  }
};
TYPED_TEST_SUITE(EnvContractTest, Volumes, VolumeNames);

// Any bytes, in several appends, come back exactly; a new file replaces the old one whole.
TYPED_TEST(EnvContractTest, WrittenBytesReadBackExactly) {
  const std::string path = this->Path({"data.bin"});
  std::string bytes;
  for (int i = 0; i < 3 * 65536 + 17; ++i) bytes.push_back(static_cast<char>(i * 131 + i / 7));
  bytes += std::string("\0\r\n\xFF", 4);
  std::unique_ptr<WritableFile> file;
  ASSERT_TRUE(this->env().NewWritableFile(path, false, &file).ok());
  ASSERT_TRUE(file->Append(std::string_view(bytes).substr(0, 5)).ok());
  ASSERT_TRUE(file->Append("").ok());
  ASSERT_TRUE(file->Append(std::string_view(bytes).substr(5)).ok());
  ASSERT_TRUE(file->Sync().ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_TRUE(file->Close().ok());  // closing twice is harmless
  EXPECT_FALSE(file->Append("x").ok());
  EXPECT_EQ(this->Read(path), bytes);
  uint64_t size = 0;
  ASSERT_TRUE(this->env().FileSize(path, &size).ok());
  EXPECT_EQ(size, bytes.size());
  EXPECT_EQ(this->env().KindOf(path), PathKind::kFile);

  this->Write(path, "short");
  EXPECT_EQ(this->Read(path), "short");
  this->Write(path, "");
  EXPECT_EQ(this->Read(path), "");

  // A file destroyed unclosed keeps what was appended.
  ASSERT_TRUE(this->env().NewWritableFile(path, true, &file).ok());
  ASSERT_TRUE(file->Append("kept").ok());
  file.reset();
  EXPECT_EQ(this->Read(path), "kept");
}

// Missing things are NotFound, the message names the path, and nothing is created.
TYPED_TEST(EnvContractTest, MissingPathsAreNotFound) {
  Env& env = this->env();
  const std::string missing = this->Path({"missing.mp3"});
  const std::string in_missing_folder = this->Path({"no-folder", "x.mp3"});
  std::string contents;
  uint64_t size = 0;
  std::vector<FolderEntry> entries;
  std::unique_ptr<WritableFile> file;
  std::unique_ptr<FileLock> lock;
  const Status results[] = {
      env.ReadFile(missing, &contents),
      env.ReadFile(in_missing_folder, &contents),
      env.ProbeFile(missing, true),
      env.ProbeFile(missing, false),
      env.FileSize(missing, &size),
      env.RemoveFile(missing),
      env.ListFolder(this->Path({"no-folder"}), &entries),
      env.RenameFile(missing, this->Path({"target"})),
      env.CopyFileTo(missing, this->Path({"target"})),
      env.NewWritableFile(in_missing_folder, false, &file),
      env.CreateFolder(this->Path({"no-folder", "sub"})),
      env.LockFile(this->Path({"no-folder", "c.lock"}), &lock),
  };
  for (const Status& s : results) {
    EXPECT_TRUE(s.IsNotFound()) << s.ToString();
    EXPECT_TRUE(s.message().find("missing.mp3") != std::string::npos ||
                s.message().find("no-folder") != std::string::npos)
        << s.message();
  }
  EXPECT_EQ(env.KindOf(missing), PathKind::kNone);
  EXPECT_EQ(env.KindOf(this->Path({"target"})), PathKind::kNone);
  EXPECT_EQ(file, nullptr);
}

TYPED_TEST(EnvContractTest, RenameReplacesTheTarget) {
  const std::string from = this->Path({"iTunesDB.tmp"});
  const std::string to = this->Path({"iTunesDB"});
  this->Write(from, "new database");
  this->Write(to, "the old database, which is longer");
  ASSERT_TRUE(this->env().RenameFile(from, to).ok());
  EXPECT_EQ(this->Read(to), "new database");
  EXPECT_EQ(this->Names(this->Path({})), std::vector<std::string>{"iTunesDB"});

  // Into another folder.
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"sub"})).ok());
  ASSERT_TRUE(this->env().RenameFile(to, this->Path({"sub", "moved"})).ok());
  EXPECT_EQ(this->Read(this->Path({"sub", "moved"})), "new database");

  // A failed rename leaves the target alone.
  this->Write(to, "kept");
  EXPECT_TRUE(this->env().RenameFile(this->Path({"gone"}), to).IsNotFound());
  EXPECT_EQ(this->Read(to), "kept");
}

// Files are removed, folders are not files: they stay, and reading or probing one fails without
// claiming it is missing.
TYPED_TEST(EnvContractTest, RemoveFileAndFoldersThatAreNoFiles) {
  const std::string path = this->Path({"track.mp3"});
  this->Write(path, "ID3");
  this->Write(this->Path({"other.mp3"}), "ID3");
  ASSERT_TRUE(this->env().RemoveFile(path).ok());
  EXPECT_EQ(this->Names(this->Path({})), std::vector<std::string>{"other.mp3"});
  EXPECT_TRUE(this->env().RemoveFile(path).IsNotFound());

  const std::string folder = this->Path({"F00"});
  ASSERT_TRUE(this->env().CreateFolder(folder).ok());
  std::string contents;
  for (const Status& s : {this->env().RemoveFile(folder), this->env().ProbeFile(folder, false),
                          this->env().ReadFile(folder, &contents)}) {
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.IsNotFound()) << s.ToString();
  }
  EXPECT_EQ(this->env().KindOf(folder), PathKind::kFolder);
  EXPECT_TRUE(this->env().ProbeFile(this->Path({"other.mp3"}), true).ok());
  EXPECT_TRUE(this->env().ProbeFile(this->Path({"other.mp3"}), false).ok());
}

TYPED_TEST(EnvContractTest, FoldersAreCreatedAndListed) {
  const std::string music = this->Path({"Music"});
  ASSERT_TRUE(this->env().CreateFolder(music).ok());
  EXPECT_TRUE(this->env().CreateFolder(music).ok());  // already there
  EXPECT_TRUE(this->env().CreateFolder(WithTrailingSeparator(music)).ok());
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"Music", "F00"})).ok());
  this->Write(this->Path({"Music", "F00", "ABCD.mp3"}), "x");
  this->Write(this->Path({"Music", "readme"}), "x");
  this->Write(this->Path({".hidden"}), "x");
  EXPECT_EQ(this->Names(music), (std::vector<std::string>{"F00/", "readme"}));
  EXPECT_EQ(this->Names(this->Path({})), (std::vector<std::string>{".hidden", "Music/"}));
  std::vector<FolderEntry> entries;
  EXPECT_FALSE(this->env().ListFolder(this->Path({"Music", "readme"}), &entries).ok());

  // A file of that name is not a folder, and survives the attempt.
  EXPECT_FALSE(this->env().CreateFolder(this->Path({"Music", "readme"})).ok());
  EXPECT_EQ(this->Read(this->Path({"Music", "readme"})), "x");
  // '/' separates on every build.
  this->Write(this->Path({}) + "Music/slash.txt", "slash");
  EXPECT_EQ(this->Read(this->Path({"Music", "slash.txt"})), "slash");
}

TYPED_TEST(EnvContractTest, CopyFileReplacesTheTargetWhole) {
  std::string big;
  for (int i = 0; i < (3 << 20) + 5; ++i) big.push_back(static_cast<char>(i % 251));
  const std::string from = this->Path({"source.mp3"});
  const std::string to = this->Path({"copy.mp3"});
  this->Write(from, big);
  ASSERT_TRUE(this->env().CopyFileTo(from, to).ok());
  EXPECT_EQ(this->Read(to), big);
  EXPECT_EQ(this->Read(from), big);
  // A shorter source leaves no tail of the old target.
  for (const char* small : {"tiny", ""}) {
    this->Write(this->Path({"small.mp3"}), small);
    ASSERT_TRUE(this->env().CopyFileTo(this->Path({"small.mp3"}), to).ok());
    EXPECT_EQ(this->Read(to), small);
  }
  EXPECT_TRUE(this->env().CopyFileTo(from, this->Path({"no-folder", "x"})).IsNotFound());
  // A copy onto itself fails and keeps the file.
  EXPECT_FALSE(this->env().CopyFileTo(from, from).ok());
  EXPECT_EQ(this->Read(from), big);
}

TYPED_TEST(EnvContractTest, VolumeQueries) {
  uint64_t free_bytes = 0;
  ASSERT_TRUE(this->env().FreeBytes(this->Path({}), &free_bytes).ok());
  EXPECT_GT(free_bytes, 0u);
  EXPECT_TRUE(this->env().SyncFolder(this->Path({})).ok());
  if (std::is_same_v<TypeParam, DiskVolume>) {
    // The system clock, in seconds since 1970 whatever the OS counts from.
    const uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    EXPECT_LE(now, this->env().NowSeconds());
    EXPECT_LE(this->env().NowSeconds(), now + 2);
  }
}

// A second holder waits until the first lets go; other lock files do not wait.
TYPED_TEST(EnvContractTest, LockExcludesASecondHolderUntilReleased) {
  const std::string path = this->Path({"lock"});
  std::unique_ptr<FileLock> first, other;
  ASSERT_TRUE(this->env().LockFile(path, &first).ok());
  EXPECT_EQ(this->env().KindOf(path), PathKind::kFile);
  ASSERT_TRUE(this->env().LockFile(this->Path({"other.lock"}), &other).ok());

  std::atomic<bool> second_holds{false};
  Status second_status;
  std::thread second([&] {
    std::unique_ptr<FileLock> lock;
    second_status = this->env().LockFile(path, &lock);
    second_holds = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(second_holds.load());
  first.reset();
  second.join();
  EXPECT_TRUE(second_status.ok()) << second_status.ToString();
  ASSERT_TRUE(this->env().LockFile(path, &first).ok());  // released again with the second
}

}  // namespace
}  // namespace tunewell
