#include "cli/arguments.h"

#include <cstdio>
#include <utility>

#include "cli/command_help.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace tunewell::cli {

namespace {

constexpr std::pair<std::string_view, std::string_view> kUsageLines[] = {
    {"init", "tunewell init     --ipod DIR [--folders N] [--shuffle]"},
    {"list", "tunewell list     [--ipod DIR] [--json]"},
    {"sync", "tunewell sync     [--ipod DIR] [--library DIR] [--firewire-guid HEX] [PATH...]"},
    {"remove",
     "tunewell remove   [--ipod DIR] (--id N)... | --artist NAME [--album NAME] "
     "[--firewire-guid HEX]"},
    {"autosync", "tunewell autosync [--ipod DIR] (--off | PLAYLIST...)"},
    {"demo", "tunewell demo     [DIR]"},
};

}  // namespace

void PrintError(const std::string& message) {
  std::fprintf(stderr, "tunewell: %s\n", message.c_str());
}

std::string UsageOf(std::string_view command) {
  std::string out = "usage:\n";
  for (const auto& [name, line] : kUsageLines) {
    if (command.empty() || command == name) out.append("  ").append(line).append("\n");
  }
  return out;
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
    if (!options_done && (arg == "--help" || arg == "-h")) {
      out->help = true;
      return Status::Ok();
    }
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
    } else if (syntax.valued.count(name) || syntax.repeatable.count(name)) {
      if (!has_value && i + 1 < args.size()) value = args[++i];
      // An empty value would quietly stand for the current folder or for nothing.
      if (value.empty()) return Status::InvalidArgument("--" + name + " needs a value");
      if (out->values.count(name) && !syntax.repeatable.count(name)) {
        return Status::InvalidArgument("--" + name + " given more than once");
      }
      out->values[name].push_back(value);
    } else {
      return Status::InvalidArgument("unknown option --" + name);
    }
  }
  return Status::Ok();
}

std::optional<int> ParseCommandLine(const std::vector<std::string>& args,
                                    const CommandSyntax& syntax, Arguments* out) {
  const Status s = ParseArguments(args, syntax, out);
  if (!s.ok()) {
    PrintError(s.message());
    return kExitUsage;
  }
  if (out->help) {
    std::fputs(HelpOf(syntax.command).c_str(), stdout);
    return kExitDone;
  }
  return std::nullopt;
}

}  // namespace tunewell::cli
