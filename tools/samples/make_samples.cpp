// momiru-make-samples: writes the sample save-data files from the editable samples/characters.txt.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "battle/headless.h"
#include "data/arith.h"
#include "data/save_data.h"
#include "data/save_data_writer.h"

namespace {

using namespace momiru;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: momiru-make-samples DEFINITIONS OUTDIR [--report]\n"
    "\n"
    "Writes one save-data file per character of DEFINITIONS (samples/characters.txt) into OUTDIR.\n"
    "--report also plays 200 battles of every pairing and prints the mean number of turns.\n"
    "\n"
    "example: momiru-make-samples samples/characters.txt samples --report\n";

struct Sample {
  std::string file;
  int line = 0;
  Combatant record;
  LoadValues values;
  std::optional<std::int32_t> check;                        // written instead of the correct value
  std::vector<std::pair<std::string, std::int32_t>> alter;  // stored field, amount added
  int moves = 0;
  std::map<std::string, bool> seen;
};

struct ParseError {
  int line;
  std::string text;
};

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::int32_t> numbers(const std::string& value, std::size_t count, int line) {
  std::istringstream in(value);
  std::vector<std::int32_t> out;
  std::string word;
  while (in >> word) {
    char* end = nullptr;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    const auto n = toInt32(static_cast<double>(v));
    if (*end != '\0' || !n) throw ParseError{line, "'" + word + "' is not a whole number"};
    out.push_back(*n);
  }
  if (out.size() != count)
    throw ParseError{line, "expected " + std::to_string(count) + " numbers, found " +
                               std::to_string(out.size())};
  return out;
}

std::int32_t number(const std::string& value, int line) { return numbers(value, 1, line)[0]; }

void setField(Sample& s, const std::string& key, const std::string& value, int line) {
  LoadValues& v = s.values;
  Combatant& c = s.record;
  static const std::map<std::string, std::size_t> parts = {
      {"head", 0}, {"arms", 1}, {"legs", 2}, {"torso", 3}};
  if (key != "move" && key != "alter") {
    if (s.seen[key]) throw ParseError{line, "'" + key + "' is given twice"};
    s.seen[key] = true;
  }
  if (key == "name") {
    v.storedNames[0] = c.name = value;
  } else if (key == "name2") {
    v.storedNames[1] = value;
  } else if (key == "memo") {
    v.storedText = value;
  } else if (key == "key") {
    v.key = number(value, line);
  } else if (key == "level") {
    v.storedLevels[0] = c.level = number(value, line);
  } else if (key == "picture") {
    v.storedPortraits[0] = c.portrait = number(value, line);
  } else if (key == "level2") {
    v.storedLevels[1] = number(value, line);
  } else if (key == "picture2") {
    v.storedPortraits[1] = number(value, line);
  } else if (parts.contains(key)) {
    const auto n = numbers(value, 3, line);
    const std::size_t p = parts.at(key);
    c.hp[p] = n[0];
    c.attack[p] = n[1];
    c.defence[p] = n[2];
  } else if (key == "move") {
    if (s.moves == kMoves) throw ParseError{line, "more than eight moves"};
    const auto space = value.find_last_of(" \t");
    if (space == std::string::npos) throw ParseError{line, "a move is NAME POWER"};
    const auto m = static_cast<std::size_t>(s.moves++);
    c.moveNames[m] = trim(value.substr(0, space));
    c.movePower[m] = number(value.substr(space + 1), line);
  } else if (key == "three") {
    const auto n = numbers(value, 3, line);
    v.threeNumbers[0] = n[0];
    v.threeNumbers[1] = n[1];
    v.threeNumbers[2] = n[2];
  } else if (key == "five") {
    const auto n = numbers(value, 5, line);
    v.fiveNumbers[0] = n[0];
    v.fiveNumbers[1] = n[1];
    v.fiveNumbers[2] = n[2];
    v.fiveNumbers[3] = n[3];
    v.fiveNumbers[4] = n[4];
  } else if (key == "check") {
    s.check = number(value, line);
  } else if (key == "alter") {
    const auto space = value.find_first_of(" \t");
    if (space == std::string::npos) throw ParseError{line, "alter is FIELD AMOUNT"};
    s.alter.emplace_back(value.substr(0, space), number(value.substr(space + 1), line));
  } else {
    throw ParseError{line, "unknown field '" + key + "'"};
  }
}

std::vector<Sample> parse(std::istream& in) {
  std::vector<Sample> samples;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    text = trim(text);
    if (text.empty() || text[0] == '#') continue;
    if (text.front() == '[') {
      if (text.back() != ']') throw ParseError{line, "a character starts with [file.dat]"};
      Sample s;
      s.file = text.substr(1, text.size() - 2);
      s.line = line;
      const bool plain =
          s.file.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_.") == std::string::npos;
      if (!plain || !s.file.ends_with(".dat") || s.file.size() < 5)
        throw ParseError{line, "file names are lower-case ASCII ending in .dat"};
      for (const Sample& other : samples)
        if (other.file == s.file) throw ParseError{line, s.file + " is defined twice"};
      samples.push_back(std::move(s));
      continue;
    }
    const auto eq = text.find('=');
    if (eq == std::string::npos) throw ParseError{line, "expected 'field = value'"};
    if (samples.empty()) throw ParseError{line, "a field before the first [file.dat]"};
    setField(samples.back(), trim(text.substr(0, eq)), trim(text.substr(eq + 1)), line);
  }
  for (const Sample& s : samples) {
    for (const char* needed : {"name", "key", "level", "picture", "head", "arms", "legs", "torso"})
      if (!s.seen.contains(needed)) throw ParseError{s.line, s.file + " has no " + needed};
    if (s.moves != kMoves) throw ParseError{s.line, s.file + " needs eight moves"};
  }
  return samples;
}

