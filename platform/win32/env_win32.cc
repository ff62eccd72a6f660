#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "platform/env.h"
#include "platform/lock_registry.h"
#include "platform/path.h"
#include "platform/text.h"
#include "win32kit/scoped_handle.h"

namespace tunewell {

namespace {

std::wstring ToWide(const std::string& path) {
  const std::u16string wide = NarrowToWide(path);
  return std::wstring(wide.begin(), wide.end());
}

std::string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD size = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (size > 0 && buffer != nullptr) text.assign(buffer, buffer + size);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  std::string message = WideToNarrow(text);
  if (message.empty()) message = "system error";
  return message + " (" + std::to_string(error) + ")";
}

// The one translation of a Windows error code into a Status: the call that failed, what it
// failed on (a path, or "from -> to"), and the system's words.
Status Win32Error(const char* call, const std::string& subject, DWORD error) {
  const std::string msg = std::string(call) + " " + subject + ": " + SystemMessage(error);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Status::NotFound(msg);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Status::NoSpace(msg);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      // Another program has the file open; trying again later may work.
      return Status::Busy(msg);
    default:
      return Status::IOError(msg);
  }
}

Status LastError(const char* call, const std::string& subject) {
  return Win32Error(call, subject, ::GetLastError());
}

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

DWORD AttributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

// Windows refuses to replace a hidden or system file by one created or copied without those
// attributes. The caller asked for the file to be replaced, so drop them and let it retry.
bool ClearedBlockingAttributes(const std::wstring& path) {
  const DWORD attributes = AttributesOf(path);
  constexpr DWORD kBlocking = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (attributes == kNoAttributes || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      (attributes & kBlocking) == 0) {
    return false;
  }
  return ::SetFileAttributesW(path.c_str(), attributes & ~kBlocking) != FALSE;
}

ScopedHandle OpenExisting(const std::wstring& path, DWORD access, DWORD share) {
  return ScopedHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Refuses anything but a file on a disk: a pipe, a console or a device name (CON, COM1) is no
// file of ours, and reading one could wait forever.
Status CheckDiskFile(HANDLE file, const std::string& path) {
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    return Status::Refused(path + ": not a plain file (a pipe or a device)");
  }
  return Status::Ok();
}

class Win32WritableFile : public WritableFile {
 public:
  Win32WritableFile(std::string path, ScopedHandle handle)
      : path_(std::move(path)), handle_(std::move(handle)) {}

  Status Append(std::string_view data) override {
    if (!handle_.valid()) return Status::IOError(path_ + ": write after close");
    while (!data.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(handle_.get(), data.data(), chunk, &written, nullptr)) {
        return LastError("WriteFile", path_);
      }
      if (written == 0) return Status::IOError(path_ + ": write made no progress");
      data.remove_prefix(written);
    }
    return Status::Ok();
  }

  Status Sync() override {
    if (!handle_.valid()) return Status::IOError(path_ + ": sync after close");
    if (!::FlushFileBuffers(handle_.get())) return LastError("FlushFileBuffers", path_);
    return Status::Ok();
  }

  Status Close() override {
    if (!handle_.valid()) return Status::Ok();
    if (!handle_.reset()) return LastError("CloseHandle", path_);
    return Status::Ok();
  }

 private:
  std::string path_;
  ScopedHandle handle_;
};

// The whole file, and far past its end, so that every holder contends for the same range.
constexpr DWORD kLockRangeLow = MAXDWORD;
constexpr DWORD kLockRangeHigh = MAXDWORD;

class Win32FileLock : public FileLock {
 public:
  Win32FileLock(std::string path, uint64_t token, ScopedHandle handle)
      : path_(std::move(path)), token_(token), handle_(std::move(handle)) {}
  ~Win32FileLock() override {
    OVERLAPPED at = {};
    ::UnlockFileEx(handle_.get(), 0, kLockRangeLow, kLockRangeHigh, &at);
    handle_.reset();
    LockRegistry::ForProcess().Release(path_, token_);
  }

 private:
  std::string path_;
  uint64_t token_;
  ScopedHandle handle_;
};

class Win32Env : public Env {
 public:
  Status ReadFile(const std::string& path, std::string* contents) override {
    return ReadFileStart(path, SIZE_MAX, contents);
  }

