// momiru-lab: the game's tools on the command line (inspect save data, replay and batch battles).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "data/text_safety.h"
#include "lab/commands.h"

namespace {

void printUsage() {
  std::fputs("usage: momiru-lab <command> [options]\n\ncommands:\n", stdout);
  for (const momiru::lab::Command& c : momiru::lab::kCommands) {
    std::printf("  %-29s%s\n", c.synopsis, c.summary);
  }
  std::fputs(
      "\nA replay (*.momiru-replay) is one battle kept as its two records, seed and switches:\n"
      "'battle A.dat B.dat --save-replay FILE' writes one, 'battle FILE' plays it again.\n"
      "\nRun 'momiru-lab <command> --help' for the options and examples of a command.\n",
      stdout);
}

// A failed or short write of the output is an error, not a success: one line on stderr and
// status 1. A reader that closed the pipe ends the program by SIGPIPE, quietly, as before; when
// SIGPIPE is ignored the end is quiet too.
int finishOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::ferror(stdout) == 0) return status;
  if (errno == EPIPE) return 1;
  std::fprintf(stderr, "momiru-lab: cannot write the output%s%s\n", flushed ? "" : ": ",
               flushed ? "" : std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace momiru::lab;
  if (argc < 2) {
    std::fputs("momiru-lab: no command given (try 'momiru-lab --help')\n", stderr);
    return kUsageError;
  }
  const std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printUsage();
    return finishOutput(0);
  }
  for (const Command& command : kCommands) {
    if (name == command.name) return finishOutput(command.run(Args(argv + 2, argv + argc)));
  }
  std::fprintf(stderr, "momiru-lab: unknown command '%s' (try 'momiru-lab --help')\n",
               momiru::visibleText(name).c_str());
  return kUsageError;
}
