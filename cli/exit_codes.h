#pragma once

namespace tunewell::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 1;
// The iPod or its database cannot be used; nothing was changed.
inline constexpr int kExitUnusable = 2;
// The run did its work but some tracks were not copied.
inline constexpr int kExitIncomplete = 3;
// Stopped by Ctrl-C or a termination signal, the shell's number for an interrupt; the copied
// files were taken off again.
inline constexpr int kExitStopped = 130;

}  // namespace tunewell::cli
