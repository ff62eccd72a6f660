#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __linux__
#include <sys/sendfile.h>
#endif

#include "platform/env.h"
#include "platform/large_buffer.h"
#include "platform/lock_registry.h"
#include "platform/mount_table.h"
#include "platform/posix/posix_env.h"

namespace tunewell {

namespace {

// The one translation of an errno into a Status: the call that failed, what it failed on (a path,
// or "from -> to"), and the system's words.
Status PosixError(const char* call, const std::string& subject, int err) {
  const std::string msg = std::string(call) + " " + subject + ": " + std::strerror(err);
  if (err == ENOENT || err == ENOTDIR) return Status::NotFound(msg);
  if (err == ENOSPC || err == EDQUOT) return Status::NoSpace(msg);
  return Status::IOError(msg);
}

// Reads from `offset` until `length` bytes are in or the file ends; `*done` says how many.
int ReadAt(int fd, char* data, size_t length, uint64_t offset, size_t* done) {
  *done = 0;
  while (*done < length) {
    const ssize_t n = ::pread(fd, data + *done, length - *done, offset + *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    *done += static_cast<size_t>(n);
  }
  return 0;
}

// Fills `data` from the start of the file. A large file's second half is read on a second
// thread: most of such a read is the kernel zeroing and filling fresh pages, which two cores do
// in half the time. `*done` is short when the file was shorter than `length`.
Status ReadSpread(int fd, char* data, size_t length, size_t* done, const std::string& path) {
  constexpr size_t kSpreadFrom = size_t{8} << 20;
  size_t first = length;
  size_t second_done = 0;
  int second_error = 0;
  std::thread second;
  if (length >= kSpreadFrom) {
    first = length / 2;
    try {
      second = std::thread(
          [&] { second_error = ReadAt(fd, data + first, length - first, first, &second_done); });
    } catch (const std::system_error&) {
      first = length;  // no thread to be had: read it all here
    }
  }
  const int first_error = ReadAt(fd, data, first, 0, done);
  if (second.joinable()) second.join();
  if (first_error != 0) return PosixError("pread", path, first_error);
  if (second_error != 0) return PosixError("pread", path, second_error);
  // A file that shrank under the first half ends there; otherwise the halves join up.
  if (*done == first) *done += second_done;
  return Status::Ok();
}

// Closes a descriptor when it goes out of scope.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

Status WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixError("write", path, errno);
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Status::Ok();
}

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  // A destructor has no one to tell; callers that care close first.
  ~PosixWritableFile() override { Close().IgnoreError(); }

  Status Append(std::string_view data) override {
    if (fd_ < 0) return Status::IOError(path_ + ": write after close");
    return WriteAll(fd_, data.data(), data.size(), path_);
  }

  Status Sync() override {
    if (fd_ < 0) return Status::IOError(path_ + ": sync after close");
    if (::fsync(fd_) != 0) return PosixError("fsync", path_, errno);
    return Status::Ok();
  }

  Status Close() override {
    if (fd_ < 0) return Status::Ok();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return PosixError("close", path_, errno);
    return Status::Ok();
  }

 private:
  std::string path_;
  int fd_;
};

class PosixFileLock : public FileLock {
 public:
  PosixFileLock(std::string path, uint64_t token, int fd)
      : path_(std::move(path)), token_(token), fd_(fd) {}
  ~PosixFileLock() override {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    LockRegistry::ForProcess().Release(path_, token_);
  }

 private:
  std::string path_;
  uint64_t token_;
  int fd_;
};

// Opens an existing file for reading without waiting on it: a FIFO or a device there would
// block a plain open until another program came along.
int OpenPlainFile(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Refuses anything but a plain file behind `fd`: a pipe, a device or a folder is no file of
// ours, and reading one could wait forever.
Status CheckPlainFile(int fd, const std::string& path, struct stat* st) {
  if (::fstat(fd, st) != 0) return PosixError("fstat", path, errno);
  if (!S_ISREG(st->st_mode)) {
    return Status::Refused(path + ": not a plain file (a folder, a pipe or a device)");
  }
  return Status::Ok();
}

Status CopyContents(int in, int out, [[maybe_unused]] uint64_t size, const std::string& from,
                    const std::string& to) {
#ifdef __linux__
  uint64_t left = size;
  while (left > 0) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, left, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) break;
      return PosixError("copy_file_range", from + " -> " + to, errno);
    }
    if (n == 0) break;
    left -= static_cast<uint64_t>(n);
  }
  if (left == 0) return Status::Ok();
  // Fall back to plain reads and writes from wherever the fast path stopped.
  if (::lseek(in, static_cast<off_t>(size - left), SEEK_SET) < 0) {
    return PosixError("lseek", from, errno);
  }
