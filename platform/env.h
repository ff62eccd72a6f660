#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/interrupt.h"
#include "platform/status.h"

namespace tunewell {

// One entry of a folder listing ("." and ".." are never listed).
struct FolderEntry {
  std::string name;
  bool is_folder = false;
};

enum class PathKind { kNone, kFile, kFolder, kOther };

// What a path leads to, links followed: its kind and which object of which volume it is, so
// that two names of one folder (a link, a bind mount) can be told apart from two folders.
struct FileIdentity {
  PathKind kind = PathKind::kNone;
  uint64_t volume = 0;
  uint64_t object = 0;
};

// A file being written. Closing (or destroying) it without Sync() gives no durability promise.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Appends all of `data` or fails.
  virtual Status Append(std::string_view data) = 0;
  // Flushes what was appended to the device.
  virtual Status Sync() = 0;
  virtual Status Close() = 0;
};

// Held while it lives; released on destruction.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// How LockFile behaves while another holds the lock.
struct LockWait {
  // Told once, when the lock turns out to be held by another.
  std::function<void()> on_wait;
  // Ends the wait with Stopped once it says so; null waits for as long as it takes.
  const StopRequest* stop = nullptr;
};

// The only door to the operating system. Paths are narrow text: the ANSI code page on Windows,
// UTF-8 elsewhere. Every failure says which path and what went wrong.
class Env {
 public:
  virtual ~Env() = default;

  // The real file system of this machine.
  static Env& Default();

  // Reads an existing file whole. Opened with no sharing, so a file another program is writing
  // (or holds open without sharing) fails to open. A `contents` with room enough keeps its
  // buffer, so a caller can read a file into a buffer with room to grow.
  virtual Status ReadFile(const std::string& path, std::string* contents) = 0;
  // At most the first `limit` bytes of an existing file, opened as ReadFile opens it: a look at
  // a file's start need not read all of a huge one.
  virtual Status ReadFileStart(const std::string& path, size_t limit, std::string* contents) {
    RETURN_IF_ERROR(ReadFile(path, contents));
    if (contents->size() > limit) contents->resize(limit);
    return Status::Ok();
  }

  // Opens an existing file for reading and closes it again. With `share_read` other readers may
  // hold it open (a track the player is playing); without it any other open makes this fail.
  virtual Status ProbeFile(const std::string& path, bool share_read) = 0;

  // Size in bytes of an existing file.
  virtual Status FileSize(const std::string& path, uint64_t* size) = 0;

  // What `path` itself is; a link is kOther, and so is a path that cannot be looked at (no
  // permission): only a path that is not there is kNone.
  virtual PathKind KindOf(const std::string& path) = 0;

  // What `path` leads to through any links, found without opening it for reading, so that a
  // FIFO or a device is never waited on. Fails for a dangling or looping link.
  virtual Status Identify(const std::string& path, FileIdentity* identity) = 0;

  // Lists a folder's entries, in no particular order.
  virtual Status ListFolder(const std::string& path, std::vector<FolderEntry>* entries) = 0;

  // Free bytes on the volume holding `path` (all free bytes, not only the caller's quota).
  virtual Status FreeBytes(const std::string& path, uint64_t* bytes) = 0;

  // Creates `path` empty (replacing a file of that name) for writing, with no sharing. A link
  // of that name is replaced, never written through.
  virtual Status NewWritableFile(const std::string& path, bool hidden,
                                 std::unique_ptr<WritableFile>* file) = 0;

  // Copies a file, replacing `to` (a link there too, never written through). On failure a
  // partly written `to` may remain.
  virtual Status CopyFileTo(const std::string& from, const std::string& to) = 0;

  // Deletes a file. A missing file is NotFound.
  virtual Status RemoveFile(const std::string& path) = 0;

  // Replaces `to` by `from` in one step, written through to the device.
  virtual Status RenameFile(const std::string& from, const std::string& to) = 0;

  // Swaps the files named `a` and `b` in one step: each name holds a complete file at every
  // instant. Refused, with nothing changed, where the file system cannot do that.
  virtual Status ExchangeFiles(const std::string& a, const std::string& b) {
    return Status::Refused(a + " <-> " + b + ": names cannot be swapped here");
  }

  // Whether the file at `path` holds exactly `expected`. Reads it whole; an Env may compare it
  // piece by piece instead, so that a large file is not held twice.
  virtual Status FileEquals(const std::string& path, std::string_view expected, bool* equal) {
    std::string contents;
    RETURN_IF_ERROR(ReadFile(path, &contents));
    *equal = contents == expected;
    return Status::Ok();
  }

  // Makes the entries of a folder (a rename in it) durable. A no-op where the OS has none.
  virtual Status SyncFolder(const std::string& path) = 0;

  // Puts everything written so far on the volume holding `path` (copies included) onto the
  // device, so that files a database is about to name survive a crash or a pulled cable.
  virtual Status SyncVolume(const std::string& path) = 0;

  // Creates one folder; an existing folder is fine.
  virtual Status CreateFolder(const std::string& path) = 0;

  // Blocks until this process holds the lock named by `path` (a file that is created if
  // missing; a link or anything but a plain file there is refused, never followed). Excludes
  // other processes and other holders in this process alike.
  virtual Status LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                          const LockWait& wait = {}) = 0;

  // Seconds since 1970, for seeding.
  virtual uint64_t NowSeconds() = 0;

  // Where file systems are mounted, for finding an iPod: the mount points of the process's
  // mount table on Linux, the drive roots from C:\ on on Windows (A: and B: would wake a floppy
  // drive). None unless an Env knows better.
  virtual Status ListMounts(std::vector<std::string>* roots) {
    roots->clear();
    return Status::Ok();
  }
};

}  // namespace tunewell
