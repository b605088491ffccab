// The one option parser of momiru-lab's commands. A command declares its switches and numeric
// options, then parses the words after its name: options may come anywhere, "--" ends them, and
// every other word (a lone "-" too) is an operand. "--help" or "-h" prints the command's help.
//
//   bool json = false;
//   std::optional<std::uint64_t> seed;
//   OptionParser options("battle", kHelp);
//   options.flag("--json", json);
//   options.number("--seed", 0, UINT64_MAX, "does not take", [&](std::uint64_t v) { seed = v; });
//   const OptionParser::Result parsed = options.parse(args);
//   if (parsed.exitStatus) return *parsed.exitStatus;
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/text_safety.h"
#include "lab/commands.h"
#include "report/format.h"
#include "report/translation.h"

namespace momiru::lab {

class OptionParser {
 public:
  struct Result {
    std::optional<int> exitStatus;      // set when the command ends now: 0 after help, 64 on error
    std::vector<std::string> operands;  // the words that are not options, in order
  };

  // `command` is the command's name in messages; `help` is its help text, marked N_ and shown
  // translated.
  OptionParser(std::string command, const char* help) : command_(std::move(command)), help_(help) {}

  // A switch such as "--json", turned on by its name alone.
  OptionParser& flag(std::string name, bool& on) {
    options_.push_back({std::move(name), &on, 0, 0, {}, {}, {}, {}});
    return *this;
  }

  // A whole decimal number without sign in [min, max], written "--name N" or "--name=N".
  // Without a value the message is "--name needs a number"; a value outside the rule gives
  // "--name <refusal> '<value>'". The refusal is marked N_ and shown translated.
  OptionParser& number(std::string name, std::uint64_t min, std::uint64_t max, std::string refusal,
                       std::function<void(std::uint64_t)> set) {
    options_.push_back({std::move(name),
                        nullptr,
                        min,
                        max,
                        std::move(refusal),
                        std::move(set),
                        {},
                        N_("a number")});
    return *this;
  }

  // A word such as a file name, written "--name WORD" or "--name=WORD". Without a value, or
  // with an empty one, the message is "--name needs <what>"; `what` is marked N_ and shown
  // translated.
  OptionParser& text(std::string name, std::string what, std::function<void(std::string)> set) {
    options_.push_back({std::move(name), nullptr, 0, 0, {}, {}, std::move(set), std::move(what)});
    return *this;
  }

  // A number or a word given twice is refused rather than letting the last one win silently: a
  // script that passes "--seed 1 ... --seed 2" meant one of them, and we cannot tell which.
  // Switches may repeat, since saying one twice means the same.
  Result parse(const Args& args) const {
    Result result;
    bool optionsDone = false;
    std::vector<const Option*> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& word = args[i];
      if (optionsDone || word.size() < 2 || word[0] != '-') {
        result.operands.push_back(word);
        continue;
      }
      if (word == "--") {
        optionsDone = true;
        continue;
      }
      if (word == "--help" || word == "-h") {
        std::fputs(report::translated(help_), stdout);
        result.exitStatus = 0;
        return result;
      }
      const Option* option = find(word);
      if (option == nullptr) {
        result.exitStatus = usage(report::format(_("unknown option '%s'"), word.c_str()));
        return result;
      }
      if (option->on != nullptr) {
        *option->on = true;
        continue;
      }
      if (std::find(given.begin(), given.end(), option) != given.end()) {
        result.exitStatus = usage(report::format(_("%s is given twice"), option->name.c_str()));
        return result;
      }
      given.push_back(option);
      std::string value;
      if (word.size() > option->name.size()) {
        value = word.substr(option->name.size() + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        result.exitStatus = usage(needs(*option));
        return result;
      }
      if (option->setText) {
        if (value.empty()) {
          result.exitStatus = usage(needs(*option));
          return result;
        }
        option->setText(value);
        continue;
      }
      const std::optional<std::uint64_t> v = parseCount(value, option->min, option->max);
      if (!v) {
        // TRANSLATORS: an option, what it takes ("does not take", "takes 1 to 64, not") and the
        // value given.
        result.exitStatus =
            usage(report::format(_("%s %s '%s'"), option->name.c_str(),
                                 report::translated(option->refusal.c_str()), value.c_str()));
        return result;
      }
      option->set(*v);
    }
    return result;
  }

  // One line on stderr, "momiru-lab <command>: <message> (try ...)", and the usage status.
  // Control characters in the message are shown escaped.
  int usage(const std::string& message) const {
    // TRANSLATORS: the command, the message, the command again.
    std::fprintf(stderr, _("momiru-lab %s: %s (try 'momiru-lab %s --help')\n"), command_.c_str(),
                 visibleText(message).c_str(), command_.c_str());
    return kUsageError;
  }

  // A whole decimal number without sign inside [min, max], or nothing.
  static std::optional<std::uint64_t> parseCount(const std::string& text, std::uint64_t min,
                                                 std::uint64_t max) {
    std::uint64_t v = 0;
    std::size_t digits = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      const auto d = static_cast<std::uint64_t>(c - '0');
      if (v > (UINT64_MAX - d) / 10) return std::nullopt;
      v = v * 10 + d;
      ++digits;
    }
    if (digits == 0 || v < min || v > max) return std::nullopt;
    return v;
  }

 private:
  struct Option {
    std::string name;
    bool* on;  // a switch's target; null for a number
    std::uint64_t min;
    std::uint64_t max;
    std::string refusal;
    std::function<void(std::uint64_t)> set;    // a number's
    std::function<void(std::string)> setText;  // a word's
    std::string needs;                         // what a missing value should have been
  };

  // "--name needs <what>", translated.
  static std::string needs(const Option& option) {
    // TRANSLATORS: an option and what it takes ("a number", "a file name").
    return report::format(_("%s needs %s"), option.name.c_str(),
                          report::translated(option.needs.c_str()));
  }

  // The option `word` names: a switch by its exact name, a number also as "--name=value".
  const Option* find(const std::string& word) const {
    for (const Option& o : options_) {
      if (word == o.name) return &o;
      if (o.on == nullptr && word.size() > o.name.size() &&
          word.compare(0, o.name.size(), o.name) == 0 && word[o.name.size()] == '=')
        return &o;
    }
    return nullptr;
  }

  std::string command_;
  const char* help_;
  std::vector<Option> options_;
};

}  // namespace momiru::lab