#endif
  std::string buffer(1 << 20, '\0');
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixError("read", from, errno);
    }
    if (n == 0) return Status::Ok();
    Status s = WriteAll(out, buffer.data(), static_cast<size_t>(n), to);
    if (!s.ok()) return s;
  }
}

}  // namespace

Status PosixEnv::ReadFile(const std::string& path, std::string* contents) {
  return ReadFileStart(path, SIZE_MAX, contents);
}

Status PosixEnv::ReadFileStart(const std::string& path, size_t limit, std::string* contents) {
  contents->clear();
  ScopedFd fd(OpenPlainFile(path));
  if (fd.get() < 0) return PosixError("open", path, errno);
  struct stat st;
  RETURN_IF_ERROR(CheckPlainFile(fd.get(), path, &st));
  const size_t size = std::min(static_cast<size_t>(st.st_size), limit);
  if (contents->capacity() < size) {
    // Let go of the old buffer before taking the new one.
    std::string().swap(*contents);
    ReserveLargeBuffer(contents, size);
  }
  contents->resize(size);
  size_t done = 0;
  RETURN_IF_ERROR(ReadSpread(fd.get(), contents->data(), contents->size(), &done, path));
  contents->resize(done);
  return Status::Ok();
}

Status PosixEnv::ProbeFile(const std::string& path, bool /*share_read*/) {
  // POSIX has no share modes: an existing readable file always opens.
  ScopedFd fd(OpenPlainFile(path));
  if (fd.get() < 0) return PosixError("open", path, errno);
  struct stat st;
  return CheckPlainFile(fd.get(), path, &st);
}

Status PosixEnv::FileSize(const std::string& path, uint64_t* size) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return PosixError("stat", path, errno);
  *size = static_cast<uint64_t>(st.st_size);
  return Status::Ok();
}

PathKind PosixEnv::KindOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    // A name too long to exist is not there either.
    return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG ? PathKind::kNone
                                                                        : PathKind::kOther;
  }
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return PathKind::kOther;
}

Status PosixEnv::Identify(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return PosixError("stat", path, errno);
  identity->kind = S_ISREG(st.st_mode)   ? PathKind::kFile
                   : S_ISDIR(st.st_mode) ? PathKind::kFolder
                                         : PathKind::kOther;
  identity->volume = static_cast<uint64_t>(st.st_dev);
  identity->object = static_cast<uint64_t>(st.st_ino);
  return Status::Ok();
}

Status PosixEnv::ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  entries->clear();
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return PosixError("opendir", path, errno);
  while (struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry e;
    e.name = name;
    struct stat st;
    const std::string full = path + (path.empty() || path.back() == '/' ? "" : "/") + name;
    e.is_folder = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries->push_back(std::move(e));
  }
  ::closedir(dir);
  return Status::Ok();
}

Status PosixEnv::FreeBytes(const std::string& path, uint64_t* bytes) {
  struct statvfs st;
  if (::statvfs(path.c_str(), &st) != 0) return PosixError("statvfs", path, errno);
  *bytes = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
  return Status::Ok();
}

Status PosixEnv::NewWritableFile(const std::string& path, bool /*hidden*/,
                                 std::unique_ptr<WritableFile>* file) {
  int fd = -1;
  RETURN_IF_ERROR(CreateNew(path, &fd));
  *file = std::make_unique<PosixWritableFile>(path, fd);
  return Status::Ok();
}

Status PosixEnv::CopyFileTo(const std::string& from, const std::string& to) {
  ScopedFd in(OpenPlainFile(from));
  if (in.get() < 0) return PosixError("open", from, errno);
  struct stat st;
  RETURN_IF_ERROR(CheckPlainFile(in.get(), from, &st));
  // The target is removed before it is created: a copy onto itself would lose the file.
  struct stat target;
  if (::lstat(to.c_str(), &target) == 0 && target.st_dev == st.st_dev &&
      target.st_ino == st.st_ino) {
    return Status::InvalidArgument(from + ": cannot copy a file onto itself");
  }
  int fd = -1;
  RETURN_IF_ERROR(CreateNew(to, &fd));
  ScopedFd out(fd);
  Status s = CopyContents(in.get(), out.get(), static_cast<uint64_t>(st.st_size), from, to);
  if (!s.ok()) return s;
  if (::close(out.release()) != 0) return PosixError("close", to, errno);
  return Status::Ok();
}

Status PosixEnv::RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return PosixError("unlink", path, errno);
  return Status::Ok();
}

