#pragma once

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/lock_registry.h"
#include "platform/status.h"

namespace tunewell {

// A file system held in memory, for tests. It keeps the contracts of Env and is stricter than a
// POSIX disk where Windows is: a file opened with no sharing (a WritableFile, or a file held by
// "another program") cannot be read, probed, copied, replaced, renamed or removed while open;
// such opens fail with Busy. Tests can also make chosen calls fail, limit the room, and look at
// every byte afterwards.
//
// A failed call leaves the state as a real disk would after that failure: an Append that fails
// writes nothing, a failed rename, removal or NewWritableFile changes nothing, a copy that fails
// part-way leaves the partly written target.
//
// Paths: both '/' and kPathSeparator separate; a leading separator or a drive ("E:" followed by
// a separator) makes a root, and roots always exist. Any other folder must exist before a file
// or folder is created in it. Repeated separators and "." are ignored, ".." goes up.
//
// Thread-safe. Files and locks it hands out must not outlive it.
class MemoryEnv : public Env {
 public:
  enum class Names { kCaseSensitive, kCaseInsensitive };

  // The calls that can be counted and made to fail.
  enum class Op {
    kReadFile,
    kProbeFile,
    kFileSize,
    kListFolder,
    kFreeBytes,
    kNewWritableFile,
    kAppend,
    kSync,
    kCopy,
    kRemove,
    kRename,
    kSyncFolder,
    kSyncVolume,
    kCreateFolder,
    kLock,
    // Never counted nor stopping: a path it names cannot be looked at (no permission).
    kKindOf,
  };

  // Everything on the volume, for byte-identical comparisons before and after a failure.
  struct Snapshot {
    std::map<std::string, std::string> files;  // path -> contents
    std::set<std::string> folders;
    bool operator==(const Snapshot&) const = default;
  };

  // What FreeBytes answers when neither a capacity nor an answer is set (minus used bytes).
  static constexpr uint64_t kDefaultFreeBytes = uint64_t{1} << 40;
  // What NowSeconds answers until SetNow: 2023-11-14 22:13:20 UTC.
  static constexpr uint64_t kDefaultNow = 1'700'000'000;

  // Names are compared by ASCII case folding when case-insensitive (as on a FAT iPod); a
  // listing still shows each name as it was first created.
  explicit MemoryEnv(Names names = Names::kCaseSensitive);
  ~MemoryEnv() override;
  MemoryEnv(const MemoryEnv&) = delete;
  MemoryEnv& operator=(const MemoryEnv&) = delete;

  // ---- Env ----
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status ProbeFile(const std::string& path, bool share_read) override;
  Status FileSize(const std::string& path, uint64_t* size) override;
  PathKind KindOf(const std::string& path) override;
  // Names no links, so a path's identity is its folded key.
  Status Identify(const std::string& path, FileIdentity* identity) override;
  Status ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override;
  Status FreeBytes(const std::string& path, uint64_t* bytes) override;
  Status NewWritableFile(const std::string& path, bool hidden,
                         std::unique_ptr<WritableFile>* file) override;
  // Writes what fits when the room runs out (NoSpace), leaving that partial target.
  Status CopyFileTo(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  // Also moves a folder with everything in it, when `to` does not exist.
  Status RenameFile(const std::string& from, const std::string& to) override;
  // Counted and failed as a rename. Refused with case-insensitive names: a FAT volume under
  // Windows cannot swap two names.
  Status ExchangeFiles(const std::string& a, const std::string& b) override;
  Status SyncFolder(const std::string& path) override;
  Status SyncVolume(const std::string& path) override;
  Status CreateFolder(const std::string& path) override;
  Status LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                  const LockWait& wait = {}) override;
  uint64_t NowSeconds() override;
  // What SetMounts gave; none at first.
  Status ListMounts(std::vector<std::string>* roots) override;

  // ---- Setting up (no faults, no room limit, no holds apply) ----
  // Creates or replaces a file, creating its folders. Fails only if a file stands where a
  // folder must be.
  Status AddFile(const std::string& path, std::string_view contents);
  // Creates a folder and its parents.
  Status AddFolder(const std::string& path);
  // Puts back the files and folders of `snapshot`, their bytes durable, and removes everything
  // else: a volume to run the same steps on again. Faults, holds and counts stay.
  void Restore(const Snapshot& snapshot);
  // Removes a file, or a folder with everything in it, as if another program did. Missing is
  // fine.
  void Erase(const std::string& path);
  void SetNow(uint64_t seconds);
  void SetMounts(std::vector<std::string> roots);

  // ---- Looking ----
  // The bytes of a file; nullopt when there is no file at `path`.
  std::optional<std::string> Contents(const std::string& path) const;
  // True for a file or a folder (roots included).
  bool Exists(const std::string& path) const;
  bool IsHidden(const std::string& path) const;
  // Every file and folder (not the roots), sorted, written with kPathSeparator.
  std::vector<std::string> Paths() const;
  Snapshot TakeSnapshot() const;
  // Bytes of all files together.
  uint64_t UsedBytes() const;
  // WritableFiles created and not yet closed or destroyed.
  int OpenFileCount() const;
  // Calls of `op` since construction or ResetCounts, failed ones included.
  int Calls(Op op) const;
  // Faults that struck since construction or ResetCounts: calls failed or refused after
  // StopAfter, copies cut short, appends garbled.
  int FaultsFired() const;
  void ResetCounts();

