// The same expectations for every Env: the real file system of this build (in a fresh temporary
// folder) and the in-memory one that other tests stand on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/env.h"
#include "platform/memory/memory_env.h"
#include "platform/path.h"

namespace tunewell {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class DiskVolume {
 public:
  DiskVolume() {
    std::random_device seed;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
      folder_ = base / ("tunewell-platform-test-" + std::to_string(seed()));
      if (fs::create_directory(folder_)) break;
    }
    root_ = WithTrailingSeparator(folder_.string());
  }
  ~DiskVolume() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  Env& env() { return Env::Default(); }
  const std::string& root() const { return root_; }

 private:
  fs::path folder_;
  std::string root_;
};

class MemoryVolume {
 public:
  MemoryVolume() : root_(JoinPath(std::string(1, kPathSeparator), {"volume", ""})) {
    EXPECT_TRUE(env_.AddFolder(root_).ok());
  }
  Env& env() { return env_; }
  const std::string& root() const { return root_; }

 private:
  MemoryEnv env_;
  std::string root_;
};

template <typename Volume>
class EnvContractTest : public ::testing::Test {
 protected:
  Env& env() { return volume_.env(); }
  std::string Path(std::initializer_list<std::string_view> parts) {
    return JoinPath(volume_.root(), parts);
  }
  const std::string& root() const { return volume_.root(); }

  void Write(const std::string& path, std::string_view contents) {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(env().NewWritableFile(path, false, &file).ok()) << path;
    ASSERT_TRUE(file->Append(contents).ok());
    ASSERT_TRUE(file->Close().ok());
  }
  std::string Read(const std::string& path) {
    std::string contents;
    const Status s = env().ReadFile(path, &contents);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return contents;
  }
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<FolderEntry> entries;
    const Status s = env().ListFolder(folder, &entries);
    EXPECT_TRUE(s.ok()) << s.ToString();
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name + (e.is_folder ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  Volume volume_;
};

using Volumes = ::testing::Types<DiskVolume, MemoryVolume>;
class VolumeNames {
 public:
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
  {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(this->env().NewWritableFile(path, false, &file).ok());
    ASSERT_TRUE(file->Append(std::string_view(bytes).substr(0, 5)).ok());
    ASSERT_TRUE(file->Append("").ok());
    ASSERT_TRUE(file->Append(std::string_view(bytes).substr(5)).ok());
    ASSERT_TRUE(file->Sync().ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_TRUE(file->Close().ok());  // closing twice is harmless
    EXPECT_FALSE(file->Append("x").ok());
  }
  EXPECT_EQ(this->Read(path), bytes);
  uint64_t size = 0;
  ASSERT_TRUE(this->env().FileSize(path, &size).ok());
  EXPECT_EQ(size, bytes.size());
  EXPECT_EQ(this->env().KindOf(path), PathKind::kFile);

  this->Write(path, "short");
  EXPECT_EQ(this->Read(path), "short");
  this->Write(path, "");
  EXPECT_EQ(this->Read(path), "");
  ASSERT_TRUE(this->env().FileSize(path, &size).ok());
  EXPECT_EQ(size, 0u);
}

TYPED_TEST(EnvContractTest, DestroyingAnUnclosedFileKeepsItsBytes) {
  const std::string path = this->Path({"unclosed"});
  {
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(this->env().NewWritableFile(path, true, &file).ok());
    ASSERT_TRUE(file->Append("kept").ok());
  }
  EXPECT_EQ(this->Read(path), "kept");
}

// Missing things are NotFound, and the message names the path.
TYPED_TEST(EnvContractTest, MissingPathsAreNotFound) {
  Env& env = this->env();
  const std::string missing = this->Path({"missing.mp3"});
  const std::string in_missing_folder = this->Path({"no-folder", "x.mp3"});
  std::string contents = "stale";
  uint64_t size = 0;
  std::vector<FolderEntry> entries;
  std::unique_ptr<WritableFile> file;
  const std::vector<Status> results = {
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
  };
  for (size_t i = 0; i < results.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(results[i].IsNotFound()) << results[i].ToString();
    const std::string& message = results[i].message();
    EXPECT_TRUE(message.find("missing.mp3") != std::string::npos ||
                message.find("no-folder") != std::string::npos)
        << message;
  }
  EXPECT_EQ(env.KindOf(missing), PathKind::kNone);
  EXPECT_EQ(env.KindOf(this->Path({"target"})), PathKind::kNone);  // nothing was created
  EXPECT_EQ(file, nullptr);
}

TYPED_TEST(EnvContractTest, RenameReplacesTheTarget) {
  const std::string from = this->Path({"iTunesDB.tmp"});
  const std::string to = this->Path({"iTunesDB"});
  this->Write(from, "new database");
  this->Write(to, "the old database, which is longer");
  ASSERT_TRUE(this->env().RenameFile(from, to).ok());
  EXPECT_EQ(this->Read(to), "new database");
  EXPECT_EQ(this->env().KindOf(from), PathKind::kNone);
  EXPECT_EQ(this->Names(this->root()), std::vector<std::string>{"iTunesDB"});

  // Onto a free name, and into another folder.
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"sub"})).ok());
  ASSERT_TRUE(this->env().RenameFile(to, this->Path({"sub", "moved"})).ok());
  EXPECT_EQ(this->Read(this->Path({"sub", "moved"})), "new database");

  // A failed rename leaves the target alone.
  const std::string kept = this->Path({"kept"});
  this->Write(kept, "kept");
  EXPECT_TRUE(this->env().RenameFile(this->Path({"gone"}), kept).IsNotFound());
  EXPECT_EQ(this->Read(kept), "kept");
}

