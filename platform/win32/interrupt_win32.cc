#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace tunewell {

namespace {

// The one piece of process-wide state: the console calls the handler on a thread of its own.
std::atomic<int> stop_requests{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (stop_requests.fetch_add(1) > 0) return FALSE;  // the second one ends the process
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing the console, logging off or shutting down ends the process once this returns:
  // waiting here gives the run the few seconds Windows allows to stop cleanly.
  Sleep(INFINITE);
  return TRUE;
}

class ConsoleStopRequest : public StopRequest {
 public:
  bool Requested() const override { return stop_requests.load() > 0; }
};

}  // namespace

StopRequest& InstallStopHandlers() {
  static ConsoleStopRequest request;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  return request;
}

// Windows has no such signal: a failed write only fails.
void IgnoreBrokenPipes() {}

}  // namespace tunewell
