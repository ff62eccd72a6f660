#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// Checks the new file's bytes before they replace the old ones.
using ContentCheck = std::function<Status(std::string_view contents)>;

// How a new version is written.
struct StageOptions {
  // The new file is hidden (the auto-sync file).
  bool hidden = false;
  // The new file is read back and compared with what was written, then checked, before it may
  // replace the old one (the databases).
  bool read_back = true;
};

// Writing a file safely, the one way: a new version of a file, written beside it as
// "<path>.tmp", flushed to the device, read back and checked, waiting to replace the file.
// Removed again unless committed.
class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile();

  // Writes and checks the new version. On failure nothing is left behind.
  static Status Stage(Env& env, const std::string& path, std::string_view contents,
                      const ContentCheck& check, StagedFile* staged);
  static Status Stage(Env& env, const std::string& path, std::string_view contents,
                      const ContentCheck& check, const StageOptions& options, StagedFile* staged);

  // Puts the new version in place in one step and syncs the folder; the current file becomes
  // `backup_path` (unless empty) only once that succeeded, and a backup that cannot be made is
  // skipped, keeping the older one. On failure the old file and the backup are exactly as they
  // were and the new version is removed.
  Status Commit(const std::string& backup_path);

 private:
  Status Finish();
  void Discard();

  Env* env_ = nullptr;
  std::string path_;
  std::string temp_;
};

// Stage and Commit in one: replaces the file at `path` by `contents` so that a failure at any
// point leaves the old file as it was.
Status ReplaceFileSafely(Env& env, const std::string& path, std::string_view contents,
                         const ContentCheck& check, const std::string& backup_path);

// The same for a file that is only written, never verified (a new empty database, a demo file,
// the auto-sync selection): written whole under the temporary name, flushed, renamed into
// place.
Status WriteFileSafely(Env& env, const std::string& path, std::string_view contents,
                       const StageOptions& options = {.hidden = false, .read_back = false});

}  // namespace tunewell
