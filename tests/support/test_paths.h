#pragma once

// Folders of the build machine that tests read, in the form the program under test opens them.
// The build passes Linux absolute paths; under wine a path like "/work/x" resolves only while the
// current drive is Z: (wine's view of /), so on Windows it is given the drive explicitly.

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell::fixture {

// `host_path` (absolute, '/'-separated) as this build's programs must name it.
inline std::string HostPath(std::string_view host_path) {
#ifdef _WIN32
  std::string out = "Z:";
  for (char c : host_path) out += c == '/' ? '\\' : c;
  return out;
#else
  return std::string(host_path);
#endif
}

#ifdef TUNEWELL_REAL_IPODS_DIR
// The databases taken from real iPods (one folder per iPod root), which sit beside the checkout
// in CI but not in a fresh clone; "" when missing. TUNEWELL_REAL_IPODS in the environment names
// another folder.
inline std::string RealIpodsDir() {
  const char* chosen = std::getenv("TUNEWELL_REAL_IPODS");
  const std::string dir = HostPath(chosen != nullptr ? chosen : TUNEWELL_REAL_IPODS_DIR);
  return Env::Default().KindOf(dir) == PathKind::kFolder ? dir : "";
}

// Skips the calling test when the real databases are not there.
#define TUNEWELL_SKIP_WITHOUT_REAL_IPODS()                                                        \
  if (::tunewell::fixture::RealIpodsDir().empty())                                                \
  GTEST_SKIP() << "../shared/real-ipods not found beside the checkout (or TUNEWELL_REAL_IPODS): " \
                  "real-iPod databases skipped"
#endif

}  // namespace tunewell::fixture
