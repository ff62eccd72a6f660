#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tunewell {

// The file system of a POSIX machine, Env::Default() there. Its calls reach each other through
// the interface, so that a test can step in between two of them (plant a link after a delete).
class PosixEnv : public Env {
 public:
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status ReadFileStart(const std::string& path, size_t limit, std::string* contents) override;
  Status ProbeFile(const std::string& path, bool /*share_read*/) override;
  Status FileSize(const std::string& path, uint64_t* size) override;
  PathKind KindOf(const std::string& path) override;
  Status Identify(const std::string& path, FileIdentity* identity) override;
  Status ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override;
  Status FreeBytes(const std::string& path, uint64_t* bytes) override;
  Status NewWritableFile(const std::string& path, bool /*hidden*/,
                         std::unique_ptr<WritableFile>* file) override;
  Status CopyFileTo(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status ExchangeFiles(const std::string& a, const std::string& b) override;
  Status FileEquals(const std::string& path, std::string_view expected, bool* equal) override;
  Status RenameFile(const std::string& from, const std::string& to) override;
  Status SyncFolder(const std::string& path) override;
  Status SyncVolume(const std::string& path) override;
  Status CreateFolder(const std::string& path) override;
  Status LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                  const LockWait& wait) override;
  Status ListMounts(std::vector<std::string>* roots) override;
  uint64_t NowSeconds() override;

 private:
  // A file created new, never written through a link or another name of an existing file
  // planted at `path` (which could lead outside the iPod): what is there is unlinked first,
  // and one planted again before the create makes it fail.
  Status CreateNew(const std::string& path, int* fd);
};

}  // namespace tunewell
