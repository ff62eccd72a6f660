#pragma once

#include <string>
#include <utility>

namespace tunewell {

// The outcome of an operation: ok, or a kind of failure with a message that says what and where.
// Refusals say that nothing was changed.
class [[nodiscard]] Status {
 public:
  enum class Code {
    kOk,
    kNotFound,
    kCorruption,
    kIOError,
    kNoSpace,
    kInvalidArgument,
    kRefused,
    kBusy,
    // The user asked the run to stop.
    kStopped,
  };

  Status() = default;

  static Status Ok() { return Status(); }
  static Status NotFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
  static Status Corruption(std::string msg) { return Status(Code::kCorruption, std::move(msg)); }
  static Status IOError(std::string msg) { return Status(Code::kIOError, std::move(msg)); }
  static Status NoSpace(std::string msg) { return Status(Code::kNoSpace, std::move(msg)); }
  static Status InvalidArgument(std::string msg) {
    return Status(Code::kInvalidArgument, std::move(msg));
  }
  static Status Refused(std::string msg) { return Status(Code::kRefused, std::move(msg)); }
  static Status Busy(std::string msg) { return Status(Code::kBusy, std::move(msg)); }
  static Status Stopped(std::string msg) { return Status(Code::kStopped, std::move(msg)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  bool IsCorruption() const { return code_ == Code::kCorruption; }
  bool IsNoSpace() const { return code_ == Code::kNoSpace; }
  bool IsRefused() const { return code_ == Code::kRefused; }
  bool IsStopped() const { return code_ == Code::kStopped; }
  const std::string& message() const { return message_; }

  // Drops the status on purpose. Say why beside the call.
  void IgnoreError() const {}

  // "Corruption: <message>", or "OK".
  std::string ToString() const;

  // The same failure with `context` put in front of its message; ok stays ok.
  Status Prefixed(const std::string& context) const;

 private:
  Status(Code code, std::string msg) : code_(code), message_(std::move(msg)) {}

  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace tunewell

// Returns the status of `expr` from the enclosing function unless it is ok.
#define RETURN_IF_ERROR(expr)                      \
  do {                                             \
    ::tunewell::Status status_or_ok_ = (expr);     \
    if (!status_or_ok_.ok()) return status_or_ok_; \
  } while (0)
