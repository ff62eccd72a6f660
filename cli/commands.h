#pragma once

#include <string>
#include <vector>

#include "platform/env.h"

namespace tunewell::cli {

// Each takes the words after its command name and returns the process exit code. Results go to
// stdout, progress and errors to stderr.
int RunList(Env& env, const std::vector<std::string>& args);
int RunInit(Env& env, const std::vector<std::string>& args);
// No matching track (or an unknown --id) is a usage error: nothing is removed, exit 1.
int RunRemove(Env& env, const std::vector<std::string>& args);
// Exit 3 when the run did its work but left tracks behind (missing sources, no room).
int RunSyncCommand(Env& env, const std::vector<std::string>& args);
// With no names and no --off it writes an empty selection, which stands for every playlist.
int RunAutoSync(Env& env, const std::vector<std::string>& args);
int RunDemo(Env& env, const std::vector<std::string>& args);

// Prints "tunewell: <message>" to stderr.
void PrintError(const std::string& message);

// Said once when a run must wait for another run's lock on the same iPod.
inline constexpr char kWaitingForLock[] =
    "waiting for another run on this iPod to finish (Ctrl-C stops)";

}  // namespace tunewell::cli
