#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tunewell::cli {

// What one command accepts: options that take a value (may repeat) and plain flags.
struct CommandSyntax {
  std::set<std::string> valued;
  std::set<std::string> flags;
  bool positionals = false;
};

struct Arguments {
  std::map<std::string, std::vector<std::string>> values;
  std::set<std::string> flags;
  std::vector<std::string> positionals;

  bool Has(const std::string& name) const {
    return values.count(name) > 0 || flags.count(name) > 0;
  }
  // The last value given for `name`, or `fallback`.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  std::vector<std::string> All(const std::string& name) const;
};

// Parses `args` (the words after the command name) by `syntax`. "--name=value" and
// "--name value" both work; "--" ends the options.
Status ParseArguments(const std::vector<std::string>& args, const CommandSyntax& syntax,
                      Arguments* out);

}  // namespace tunewell::cli
