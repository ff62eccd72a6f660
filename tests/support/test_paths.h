#pragma once

// Folders of the build machine that tests read, in the form the program under test opens them.
// The build passes Linux absolute paths; under wine a path like "/work/x" resolves only while the
// current drive is Z: (wine's view of /), so on Windows it is given the drive explicitly.

#include <string>
#include <string_view>

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
// The databases taken from real iPods (one folder per iPod root).
inline std::string RealIpodsDir() { return HostPath(TUNEWELL_REAL_IPODS_DIR); }
#endif

#ifdef TUNEWELL_SOURCE_DIR
inline std::string SourceDir() { return HostPath(TUNEWELL_SOURCE_DIR); }
#endif

}  // namespace tunewell::fixture
