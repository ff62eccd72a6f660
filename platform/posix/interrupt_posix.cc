#include <signal.h>

#include <initializer_list>

#include "platform/interrupt.h"

namespace tunewell {

namespace {

// The one piece of process-wide state: a signal handler can do nothing but set a flag.
volatile sig_atomic_t stop_requested = 0;

void OnStopSignal(int /*signal*/) { stop_requested = 1; }

class SignalStopRequest : public StopRequest {
 public:
  bool Requested() const override { return stop_requested != 0; }
};

}  // namespace

StopRequest& InstallStopHandlers() {
  static SignalStopRequest request;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // The handler goes after the first signal, so that a second one ends the process; SA_RESTART
  // keeps interrupted calls (a copy, the wait for the lock) from failing on the way.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return request;
}

void IgnoreBrokenPipes() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace tunewell
