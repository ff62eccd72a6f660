#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/large_buffer.h"

namespace tunewell::cli {

namespace {

constexpr const char kUsage[] =
    "usage:\n"
    "  tunewell init     --ipod DIR [--folders N] [--shuffle]\n"
    "  tunewell list     --ipod DIR [--json]\n"
    "  tunewell sync     --ipod DIR [--library DIR] [PATH...]\n"
    "  tunewell remove   --ipod DIR (--id N)... | --artist NAME [--album NAME]\n"
    "  tunewell autosync --ipod DIR (--off | PLAYLIST...)\n"
    "  tunewell demo     [DIR]\n";

using Command = int (*)(Env&, const std::vector<std::string>&);

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"autosync", RunAutoSync}, {"demo", RunDemo}, {"sync", RunSyncCommand},
      {"init", RunInit},         {"list", RunList}, {"remove", RunRemove},
  };
  return commands;
}

}  // namespace

}  // namespace tunewell::cli

int main(int argc, char** argv) {
  using namespace tunewell::cli;
  tunewell::PreferLargePagesForHeap();
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitDone;
  }
  const auto& commands = Commands();
  auto it = commands.find(argv[1]);
  if (it == commands.end()) {
    PrintError(std::string("unknown command '") + argv[1] + "'");
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  return it->second(tunewell::Env::Default(), std::vector<std::string>(argv + 2, argv + argc));
}
