#include "tests/support/gpod_client.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tunewell::fixture {

std::string GpodToolPath() { return TUNEWELL_GPOD_TOOL; }

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int RunCommand(const std::string& command, std::string* output) {
  output->clear();
#ifdef _WIN32
  (void)command;
  return -1;
#else
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

namespace {

bool RunTool(const std::string& args, std::string* output, std::string* error) {
  const int status = GpodToolPath().empty()
                         ? -1
                         : RunCommand(ShellQuote(GpodToolPath()) + " " + args + " 2>&1", output);
  if (status != 0)
    *error = "gpod_tool " + args + " exited with " + std::to_string(status) + ": " + *output;
  return status == 0;
}

}  // namespace

bool GpodMake(const std::string& root, int tracks, std::string* error) {
  std::string output;
  return RunTool("make " + ShellQuote(root) + " " + std::to_string(tracks), &output, error);
}

bool GpodDumpOf(const std::string& root, GpodDump* dump, std::string* error) {
  *dump = GpodDump();
  std::string output;
  if (!RunTool("dump " + ShellQuote(root), &output, error)) return false;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f(1);
    for (char c : line) c == '\t' ? f.emplace_back() : f.back().append(1, c);
    if (f[0] == "track" && f.size() == 19) {
      dump->tracks.push_back(
          {uint32_t(std::stoul(f[1])), f[2], f[3], f[4], std::stoi(f[5]), f[6], f[7], f[8],
           uint32_t(std::stoul(f[9])), std::stoi(f[10]), std::stoi(f[11]), std::stoi(f[12]),
           uint32_t(std::stoul(f[13])), uint32_t(std::stoul(f[14])), uint32_t(std::stoul(f[15])),
           std::stoull(f[16]), uint32_t(std::stoul(f[17])), uint32_t(std::stoul(f[18]))});
    } else if (f[0] == "mpl" && f.size() == 2) {
      dump->master_count = std::stoi(f[1]);
    } else if (f[0] == "playlist" && f.size() == 5) {
      GpodPlaylist& pl = dump->playlists.emplace_back(GpodPlaylist{f[1], f[2], f[3], {}});
      std::istringstream ids(f[4]);
      for (std::string id; std::getline(ids, id, ',');) pl.members.push_back(std::stoul(id));
    } else {
      *error = "unexpected line from gpod_tool: " + line;
      return false;
    }
  }
  return true;
}

}  // namespace tunewell::fixture
