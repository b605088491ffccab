// Parsing momiru-battle's command line.
#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "data/platform.h"
#include "data/strangers_file.h"
#include "data/text_safety.h"
#include "report/tournament.h"

namespace momiru::app {

const char* const kHelpText =
    "usage: momiru-battle [A.dat B.dat [--seed N] | REPLAY | TOURNAMENT]\n"
    "\n"
    "Without arguments the game opens at its title screen; from there the screens go round:\n"
    "title, options, entry (each player loads a character with 読み込み, or drops a .dat file on\n"
    "the screen, and registers it with 登録), the colosseum, the result, and back to the title.\n"
    "\n"
    "With two save-data files the game opens straight at the colosseum, A as player 1 and B as\n"
    "player 2, registered as the entry screen registers them (equal names get \"(1)\" and\n"
    "\"(2)\"), with the switches and the speed of the settings file settei.sei (the options\n"
    "screen's first values when there is none). A file whose integrity check fails shows the\n"
    "game's message and ends the program with status 1; a file that cannot be read is told in\n"
    "a message, and the game opens at the title instead.\n"
    "After the battle comes the result screen, and タイトルに戻る leads into the usual round.\n"
    "\n"
    "With one file, a replay (FILE.momiru-replay, or a battle page .html that carries one), the\n"
    "game opens its viewer: the colosseum plays the recorded battle again, with a bar under it:\n"
    "⏮ start, ◀ previous turn, ⏯ pause and play, ▶ next turn, ⏭ end, the speed (×1, ×2, ×4\n"
    "or ×8 of the recorded speed) and the turn shown. Keys: Space pause/play, ← and → a turn\n"
    "back or on, Home and End the start and the end, + and - the speed. At its end the viewer\n"
    "shows the battle's result; closing the viewer leads to the title. A replay file dropped on\n"
    "the title screen opens the viewer too. A file that cannot be read or holds no valid replay\n"
    "is said so in a message, and the game goes on at the title. A replay whose battle these\n"
    "rules play otherwise than recorded (another version's rules, or an edited file) is said so,\n"
    "and the viewer shows the battle as these rules play it.\n"
    "\n"
    "With a tournament file (T.momiru-tournament, or a tournament's page .html that carries\n"
    "one) the game opens the window 大会 on it: a tournament from someone else is checked\n"
    "battle by battle first, and a difference is said before anything is shown.\n"
    "\n"
    "Every battle on screen that reaches its result is saved as a replay in\n"
    "$XDG_DATA_HOME/momiru-battle/replays/ (~/.local/share/momiru-battle/replays/ without it);\n"
    "the newest 500 are kept. The result screen's リプレイを見る watches it again and\n"
    "リプレイを保存 saves a copy where you choose.\n"
    "\n"
    "  --seed N   watch the battle of seed N (0 to 2^64-1): the one that\n"
    "             'momiru-lab battle A.dat B.dat --seed N' prints (add --halve when the settings\n"
    "             halve the damage). Without it a seed is drawn from the clock.\n"
    "  --help     this text\n"
    "\n"
    "Every battle on screen, however it was started, writes one line to stderr: the\n"
    "momiru-lab battle command, with its seed and its two files, that replays it; once the\n"
    "battle has reached its result, a second line tells where its replay was saved\n"
    "(replay saved: PATH), or why it could not be.\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.\n"
    "\n"
    "Exit status: 0 when the last window closes, 1 when there is no display, 64 for wrong\n"
    "arguments.\n"
    "\n"
    "examples:\n"
    "  momiru-battle\n"
    "  momiru-battle samples/pochimaru.dat samples/rendaa.dat --seed 12345\n"
    "  momiru-battle ~/.local/share/momiru-battle/replays/FILE.momiru-replay\n";

namespace {

// Qt's options that take the next word as their value, and those that stand alone.
constexpr std::string_view kQtOptionsWithValue[] = {"-platform",
                                                    "-platformpluginpath",
                                                    "-platformtheme",
                                                    "-plugin",
                                                    "-qwindowgeometry",
                                                    "-qwindowicon",
                                                    "-qwindowtitle",
                                                    "-display",
                                                    "-geometry",
                                                    "-style",
                                                    "-stylesheet",
                                                    "-session",
                                                    "-title"};
constexpr std::string_view kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                         "-sync",    "-visual",      "-cmap"};

template <std::size_t N>
bool among(const std::string_view (&list)[N], std::string_view word) {
  return std::find(std::begin(list), std::end(list), word) != std::end(list);
}

// "-style=fusion" and "-style fusion" alike.
std::string_view optionName(std::string_view word) { return word.substr(0, word.find('=')); }

std::optional<std::uint64_t> parseSeed(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// True when `file` holds a tournament by its content: a JSON object whose "format" names it
// within its first 256 bytes (as the MIME type's magic), or a page (past a byte order mark and
// white space it starts with '<') that holds a tournament's element within the size a tournament
// is read to. The reader of the tournament checks the rest.
bool holdsTournament(const std::filesystem::path& file) {
  InputFile in(file);
  if (in.status() != InputFile::Status::Open) return false;
  std::string text;
  char chunk[16384];
  bool page = false;
  for (std::size_t read = 0; read < report::kTournamentMaxBytes;) {
    const std::streamsize n = in.sgetn(chunk, sizeof chunk);
    if (n <= 0) return false;
    read += static_cast<std::size_t>(n);
    text.append(chunk, static_cast<std::size_t>(n));
    if (!page) {
      const std::string_view start = withoutByteOrderMark(text);
      const std::size_t first = start.find_first_not_of(" \t\r\n");
      if (first == std::string_view::npos) continue;
      if (start[first] == '{') {
        const std::string_view head = std::string_view(text).substr(0, 256);
        return head.find(R"("format": "momiru-tournament")") != std::string_view::npos ||
               head.find(R"("format":"momiru-tournament")") != std::string_view::npos;
      }
      if (start[first] != '<') return false;
      page = true;
    }
    if (text.find(report::kTournamentPageScript) != std::string::npos) return true;
    // Only the tail that could begin the element is kept for the next chunk.
    if (text.size() > report::kTournamentPageScript.size())
      text.erase(0, text.size() - report::kTournamentPageScript.size());
  }
  return false;
}

bool namesTournament(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  const std::string_view ext = report::kTournamentExtension;
  return (name.size() >= ext.size() &&
          name.compare(name.size() - ext.size(), ext.size(), ext) == 0) ||
         holdsTournament(file);
}

CommandLine wrong(std::string message) {
  CommandLine line;
  line.action = CommandLine::Action::Wrong;
  line.wrong = std::move(message);
  return line;
}

}  // namespace

std::string usageLine(const std::string& wrong) {
  // The words quoted in it come from the user: nothing in them may break the one line, reach the
  // terminal or reorder the line.
  return "momiru-battle: " + visibleText(wrong) + " (try 'momiru-battle --help')\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& words) {
  CommandLine line;
  std::vector<std::filesystem::path> files;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
      files.emplace_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
    } else if (word == "--help" || word == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (word == "--seed" || word.starts_with("--seed=")) {
      std::string value;
      if (word == "--seed") {
        if (i + 1 >= words.size()) return wrong("--seed needs a number");
        value = words[++i];
      } else {
        value = word.substr(7);
      }
      if (line.seed) return wrong("--seed is given twice");
      line.seed = parseSeed(value);
      if (!line.seed) {
        return wrong("--seed takes a whole number from 0 to 2^64-1, not '" + value + "'");
      }
    } else if (among(kQtOptionsWithValue, optionName(word))) {
      if (word.find('=') == std::string::npos) {
        if (i + 1 >= words.size()) return wrong("Qt's option " + word + " needs a value");
        ++i;
      }
    } else if (!among(kQtFlags, word)) {
      return wrong("unknown option '" + word + "'");
    }
  }
  if (files.empty()) {
    if (line.seed) return wrong("--seed needs the two save-data files A.dat and B.dat");
    return line;
  }
  if (files.size() == 1) {
    const bool tournament = namesTournament(files[0]);
    if (line.seed) {
      return wrong(tournament ? "--seed is for two save-data files, not a tournament"
                              : "--seed is for two save-data files, not a replay");
    }
    if (tournament) {
      line.tournament = files[0];
    } else {
      line.replay = files[0];
    }
    return line;
  }
  if (files.size() != 2) {
    return wrong(
        "give two save-data files, A.dat and B.dat, one replay or tournament file, or none");
  }
  line.files = std::array<std::filesystem::path, 2>{files[0], files[1]};
  return line;
}

}  // namespace momiru::app