TYPED_TEST(EnvContractTest, RemoveFile) {
  const std::string path = this->Path({"track.mp3"});
  this->Write(path, "ID3");
  this->Write(this->Path({"other.mp3"}), "ID3");
  ASSERT_TRUE(this->env().RemoveFile(path).ok());
  EXPECT_EQ(this->env().KindOf(path), PathKind::kNone);
  EXPECT_EQ(this->Names(this->root()), std::vector<std::string>{"other.mp3"});
  EXPECT_TRUE(this->env().RemoveFile(path).IsNotFound());

  // A folder is not a file: it stays.
  const std::string folder = this->Path({"F00"});
  ASSERT_TRUE(this->env().CreateFolder(folder).ok());
  EXPECT_FALSE(this->env().RemoveFile(folder).ok());
  EXPECT_EQ(this->env().KindOf(folder), PathKind::kFolder);
}

TYPED_TEST(EnvContractTest, ListFolderShowsEntriesOnly) {
  EXPECT_TRUE(this->Names(this->root()).empty());
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"Music"})).ok());
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"Music", "F00"})).ok());
  this->Write(this->Path({"Music", "F00", "ABCD.mp3"}), "x");
  this->Write(this->Path({"Music", "readme"}), "x");
  this->Write(this->Path({".hidden"}), "x");
  EXPECT_EQ(this->Names(this->Path({"Music"})), (std::vector<std::string>{"F00/", "readme"}));
  EXPECT_EQ(this->Names(this->root()), (std::vector<std::string>{".hidden", "Music/"}));
  EXPECT_TRUE(this->Names(this->Path({"Music", "F00"})) == std::vector<std::string>{"ABCD.mp3"});

  std::vector<FolderEntry> entries;
  EXPECT_FALSE(this->env().ListFolder(this->Path({"Music", "readme"}), &entries).ok());
}

