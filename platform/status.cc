#include "platform/status.h"

namespace tunewell {

std::string Status::ToString() const {
  const char* kind = "OK";
  switch (code_) {
    case Code::kOk:
      return kind;
    case Code::kNotFound:
      kind = "Not found";
      break;
    case Code::kCorruption:
      kind = "Corruption";
      break;
    case Code::kIOError:
      kind = "I/O error";
      break;
    case Code::kNoSpace:
      kind = "No space";
      break;
    case Code::kInvalidArgument:
      kind = "Invalid argument";
      break;
    case Code::kRefused:
      kind = "Refused";
      break;
    case Code::kBusy:
      kind = "Busy";
      break;
    case Code::kStopped:
      kind = "Stopped";
      break;
  }
  return std::string(kind) + ": " + message_;
}

Status Status::Prefixed(const std::string& context) const {
  if (ok()) return *this;
  return Status(code_, context + ": " + message_);
}

}  // namespace tunewell
