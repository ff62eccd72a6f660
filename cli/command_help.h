#pragma once

// What `tunewell COMMAND --help` says, and the manual page and bash completion made from the
// same rows at build time (tunewell_docs), so that none of them can disagree.

#include <span>
#include <string>
#include <string_view>

namespace tunewell::cli {

// A few lines on what a command does.
struct CommandHelp {
  std::string_view command;
  std::string_view what;
};

// One option of one command: how it is written ("--ipod DIR"; a second word is its value) and
// what it means.
struct OptionHelp {
  std::string_view command;
  std::string_view option;
  std::string_view meaning;
};

std::span<const CommandHelp> CommandHelps();
std::span<const OptionHelp> OptionHelps();

// "1.1.0.15".
std::string_view VersionText();

// The usage line, what the command does and its options, for `tunewell COMMAND --help`; with
// "" the usage of every command and where to read more.
std::string HelpOf(std::string_view command);

// tunewell(1) in roff.
std::string ManualPage();

// A bash completion script for commands, options and the folders and files they take.
std::string BashCompletion();

}  // namespace tunewell::cli