Status PosixEnv::ExchangeFiles(const std::string& a, const std::string& b) {
#ifdef RENAME_EXCHANGE
  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) {
    return Status::Ok();
  }
  const int err = errno;
  if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) {
    return PosixError("renameat2", a + " <-> " + b, err);
  }
#endif
  return Env::ExchangeFiles(a, b);
}

Status PosixEnv::FileEquals(const std::string& path, std::string_view expected, bool* equal) {
  *equal = false;
  ScopedFd fd(OpenPlainFile(path));
  if (fd.get() < 0) return PosixError("open", path, errno);
  struct stat st;
  RETURN_IF_ERROR(CheckPlainFile(fd.get(), path, &st));
  // In pieces that stay in the processor's cache, rather than a second image of the file.
  constexpr size_t kPiece = size_t{256} << 10;
  const auto piece = std::make_unique_for_overwrite<char[]>(kPiece);
  size_t done = 0;
  for (;;) {
    const ssize_t n = ::read(fd.get(), piece.get(), kPiece);
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixError("read", path, errno);
    }
    if (n == 0) break;
    const size_t got = static_cast<size_t>(n);
    if (got > expected.size() - done ||
        std::memcmp(piece.get(), expected.data() + done, got) != 0) {
      return Status::Ok();
    }
    done += got;
  }
  *equal = done == expected.size();
  return Status::Ok();
}

Status PosixEnv::RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return PosixError("rename", from + " -> " + to, errno);
  }
  return Status::Ok();
}

Status PosixEnv::SyncFolder(const std::string& path) {
  ScopedFd fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return PosixError("open", path, errno);
  // Some file systems (FAT through FUSE, network mounts) cannot sync a folder; the rename
  // itself has happened, so only real I/O errors count.
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
    return PosixError("fsync", path, errno);
  }
  return Status::Ok();
}

Status PosixEnv::SyncVolume(const std::string& path) {
  ScopedFd fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return PosixError("open", path, errno);
#ifdef __linux__
  if (::syncfs(fd.get()) != 0) return PosixError("syncfs", path, errno);
#else
  ::sync();
#endif
  return Status::Ok();
}

Status PosixEnv::CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) {
    if (errno == EEXIST && KindOf(path) == PathKind::kFolder) return Status::Ok();
    return PosixError("mkdir", path, errno);
  }
  return Status::Ok();
}

Status PosixEnv::LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                          const LockWait& wait) {
  // flock() excludes other processes; the registry excludes other holders in this process,
  // which would share one open file description per lock object and not block each other.
  uint64_t token = 0;
  RETURN_IF_ERROR(LockRegistry::ForProcess().Acquire(path, wait, &token));
  auto give_up = [&](Status s) {
    LockRegistry::ForProcess().Release(path, token);
    return s;
  };
  // A link planted here could create or lock a file anywhere.
  ScopedFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  if (fd.get() < 0) return give_up(PosixError("open", path, errno));
  struct stat st;
  if (Status s = CheckPlainFile(fd.get(), path, &st); !s.ok()) return give_up(s);
  bool told = false;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return give_up(PosixError("flock", path, errno));
    if (!std::exchange(told, true) && wait.on_wait) wait.on_wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Looked at before the lock is tried again: a stop that came while it was held wins.
    if (wait.stop != nullptr && wait.stop->Requested()) {
      return give_up(Status::Stopped("stopped while waiting for " + path));
    }
  }
  *lock = std::make_unique<PosixFileLock>(path, token, fd.release());
  return Status::Ok();
}

uint64_t PosixEnv::NowSeconds() { return static_cast<uint64_t>(std::time(nullptr)); }

// The table's size is not known beforehand (procfs reports 0): read until it ends.
Status PosixEnv::ListMounts(std::vector<std::string>* roots) {
  roots->clear();
  const std::string path = "/proc/self/mounts";
  ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return PosixError("open", path, errno);
  std::string table;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return PosixError("read", path, errno);
    if (n == 0) break;
    table.append(buffer, static_cast<size_t>(n));
  }
  *roots = MountPointsOf(table);
  return Status::Ok();
}

// A file created new, never written through a link or another name of an existing file
// planted at `path` (which could lead outside the iPod): what is there is unlinked first,
// and one planted again before the create makes it fail.
Status PosixEnv::CreateNew(const std::string& path, int* fd) {
  if (const Status s = RemoveFile(path); !s.ok() && !s.IsNotFound()) return s;
  *fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (*fd < 0) return PosixError("open", path, errno);
  return Status::Ok();
}

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

}  // namespace tunewell
