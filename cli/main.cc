#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_help.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/interrupt.h"
#include "platform/large_buffer.h"

namespace tunewell::cli {

namespace {

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
  tunewell::IgnoreBrokenPipes();
  const std::string first = argc < 2 ? "" : argv[1];
  if (argc < 2) {
    std::fputs(UsageOf("").c_str(), stderr);
    return kExitUsage;
  }
  if (first == "--help" || first == "-h" || first == "help") {
    std::fputs(HelpOf("").c_str(), stdout);
    return kExitDone;
  }
  if (first == "--version") {
    std::printf("tunewell %s\n", std::string(VersionText()).c_str());
    return kExitDone;
  }
  const auto& commands = Commands();
  auto it = commands.find(argv[1]);
  if (it == commands.end()) {
    PrintError(std::string("unknown command '") + argv[1] + "'");
    std::fputs(UsageOf("").c_str(), stderr);
    return kExitUsage;
  }
  return it->second(tunewell::Env::Default(), std::vector<std::string>(argv + 2, argv + argc));
}
