#pragma once

namespace tunewell {

// Whether the user has asked the run to stop. Asked between steps that are safe to stop at.
class StopRequest {
 public:
  virtual ~StopRequest() = default;
  virtual bool Requested() const = 0;
};

// The process's own request: Ctrl-C and termination signals (SIGINT, SIGTERM, SIGHUP on POSIX;
// console control events on Windows) set it once this has been called, instead of ending the
// process. A second signal ends the process at once; the next run cleans up after it.
StopRequest& InstallStopHandlers();

// A reader that goes away (`tunewell list | head`) makes writes to the output fail instead of
// ending the process: what the program writes there is never a reason to stop a run.
void IgnoreBrokenPipes();

}  // namespace tunewell
