// momiru-lab: the game's tools on the command line (inspect save data, replay and batch battles).
#include <cstdio>
#include <string>
#include <string_view>

#include "lab/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: momiru-lab <command> [options]\n"
    "\n"
    "commands:\n"
    "  inspect FILE...          show what the game reads from save-data files and why it refuses "
    "one\n"
    "  battle A.dat B.dat       play one battle headless and print the result screen\n"
    "  simulate A.dat B.dat     play many battles and report win rates and lengths\n"
    "  league FILE...           play every pairing of many characters and rate them\n"
    "\n"
    "Run 'momiru-lab <command> --help' for the options and examples of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace momiru::lab;
  if (argc < 2) {
    std::fputs("momiru-lab: no command given (try 'momiru-lab --help')\n", stderr);
    return kUsageError;
  }
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Args args(argv + 2, argv + argc);
  if (command == "inspect") return inspectCommand(args);
  if (command == "battle") return battleCommand(args);
  if (command == "simulate") return simulateCommand(args);
  if (command == "league") return leagueCommand(args);
  std::fprintf(stderr, "momiru-lab: unknown command '%s' (try 'momiru-lab --help')\n", argv[1]);
  return kUsageError;
}
