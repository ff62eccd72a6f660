#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// Checks the new file's bytes before they replace the old ones.
using ContentCheck = std::function<Status(std::string_view contents)>;

// A new version of a file, written beside it as "<path>.tmp", flushed to the device, read back
// and checked, waiting to replace the file. Removed again unless committed.
class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile();

  // Writes and checks the new version. On failure nothing is left behind.
  static Status Stage(Env& env, const std::string& path, std::string_view contents,
                      const ContentCheck& check, StagedFile* staged);

  // Keeps the current file as `backup_path` (unless empty; a backup that cannot be made is
  // skipped), then renames the new version over it in one step and syncs the folder. On
  // failure the old file is exactly as it was and the new version is removed.
  Status Commit(const std::string& backup_path);

 private:
  void Discard();

  Env* env_ = nullptr;
  std::string path_;
  std::string temp_;
};

// Stage and Commit in one: replaces the file at `path` by `contents` so that a failure at any
// point leaves the old file as it was.
Status ReplaceFileSafely(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const std::string& backup_path);

}  // namespace tunewell