  // ---- Faults ----
  // Every call of `op` fails with IOError until cleared; with a path, only calls that name it
  // (as either side of a rename or copy). The fault strikes before the call does anything.
  void Fail(Op op, std::string_view path = {});
  // The n-th call of `op` from now (1 = the next; with a path, counting only calls that name
  // it) fails with IOError, once. n <= 0 does nothing.
  void FailNth(Op op, int n, std::string_view path = {});
  // Forgets the faults armed for `op` (FailCopyAfter included for kCopy).
  void ClearFaults(Op op);
  void ClearAllFaults();

  // Shorthands for the faults tests want most. The ones with a path hold until ClearFaults.
  void FailNthAppend(int n) { FailNth(Op::kAppend, n); }
  void FailSync(bool on) { Toggle(Op::kSync, on); }
  void FailRename(bool on) { Toggle(Op::kRename, on); }
  void FailFreeBytes(bool on) { Toggle(Op::kFreeBytes, on); }
  void FailRemove(const std::string& path) { Fail(Op::kRemove, path); }
  void FailNewWritableFile(const std::string& path) { Fail(Op::kNewWritableFile, path); }
  void FailReadFile(const std::string& path) { Fail(Op::kReadFile, path); }
  // The nth CopyFileTo from now writes the first `bytes` bytes of the target (all of them when
  // the source is shorter), then fails with IOError, leaving that partial target. Once.
  void FailCopyAfter(uint64_t bytes, int nth = 1);
  // The n-th Append from now (with a path, counting only appends to it) reports success but
  // keeps other bytes: its data with the byte at `flip_at` inverted, or, when `flip_at` lies
  // past the data, all but the last byte. Once. As a device that corrupts silently would.
  void GarbleNthAppend(int n, size_t flip_at, std::string_view path = {});

  // ---- Room ----
  // All file bytes together may not exceed `bytes` (nullopt: no limit). An Append that does not
  // fit fails with NoSpace and writes nothing; a copy writes what fits. Setting a capacity below
  // what is used removes nothing.
  void SetCapacity(std::optional<uint64_t> bytes);
  // FreeBytes answers `bytes` whatever is used or allowed (nullopt: capacity minus used, or
  // kDefaultFreeBytes minus used without a capacity).
  void SetFreeBytes(std::optional<uint64_t> bytes);

  // ---- Other programs ----
  // Another program holds the file open with no sharing: every open fails with Busy (reads,
  // probes, copies from or to it, writing, removing, renaming).
  void HoldExclusive(const std::string& path);
  // Another program holds the file open and lets others read it (a player playing a track):
  // ProbeFile with share_read and copies from it succeed; every other open fails with Busy.
  void HoldSharedRead(const std::string& path);
  void Release(const std::string& path);

  // ---- Power loss ----
  // Drops what was written to each file since its last successful Sync (copies and files left
  // unsynced shrink, possibly to nothing), invalidates open WritableFiles and releases all
  // locks. Folder entries (creations, renames, removals) count as durable at once.
  void SimulateCrash();
  // The process stops after `calls` more counted calls: every call after those fails with
  // IOError and changes nothing. ClearAllFaults lets it run again.
  void StopAfter(int calls);

 private:
  class File;
  class Lock;
  struct Node;
  struct Rule;
  struct Parsed;
  enum class Hold { kExclusive, kSharedRead };

  void Toggle(Op op, bool on);
  Parsed Parse(std::string_view path) const;
  Node* Find(const std::string& key);
  const Node* Find(const std::string& key) const;
  // Whether the first `depth` names of `p` lead to a folder (depth 0: the root).
  bool IsFolder(const Parsed& p, size_t depth) const;
  std::string DisplayOf(const Parsed& p) const;
  Status CheckParent(const Parsed& p, const std::string& path) const;
  Status CheckOpenable(const Node& node, const std::string& key, const std::string& path,
                       bool share_read) const;
  // Counts the call and fires the faults armed for it.
  Status Strike(Op op, std::initializer_list<std::string_view> keys, const std::string& what);
  uint64_t Room() const;
  Node& NewNode(const Parsed& p, bool folder);
  void Truncate(Node& node);
  void EraseTree(const std::string& key, bool is_root);
  Status AddFolders(const Parsed& p, size_t depth);

  Status Append(const std::string& key, const std::string& path, uint64_t id,
                std::string_view data);
  Status Sync(const std::string& key, const std::string& path, uint64_t id);
  void Close(const std::string& key, uint64_t id);
  void Unlock(const std::string& key, uint64_t token);

  const Names names_;
  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;  // by folded key; roots are implicit
  std::map<std::string, Hold> holds_;
  LockRegistry locks_;  // by key
  std::vector<Rule> rules_;
  std::vector<std::pair<int, uint64_t>> copy_limits_;  // countdown, bytes
  std::vector<Rule> garbles_;                          // countdown and key; flip_at in `at`
  std::optional<int> calls_left_;                      // StopAfter
  std::map<Op, int> calls_;
  int faults_fired_ = 0;
  std::optional<uint64_t> capacity_;
  std::optional<uint64_t> free_answer_;
  std::vector<std::string> mounts_;
  uint64_t used_ = 0;
  uint64_t next_id_ = 1;
  int open_files_ = 0;
  uint64_t now_ = kDefaultNow;
};

// Lists the paths in a failed comparison readably.
void PrintTo(const MemoryEnv::Snapshot& snapshot, std::ostream* os);

}  // namespace tunewell
