#include "tests/support/gpod_client.h"

#include <cstdio>
#include <cstdlib>

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
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t') {
      fields.emplace_back();
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      fields.back() += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

bool RunTool(const std::string& args, std::string* output, std::string* error) {
  if (GpodToolPath().empty()) {
    *error = "gpod_tool is not built here";
    return false;
  }
  const int status = RunCommand(ShellQuote(GpodToolPath()) + " " + args + " 2>&1", output);
  if (status != 0) {
    *error = "gpod_tool " + args + " exited with " + std::to_string(status) + ": " + *output;
    return false;
  }
  return true;
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
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::vector<std::string> f = SplitTabs(output.substr(start, end - start));
    start = end + 1;
    if (f[0] == "track" && f.size() == 9) {
      GpodTrack t;
      t.id = static_cast<uint32_t>(std::strtoul(f[1].c_str(), nullptr, 10));
      t.title = f[2];
      t.artist = f[3];
      t.album = f[4];
      t.track_number = static_cast<int32_t>(std::strtol(f[5].c_str(), nullptr, 10));
      t.path = f[6];
      t.genre = f[7];
      t.composer = f[8];
      dump->tracks.push_back(std::move(t));
    } else if (f[0] == "playlist" && f.size() == 4) {
      dump->playlists.push_back(GpodPlaylist{f[1], std::atoi(f[2].c_str()), f[3] == "1"});
    } else if (f[0] == "mpl" && f.size() == 2) {
      dump->master_count = std::atoi(f[1].c_str());
    } else if (f[0] != "tracks") {
      *error = "unexpected line from gpod_tool: " + output.substr(0, 200);
      return false;
    }
  }
  return true;
}

}  // namespace tunewell::fixture
