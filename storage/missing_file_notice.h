#pragma once

#include <string>

namespace tunewell {

// Tells the user that a track's source file could not be found. The plug-in shows a message
// box and waits for it to be closed; the command line writes to stderr; tests record.
class MissingFileNotice {
 public:
  virtual ~MissingFileNotice() = default;
  virtual void Show(const std::string& text, const std::string& caption) = 0;
};

}  // namespace tunewell
