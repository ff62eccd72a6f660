#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace tunewell::cli {

// What one command accepts: options that take a value and plain flags. A valued option may be
// given once unless it is also `repeatable`; its value may not be empty.
struct CommandSyntax {
  std::string_view command;
  std::set<std::string> valued = {};
  std::set<std::string> flags = {};
  bool positionals = false;
  std::set<std::string> repeatable = {};
};

struct Arguments {
  std::map<std::string, std::vector<std::string>> values;
  std::set<std::string> flags;
  std::vector<std::string> positionals;
  // --help or -h was among the options.
  bool help = false;

  bool Has(const std::string& name) const {
    return values.count(name) > 0 || flags.count(name) > 0;
  }
  // The last value given for `name`, or `fallback`.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  std::vector<std::string> All(const std::string& name) const;
};

// Parses `args` (the words after the command name) by `syntax`. "--name=value" and
// "--name value" both work; "--" ends the options. --help or -h stops the parse with `help` set.
Status ParseArguments(const std::vector<std::string>& args, const CommandSyntax& syntax,
                      Arguments* out);

// ParseArguments for a command: after --help its help is printed and the exit code is 0, after a
// mistake the error is printed and the code is 1; nullopt when the command should run.
std::optional<int> ParseCommandLine(const std::vector<std::string>& args,
                                    const CommandSyntax& syntax, Arguments* out);

// "usage:" and the usage line of `command`, or of every command for "".
std::string UsageOf(std::string_view command);

}  // namespace tunewell::cli
