#include "cli/arguments.h"

#include <cstdio>

#include "cli/commands.h"

namespace tunewell::cli {

void PrintError(const std::string& message) {
  std::fprintf(stderr, "tunewell: %s\n", message.c_str());
}

std::string Arguments::Value(const std::string& name, const std::string& fallback) const {
  auto it = values.find(name);
  return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> Arguments::All(const std::string& name) const {
  auto it = values.find(name);
  return it == values.end() ? std::vector<std::string>() : it->second;
}

Status ParseArguments(const std::vector<std::string>& args, const CommandSyntax& syntax,
                      Arguments* out) {
  *out = Arguments();
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (!syntax.positionals) return Status::InvalidArgument("unexpected argument '" + arg + "'");
      out->positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string name = arg.substr(2);
    std::string value;
    bool has_value = false;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      has_value = true;
    }
    if (syntax.flags.count(name)) {
      if (has_value) return Status::InvalidArgument("--" + name + " takes no value");
      out->flags.insert(name);
    } else if (syntax.valued.count(name)) {
      if (!has_value) {
        if (i + 1 >= args.size()) return Status::InvalidArgument("--" + name + " needs a value");
        value = args[++i];
      }
      out->values[name].push_back(value);
    } else {
      return Status::InvalidArgument("unknown option --" + name);
    }
  }
  return Status::Ok();
}

}  // namespace tunewell::cli
