#pragma once

// Folders of the build machine, named as this build's programs open them: under wine a Linux
// path resolves only through drive Z:.

#include <cstdlib>
#include <string>

#include "platform/env.h"

namespace tunewell::fixture {

#ifdef TUNEWELL_REAL_IPODS_DIR
// The databases taken from real iPods (beside the checkout in CI, not in a fresh clone, or where
// TUNEWELL_REAL_IPODS says); "" when missing.
inline std::string RealIpodsDir() {
  const char* chosen = std::getenv("TUNEWELL_REAL_IPODS");
  std::string dir = chosen != nullptr ? chosen : TUNEWELL_REAL_IPODS_DIR;
#ifdef _WIN32
  for (char& c : dir) c = c == '/' ? '\\' : c;
  dir = "Z:" + dir;
#endif
  return Env::Default().KindOf(dir) == PathKind::kFolder ? dir : "";
}

#define TUNEWELL_SKIP_WITHOUT_REAL_IPODS()                                                        \
  if (::tunewell::fixture::RealIpodsDir().empty())                                                \
  GTEST_SKIP() << "../shared/real-ipods not found beside the checkout (or TUNEWELL_REAL_IPODS): " \
                  "real-iPod databases skipped"
#endif

}  // namespace tunewell::fixture
