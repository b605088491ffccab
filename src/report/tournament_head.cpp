// The head reader: a tournament's JSON read as far as its "state", nothing of it built.
#include "report/tournament_head.h"

#include <nlohmann/json.hpp>

namespace momiru::report {

namespace {

// Reads the top-level "format", "name" and "state" and stops at "state": nothing else of the
// document is built.
class HeadReader final : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::optional<std::string> format, name, state;

  bool null() override { return value({}); }
  bool boolean(bool) override { return value({}); }
  bool number_integer(number_integer_t) override { return value({}); }
  bool number_unsigned(number_unsigned_t) override { return value({}); }
  bool number_float(number_float_t, const string_t&) override { return value({}); }
  bool string(string_t& s) override { return value(s); }
  bool binary(binary_t&) override { return value({}); }
  bool start_object(std::size_t) override { return ++depth_ <= 8; }
  bool end_object() override {
    --depth_;
    return true;
  }
  bool start_array(std::size_t) override { return ++depth_ <= 8; }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool key(string_t& k) override {
    if (depth_ == 1) key_ = k;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // False stops the reading: at the state, or at a member of the top level that is not text
  // where one of the three is expected.
  bool value(std::optional<std::string> text) {
    if (depth_ != 1) return true;
    std::optional<std::string>* slot = key_ == "format"  ? &format
                                       : key_ == "name"  ? &name
                                       : key_ == "state" ? &state
                                                         : nullptr;
    if (slot == nullptr) return true;
    if (!text) return false;
    *slot = std::move(text);
    return slot != &state;
  }

  int depth_ = 0;
  std::string key_;
};

}  // namespace

std::optional<TournamentHead> tournamentHead(std::string_view json) {
  HeadReader head;
  nlohmann::json::sax_parse(json, &head, nlohmann::json::input_format_t::json, false);
  if (head.format != kTournamentFormat || !head.name || !head.state) return std::nullopt;
  TournamentHead out;
  out.name = *head.name;
  if (*head.state == stageName(Stage::Finished)) {
    out.stage = Stage::Finished;
  } else if (*head.state == stageName(Stage::Closed)) {
    out.stage = Stage::Closed;
  } else if (*head.state != stageName(Stage::Open)) {
    return std::nullopt;
  }
  return out;
}

}  // namespace momiru::report
