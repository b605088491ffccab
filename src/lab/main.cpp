// momiru-lab: the game's tools on the command line (inspect save data, replay and batch battles).
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/platform.h"
#include "data/text_safety.h"
#include "lab/commands.h"
#include "report/format.h"
#include "report/translation.h"

namespace {

// Where the catalogues are: $MOMIRU_LOCALEDIR when set, else ../share/locale beside the program
// when it holds ours (an install under any prefix, or the build tree, which puts them there),
// else, on Windows, locale/ beside it (a folder that keeps everything beside the programs), else
// the folder the program was installed with.
std::filesystem::path localeDirectory() {
  if (const auto dir = momiru::environmentValue("MOMIRU_LOCALEDIR"); dir && !dir->empty())
    return momiru::utf8ToPath(*dir);
  std::error_code ec;
  const std::filesystem::path program = momiru::programDirectory();
  std::vector<std::filesystem::path> candidates{program / ".." / "share" / "locale"};
#ifdef _WIN32
  candidates.push_back(program / "locale");
#endif
  for (const std::filesystem::path& beside : candidates) {
    if (std::filesystem::exists(beside / "ja" / "LC_MESSAGES" / "momiru-lab.mo", ec)) return beside;
  }
  return momiru::utf8ToPath(MOMIRU_LOCALEDIR);
}

// Messages in the user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) and the character set
// they are written in; every other category stays "C", so numbers, JSON and sorting read the
// same in every locale.
void setUpMessages() {
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");
#ifdef _WIN32
  // The folder's name may hold any character: gettext takes it as UTF-16 on Windows.
  ::wbindtextdomain(momiru::report::kTextDomain, localeDirectory().c_str());
#else
  ::bindtextdomain(momiru::report::kTextDomain, localeDirectory().c_str());
#endif
  ::bind_textdomain_codeset(momiru::report::kTextDomain, "UTF-8");
  ::textdomain(momiru::report::kTextDomain);
}

void printUsage() {
  using momiru::report::padRight;
  using momiru::report::translated;
  std::fputs(_("usage: momiru-lab <command> [options]\n\ncommands:\n"), stdout);
  for (const momiru::lab::Command& c : momiru::lab::kCommands) {
    std::printf("  %s%s\n", padRight(c.synopsis, 29).c_str(), translated(c.summary));
  }
  std::fputs(
      _("\nA replay (*.momiru-replay) is one battle kept as its two records, seed and switches:\n"
        "'battle A.dat B.dat --save-replay FILE' writes one, 'battle FILE' plays it again.\n"
        "\nRun 'momiru-lab <command> --help' for the options and examples of a command.\n"),
      stdout);
}

// A failed or short write of the output is an error, not a success: one line on stderr and
// status 1. A reader that closed the pipe ends the program by SIGPIPE, quietly, as a pipe does;
// when SIGPIPE is ignored the end is quiet too.
int finishOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::ferror(stdout) == 0) return status;
  if (errno == EPIPE) return 1;
  if (flushed) {
    std::fputs(_("momiru-lab: cannot write the output\n"), stderr);
  } else {
    std::fprintf(stderr, _("momiru-lab: cannot write the output: %s\n"), std::strerror(errno));
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace momiru::lab;
  momiru::setUpConsoleOutput();
  setUpMessages();
  const std::vector<std::string> arguments = momiru::commandLineArguments(argc, argv);
  if (arguments.size() < 2) {
    std::fputs(_("momiru-lab: no command given (try 'momiru-lab --help')\n"), stderr);
    return kUsageError;
  }
  const std::string_view name = arguments[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printUsage();
    return finishOutput(0);
  }
  for (const Command& command : kCommands) {
    if (name == command.name)
      return finishOutput(command.run(Args(arguments.begin() + 2, arguments.end())));
  }
  std::fprintf(stderr, _("momiru-lab: unknown command '%s' (try 'momiru-lab --help')\n"),
               momiru::visibleText(name).c_str());
  return kUsageError;
}