  Status ReadFileStart(const std::string& path, size_t limit, std::string* contents) override {
    contents->clear();
    ScopedHandle file = OpenExisting(ToWide(path), GENERIC_READ, 0);
    if (!file.valid()) return LastError("CreateFileW", path);
    RETURN_IF_ERROR(CheckDiskFile(file.get(), path));
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) return LastError("GetFileSizeEx", path);
    contents->resize(std::min(static_cast<size_t>(size.QuadPart), limit));
    size_t done = 0;
    while (done < contents->size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents->size() - done, 1u << 30));
      DWORD read = 0;
      if (!::ReadFile(file.get(), contents->data() + done, chunk, &read, nullptr)) {
        const Status s = LastError("ReadFile", path);
        contents->clear();
        return s;
      }
      if (read == 0) break;
      done += read;
    }
    contents->resize(done);
    return Status::Ok();
  }

  Status ProbeFile(const std::string& path, bool share_read) override {
    const std::wstring wide = ToWide(path);
    ScopedHandle file = OpenExisting(wide, GENERIC_READ, share_read ? FILE_SHARE_READ : 0);
    if (!file.valid()) {
      const DWORD error = ::GetLastError();
      // Opening a folder this way is refused as access denied; say what it is instead.
      const DWORD attributes = AttributesOf(wide);
      if (attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Status::IOError(path + ": is a folder");
      }
      return Win32Error("CreateFileW", path, error);
    }
    return CheckDiskFile(file.get(), path);
  }

  Status FileSize(const std::string& path, uint64_t* size) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) {
      return LastError("GetFileAttributesExW", path);
    }
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return Status::Ok();
  }

  PathKind KindOf(const std::string& path) override {
    const DWORD attributes = AttributesOf(ToWide(path));
    if (attributes == kNoAttributes) {
      // Not there, or a name or drive that cannot hold anything; what may not be looked at
      // (access denied) is there all the same.
      switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
          return PathKind::kNone;
        default:
          return PathKind::kOther;
      }
    }
    // Links and junctions are not followed, as lstat() does not follow symbolic links.
    if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
      return PathKind::kOther;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kFolder;
    return PathKind::kFile;
  }

  Status Identify(const std::string& path, FileIdentity* identity) override {
    // No access asked for: enough to learn what it is, and links and junctions are followed.
    ScopedHandle handle(::CreateFileW(ToWide(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return LastError("CreateFileW", path);
    *identity = FileIdentity{PathKind::kOther, 0, 0};
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK) return Status::Ok();
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle.get(), &info)) {
      return LastError("GetFileInformationByHandle", path);
    }
    identity->kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder
                     : (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0  ? PathKind::kOther
                                                                             : PathKind::kFile;
    identity->volume = info.dwVolumeSerialNumber;
    identity->object = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return Status::Ok();
  }

  Status ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override {
    entries->clear();
    const std::wstring pattern = ToWide(WithTrailingSeparator(path) + "*");
    WIN32_FIND_DATAW found;
    ScopedFindHandle search(::FindFirstFileW(pattern.c_str(), &found));
    if (!search.valid()) {
      const DWORD error = ::GetLastError();
      // An empty drive root has not even "." to find.
      if (error == ERROR_FILE_NOT_FOUND && KindOf(path) == PathKind::kFolder) return Status::Ok();
      return Win32Error("FindFirstFileW", path, error);
    }
    do {
      const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
      if (name == u"." || name == u"..") continue;
      FolderEntry entry;
      entry.name = WideToNarrow(name);
      entry.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entries->push_back(std::move(entry));
    } while (::FindNextFileW(search.get(), &found));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
      entries->clear();
      return Win32Error("FindNextFileW", path, error);
    }
    return Status::Ok();
  }

  Status FreeBytes(const std::string& path, uint64_t* bytes) override {
    // The call wants a folder; a file's volume is its folder's.
    std::string folder = path;
    if (KindOf(path) == PathKind::kFile) folder = ParentOf(path);
    ULARGE_INTEGER total_free;
    if (!::GetDiskFreeSpaceExW(ToWide(WithTrailingSeparator(folder)).c_str(), nullptr, nullptr,
                               &total_free)) {
      return LastError("GetDiskFreeSpaceExW", path);
    }
    *bytes = total_free.QuadPart;
    return Status::Ok();
  }

  Status NewWritableFile(const std::string& path, bool hidden,
                         std::unique_ptr<WritableFile>* file) override {
    const std::wstring wide = ToWide(path);
    const DWORD attributes = hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
    auto create = [&] {
      return ScopedHandle(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        attributes, nullptr));
    };
    ScopedHandle handle = create();
    if (!handle.valid() && ::GetLastError() == ERROR_ACCESS_DENIED && !hidden &&
        ClearedBlockingAttributes(wide)) {
      handle = create();
    }
    if (!handle.valid()) return LastError("CreateFileW", path);
    *file = std::make_unique<Win32WritableFile>(path, std::move(handle));
    return Status::Ok();
  }

  Status CopyFileTo(const std::string& from, const std::string& to) override {
    const std::wstring wide_from = ToWide(from);
    const std::wstring wide_to = ToWide(to);
    {
      ScopedHandle source = OpenExisting(wide_from, GENERIC_READ, FILE_SHARE_READ);
      if (!source.valid()) return LastError("CreateFileW", from);
      RETURN_IF_ERROR(CheckDiskFile(source.get(), from));
    }
    BOOL copied = ::CopyFileW(wide_from.c_str(), wide_to.c_str(), FALSE);
    if (!copied && ::GetLastError() == ERROR_ACCESS_DENIED && ClearedBlockingAttributes(wide_to)) {
      copied = ::CopyFileW(wide_from.c_str(), wide_to.c_str(), FALSE);
    }
    if (!copied) return LastError("CopyFileW", from + " -> " + to);
    // The copy takes the source's attributes. A read-only track would become a file that can
    // never be removed from the iPod; the copy is a plain file, as it is on POSIX.
    const DWORD attributes = AttributesOf(wide_to);
    constexpr DWORD kDropped =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributes != kNoAttributes && (attributes & kDropped) != 0 &&
        !::SetFileAttributesW(wide_to.c_str(), attributes & ~kDropped)) {
      return LastError("SetFileAttributesW", to);
    }
    // On the device before a database names it.
    ScopedHandle copy = OpenExisting(wide_to, GENERIC_WRITE, FILE_SHARE_READ);
    if (!copy.valid()) return LastError("CreateFileW", to);
    if (!::FlushFileBuffers(copy.get())) return LastError("FlushFileBuffers", to);
    return Status::Ok();
  }

  Status RemoveFile(const std::string& path) override {
    if (!::DeleteFileW(ToWide(path).c_str())) return LastError("DeleteFileW", path);
    return Status::Ok();
  }

  Status RenameFile(const std::string& from, const std::string& to) override {
    if (!::MoveFileExW(ToWide(from).c_str(), ToWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return LastError("MoveFileExW", from + " -> " + to);
    }
    return Status::Ok();
  }

  // A rename with MOVEFILE_WRITE_THROUGH is already on the device.
  Status SyncFolder(const std::string& /*path*/) override { return Status::Ok(); }

  // Flushing a volume needs rights a user lacks; each copy is flushed as it is made instead.
  Status SyncVolume(const std::string& /*path*/) override { return Status::Ok(); }

  Status CreateFolder(const std::string& path) override {
    if (!::CreateDirectoryW(ToWide(path).c_str(), nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_ALREADY_EXISTS && KindOf(path) == PathKind::kFolder) {
        return Status::Ok();
      }
      return Win32Error("CreateDirectoryW", path, error);
    }
    return Status::Ok();
  }

  Status LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                  const LockWait& wait) override {
    // LockFileEx excludes other processes; the registry makes holders in this process wait for
    // each other here rather than each opening the file and blocking inside the system call.
    uint64_t token = 0;
    RETURN_IF_ERROR(LockRegistry::ForProcess().Acquire(path, wait, &token));
    auto give_up = [&](Status s) {
      LockRegistry::ForProcess().Release(path, token);
      return s;
    };
    // A link or junction planted here is opened as itself, never followed.
    ScopedHandle handle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.valid()) return give_up(LastError("CreateFileW", path));
    if (Status s = CheckDiskFile(handle.get(), path); !s.ok()) return give_up(s);
    if (KindOf(path) != PathKind::kFile) {
      return give_up(Status::Refused(path + ": not a plain file (a link or a device)"));
    }
    bool told = false;
    for (;;) {
      OVERLAPPED at = {};
      if (::LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                       kLockRangeLow, kLockRangeHigh, &at)) {
        break;
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        handle.reset();
        return give_up(Win32Error("LockFileEx", path, error));
      }
      if (!told && wait.on_wait) wait.on_wait();
      told = true;
      ::Sleep(50);
      // Looked at before the lock is tried again: a stop that came while it was held wins.
      if (wait.stop != nullptr && wait.stop->Requested()) {
        handle.reset();
        return give_up(Status::Stopped("stopped while waiting for " + path));
      }
    }
    *lock = std::make_unique<Win32FileLock>(path, token, std::move(handle));
    return Status::Ok();
  }

  Status ListMounts(std::vector<std::string>* roots) override {
    roots->clear();
    const DWORD drives = ::GetLogicalDrives();
    if (drives == 0) return LastError("GetLogicalDrives", "");
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
      if (drives & (DWORD{1} << (letter - 'A'))) roots->push_back(std::string(1, letter) + ":\\");
    }
    return Status::Ok();
  }

  uint64_t NowSeconds() override {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // FILETIME counts 100 ns steps from 1601; 1970 is 11644473600 seconds later.
    constexpr uint64_t kTicksPerSecond = 10'000'000;
    constexpr uint64_t kEpochDifference = 11'644'473'600;
    return ticks / kTicksPerSecond - kEpochDifference;
  }
};

}  // namespace

Env& Env::Default() {
  static Win32Env env;
  return env;
}

}  // namespace tunewell