TYPED_TEST(EnvContractTest, CreateFolder) {
  const std::string folder = this->Path({"iPod_Control"});
  ASSERT_TRUE(this->env().CreateFolder(folder).ok());
  EXPECT_EQ(this->env().KindOf(folder), PathKind::kFolder);
  EXPECT_TRUE(this->env().CreateFolder(folder).ok());  // already there
  EXPECT_TRUE(this->env().CreateFolder(WithTrailingSeparator(folder)).ok());

  // A file of that name is not a folder, and survives the attempt.
  const std::string file = this->Path({"iTunes"});
  this->Write(file, "file");
  EXPECT_FALSE(this->env().CreateFolder(file).ok());
  EXPECT_EQ(this->Read(file), "file");
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
  const std::string small = this->Path({"small.mp3"});
  this->Write(small, "tiny");
  ASSERT_TRUE(this->env().CopyFileTo(small, to).ok());
  EXPECT_EQ(this->Read(to), "tiny");

  const std::string empty = this->Path({"empty.mp3"});
  this->Write(empty, "");
  ASSERT_TRUE(this->env().CopyFileTo(empty, to).ok());
  EXPECT_EQ(this->Read(to), "");

  EXPECT_TRUE(this->env().CopyFileTo(from, this->Path({"no-folder", "x"})).IsNotFound());

  // A copy onto itself fails and keeps the file.
  EXPECT_FALSE(this->env().CopyFileTo(from, from).ok());
  EXPECT_EQ(this->Read(from), big);
}

TYPED_TEST(EnvContractTest, ProbeFindsFilesOnly) {
  const std::string file = this->Path({"song.mp3"});
  this->Write(file, "x");
  EXPECT_TRUE(this->env().ProbeFile(file, true).ok());
  EXPECT_TRUE(this->env().ProbeFile(file, false).ok());
  const std::string folder = this->Path({"folder"});
  ASSERT_TRUE(this->env().CreateFolder(folder).ok());
  EXPECT_FALSE(this->env().ProbeFile(folder, false).ok());
  EXPECT_EQ(this->env().KindOf(folder), PathKind::kFolder);
}

TYPED_TEST(EnvContractTest, ForwardSlashesSeparateToo) {
  ASSERT_TRUE(this->env().CreateFolder(this->Path({"sub"})).ok());
  this->Write(this->root() + "sub/name.txt", "slash");
  EXPECT_EQ(this->Read(this->Path({"sub", "name.txt"})), "slash");
}

TYPED_TEST(EnvContractTest, VolumeQueries) {
  uint64_t free_bytes = 0;
  ASSERT_TRUE(this->env().FreeBytes(this->root(), &free_bytes).ok());
  EXPECT_GT(free_bytes, 0u);
  EXPECT_TRUE(this->env().SyncFolder(this->root()).ok());
  // Some time after 2020: good enough for a seed.
  EXPECT_GT(this->env().NowSeconds(), 1'577'836'800u);
}

// A second holder waits until the first lets go, and then gets the lock.
TYPED_TEST(EnvContractTest, LockExcludesASecondHolderUntilReleased) {
  const std::string path = this->Path({"lock"});
  std::unique_ptr<FileLock> first;
  ASSERT_TRUE(this->env().LockFile(path, &first).ok());
  EXPECT_EQ(this->env().KindOf(path), PathKind::kFile);

  std::atomic<bool> second_holds{false};
  Status second_status;
  std::thread other([&] {
    std::unique_ptr<FileLock> second;
    second_status = this->env().LockFile(path, &second);
    second_holds = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(second_holds.load());
  first.reset();
  other.join();
  EXPECT_TRUE(second_holds.load());
  EXPECT_TRUE(second_status.ok()) << second_status.ToString();

  // Released again when the second lock went away.
  ASSERT_TRUE(this->env().LockFile(path, &first).ok());
}

TYPED_TEST(EnvContractTest, LocksOnDifferentFilesDoNotWait) {
  std::unique_ptr<FileLock> a, b;
  ASSERT_TRUE(this->env().LockFile(this->Path({"a.lock"}), &a).ok());
  ASSERT_TRUE(this->env().LockFile(this->Path({"b.lock"}), &b).ok());
  EXPECT_TRUE(this->env().LockFile(this->Path({"no-folder", "c.lock"}), &b).IsNotFound());
}

}  // namespace
}  // namespace tunewell
