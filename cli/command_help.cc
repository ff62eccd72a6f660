#include "cli/command_help.h"

#include "cli/arguments.h"

namespace tunewell::cli {

namespace {

// Where the option wraps in --help: wider options get a line of their own.
constexpr size_t kOptionColumn = 22;

#define TUNEWELL_TEXT(x) #x
#define TUNEWELL_FIELD(x) TUNEWELL_TEXT(x)
constexpr std::string_view kVersion = TUNEWELL_FIELD(TUNEWELL_VERSION_MAJOR) "." TUNEWELL_FIELD(
    TUNEWELL_VERSION_MINOR) "." TUNEWELL_FIELD(TUNEWELL_VERSION_PATCH) "." TUNEWELL_FIELD(TUNEWELL_VERSION_TWEAK);
#undef TUNEWELL_FIELD
#undef TUNEWELL_TEXT

constexpr std::string_view kIPodMeaning =
    "the iPod's root folder; left out, the one mounted iPod (a mount whose root holds "
    "iPod_Control/iTunes) is used";
constexpr std::string_view kGuidMeaning =
    "the iPod's FireWire GUID (16 hexadecimal digits), for an iPod classic or nano of the 3rd "
    "generation when iPod_Control/Device/SysInfo does not give it";

constexpr CommandHelp kCommands[] = {
    {"init",
     "Makes DIR an empty iPod: the music folders and an empty database (and an empty shuffle "
     "database with --shuffle). It never replaces a database that is there."},
    {"list", "Shows the tracks on the iPod by artist and album, or as JSON."},
    {"sync",
     "Copies MP3s onto the iPod and records them in its database. Each PATH is an MP3, a folder "
     "(every MP3 below it) or an .m3u playlist; with no PATH the iPod's automatic sync selection "
     "chooses among the library's playlists. Tracks the iPod already holds (same title, album "
     "and artist) are passed over."},
    {"remove",
     "Removes tracks from the iPod, their files and their database records: by the ids that "
     "`tunewell list --json` shows, or every track of an artist (and album)."},
    {"autosync",
     "Chooses the playlists an automatic sync copies (the iPod's autoSync file): the names "
     "given, every playlist when none is given, or no selection with --off."},
    {"demo",
     "Makes a small music library and a demo iPod in DIR (default: ./demo), syncs one onto the "
     "other and shows the result. Running it again reuses both."},
};

constexpr OptionHelp kOptions[] = {
    {"init", "--ipod DIR", "the folder to make an iPod of (required)"},
    {"init", "--folders N", "how many music folders, 1 to 100 (default 20)"},
    {"init", "--shuffle", "also make an empty shuffle database (iTunesSD)"},
    {"list", "--ipod DIR", kIPodMeaning},
    {"list", "--json", "print the tracks as JSON, with their ids"},
    {"sync", "--ipod DIR", kIPodMeaning},
    {"sync", "--library DIR", "the music library whose .m3u playlists are synced"},
    {"sync", "--firewire-guid HEX", kGuidMeaning},
    {"remove", "--ipod DIR", kIPodMeaning},
    {"remove", "--id N", "the track with id N; may be given more than once"},
    {"remove", "--artist NAME", "every track of this artist"},
    {"remove", "--album NAME", "with --artist: only this album"},
    {"remove", "--firewire-guid HEX", kGuidMeaning},
    {"autosync", "--ipod DIR", kIPodMeaning},
    {"autosync", "--off", "remove the selection, so that an automatic sync copies nothing"},
};

// --help and -h, which every command takes.
constexpr std::string_view kHelpOption = "-h, --help";
constexpr std::string_view kHelpMeaning = "print this help and exit";

// The usage lines without "usage:" and their indent.
std::string UsageLines(std::string_view command) {
  std::string lines;
  const std::string usage = UsageOf(command);
  for (size_t at = usage.find('\n') + 1; at < usage.size();) {
    const size_t end = usage.find('\n', at);
    lines.append(usage.substr(at + 2, end - at - 2)).append("\n");
    at = end + 1;
  }
  return lines;
}

// `text` broken into lines of at most `width`, each after `indent`.
std::string Wrapped(std::string_view text, size_t width, std::string_view indent) {
  std::string out, line;
  while (!text.empty()) {
    const size_t end = text.find(' ');
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out.append(indent).append(line).append("\n");
      line.clear();
    }
    if (!line.empty()) line.push_back(' ');
    line.append(word);
  }
  if (!line.empty()) out.append(indent).append(line).append("\n");
  return out;
}

std::string OptionLine(std::string_view option, std::string_view meaning) {
  std::string out = "  " + std::string(option);
  const std::string indent(2 + kOptionColumn, ' ');
  std::string text = Wrapped(meaning, 78 - indent.size(), indent);
  if (option.size() + 2 < kOptionColumn) {
    out.append(kOptionColumn - option.size(), ' ');
    text.erase(0, indent.size());
  } else {
    out.append("\n");
  }
  return out + text;
}

// roff text: a leading dot or quote would be read as a request, a backslash as an escape, and
// a hyphen should stay a hyphen-minus.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      if ((c == '.' || c == '\'') && (out.empty() || out.back() == '\n')) out += "\\&";
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::span<const CommandHelp> CommandHelps() { return kCommands; }
std::span<const OptionHelp> OptionHelps() { return kOptions; }
std::string_view VersionText() { return kVersion; }

std::string HelpOf(std::string_view command) {
  if (command.empty()) {
    return UsageOf("") +
           "\n`tunewell COMMAND --help` says what a command does and what its options mean;\n"
           "`tunewell --version` prints the version.\n";
  }
  std::string out = UsageOf(command) + "\n";
  for (const CommandHelp& help : kCommands) {
    if (help.command == command) out += Wrapped(help.what, 78, "");
  }
  out += "\noptions:\n";
  for (const OptionHelp& option : kOptions) {
    if (option.command == command) out += OptionLine(option.option, option.meaning);
  }
  return out + OptionLine(kHelpOption, kHelpMeaning);
}

std::string ManualPage() {
  std::string out = ".TH TUNEWELL 1 \"\" \"tunewell " + std::string(kVersion) +
                    "\" \"User Commands\"\n"
                    ".SH NAME\ntunewell \\- copy MP3s onto a classic iPod\n.SH SYNOPSIS\n";
  for (const CommandHelp& help : kCommands) {
    out += ".nf\n" + Roff(UsageLines(help.command)) + ".fi\n";
  }
  out += ".br\n.B tunewell \\-\\-version\n.SH DESCRIPTION\n" +
         Roff(
             "Syncs MP3s from folders and playlists onto a classic iPod mounted as a folder, "
             "keeping the iPod's own database (iTunesDB, and iTunesSD where it has one) in "
             "step.") +
         "\n.SH COMMANDS\n";
  for (const CommandHelp& help : kCommands) {
    out += ".SS " + std::string(help.command) + "\n" + Roff(help.what) + "\n";
    for (const OptionHelp& option : kOptions) {
      if (option.command != help.command) continue;
      out += ".TP\n.B " + Roff(option.option) + "\n" + Roff(option.meaning) + "\n";
    }
  }
  out += ".SH OPTIONS\n.TP\n.B " + Roff(kHelpOption) + "\n" +
         Roff("print a command's usage, what it does and its options") +
         "\n.TP\n.B \\-\\-version\n" + Roff("print the version and exit") + "\n";
  out += ".SH EXIT STATUS\n.TP\n0\ndone\n.TP\n1\na usage error; nothing was changed\n.TP\n2\n" +
         Roff("the iPod or its database cannot be used; nothing was changed") + "\n.TP\n3\n" +
         Roff("the run did its work but some tracks were not copied") + "\n.TP\n130\n" +
         Roff("stopped by an interrupt; the files copied so far were taken off again") + "\n";
  return out;
}

std::string BashCompletion() {
  std::string commands, cases;
  for (const CommandHelp& help : kCommands) {
    commands += (commands.empty() ? "" : " ") + std::string(help.command);
    std::string options = "--help";
    for (const OptionHelp& option : kOptions) {
      if (option.command == help.command) {
        options += " " + std::string(option.option.substr(0, option.option.find(' ')));
      }
    }
    cases += "    " + std::string(help.command) + ") options=\"" + options + "\" ;;\n";
  }
  std::string folders;  // options whose value is a folder
  for (const OptionHelp& option : kOptions) {
    const std::string_view name = option.option.substr(0, option.option.find(' '));
    if (option.option.ends_with(" DIR") && folders.find(name) == folders.npos) {
      folders += (folders.empty() ? "" : "|") + std::string(name);
    }
  }
  return "# bash completion for tunewell\n"
         "_tunewell() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} options\n"
         "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
         "    COMPREPLY=($(compgen -W \"" +
         commands +
         " --help --version\" -- \"$cur\"))\n"
         "    return\n"
         "  fi\n"
         "  case $prev in\n"
         "    " +
         folders +
         ") COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
         "  esac\n"
         "  case ${COMP_WORDS[1]} in\n" +
         cases +
         "    *) return ;;\n"
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o filenames -F _tunewell tunewell\n";
}

}  // namespace tunewell::cli