std::string encode(const Sample& s) {
  std::string error;
  LoadValues values = s.values;
  if (s.check) {
    values.checkSum = *s.check;
  } else {
    const auto sum = SaveDataCheckSum(s.record, s.values);
    if (!sum) throw ParseError{s.line, s.file + ": the check sum is outside the 32-bit range"};
    values.checkSum = *sum;
  }
  auto stored = storeSaveData(s.record, values, &error);
  if (!stored) throw ParseError{s.line, s.file + ": " + error};
  for (const auto& [field, amount] : s.alter) {
    int index = -1;
    for (int i = 0; i < kSaveDataNumbers; ++i)
      if (saveDataFieldName(i) == field) index = i;
    if (index < 0) throw ParseError{s.line, s.file + ": no number field '" + field + "'"};
    std::int32_t& n = stored->numbers[static_cast<std::size_t>(index)];
    const auto changed = checkedAdd(n, amount);
    if (!changed) throw ParseError{s.line, s.file + ": altering " + field + " overflows"};
    n = *changed;
  }
  auto bytes = writeSaveData({*stored}, &error);
  if (!bytes) throw ParseError{s.line, s.file + ": " + error};
  return *bytes;
}

// Mean turns of 200 battles per pairing of the good samples, to tune the builds by.
void report(const std::vector<Sample>& samples) {
  std::vector<const Sample*> good;
  for (const Sample& s : samples)
    if (!s.check && s.alter.empty()) good.push_back(&s);
  std::printf("%-18s %-18s %7s %7s %7s %6s\n", "left", "right", "turns", "min", "max", "left%");
  for (std::size_t a = 0; a < good.size(); ++a) {
    for (std::size_t b = a + 1; b < good.size(); ++b) {
      GameState gs;
      gs.combatant[0] = good[a]->record;
      gs.combatant[1] = good[b]->record;
      battle::BatchBattles<false> batch(gs);
      std::int64_t total = 0;
      std::int32_t least = 1 << 30, most = 0, leftWins = 0;
      constexpr int kBattles = 200;
      for (int i = 0; i < kBattles; ++i) {
        const battle::Outcome o = batch.play(static_cast<std::uint64_t>(i) + 1);
        total += o.turns;
        least = std::min(least, o.turns);
        most = std::max(most, o.turns);
        if (o.winner == 0) ++leftWins;
      }
      std::printf("%-18s %-18s %7.1f %7d %7d %5d%%\n", good[a]->file.c_str(), good[b]->file.c_str(),
                  static_cast<double>(total) / kBattles, least, most, leftWins * 100 / kBattles);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool wantReport = false;
  std::vector<std::string> paths;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--report") {
      wantReport = true;
    } else if (a.starts_with("-")) {
      std::fprintf(stderr, "momiru-make-samples: unknown option '%s'\n", a.c_str());
      return 64;
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) {
    std::fputs(kUsage, stderr);
    return 64;
  }
  std::ifstream in(paths[0]);
  if (!in) {
    std::fprintf(stderr, "momiru-make-samples: cannot read %s\n", paths[0].c_str());
    return 1;
  }
  try {
    const std::vector<Sample> samples = parse(in);
    std::vector<std::pair<std::string, std::string>> files;
    for (const Sample& s : samples) files.emplace_back(s.file, encode(s));
    for (const auto& [name, bytes] : files) {
      std::ofstream out(fs::path(paths[1]) / name, std::ios::binary | std::ios::trunc);
      out << bytes;
      if (!out.flush()) {
        std::fprintf(stderr, "momiru-make-samples: cannot write %s\n", name.c_str());
        return 1;
      }
    }
    std::printf("momiru-make-samples: wrote %zu files into %s\n", files.size(), paths[1].c_str());
    if (wantReport) report(samples);
  } catch (const ParseError& e) {
    std::fprintf(stderr, "%s:%d: %s\n", paths[0].c_str(), e.line, e.text.c_str());
    return 1;
  }
  return 0;
}
