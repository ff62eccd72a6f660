// tunewell_docs: writes the manual page (`man`) or the bash completion script
// (`bash-completion`), made from the command-line help rows, to FILE. A build tool, never
// installed.

#include <cstdio>
#include <string>

#include "cli/command_help.h"

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  std::string text;
  if (what == "man") {
    text = tunewell::cli::ManualPage();
  } else if (what == "bash-completion") {
    text = tunewell::cli::BashCompletion();
  } else {
    std::fputs("usage: tunewell_docs (man | bash-completion) FILE\n", stderr);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  const bool written = std::fputs(text.c_str(), out) >= 0;
  return std::fclose(out) == 0 && written ? 0 : 1;
}
