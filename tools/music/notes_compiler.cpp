// Note-list text to Standard MIDI File (format 1): parser, pattern expansion and writer.
#include "notes_compiler.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace momiru::music {
namespace {

struct Token {
  std::string text;
  int line = 0;
};

struct CompileError : std::runtime_error {
  CompileError(int line, const std::string& what)
      : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

struct Event {
  std::int64_t tick = 0;
  int order = 0;  // at one tick: note-offs (0) before controls (1) before note-ons (2)
  std::vector<std::uint8_t> bytes;
};

struct TrackDef {
  std::string name;
  int line = 0;
  int channel = 1;
  int program = 1;
  int volume = 100;
  int pan = 64;
  int reverb = 40;
  int chorus = 0;
  int velocity = 96;
  int gate = 90;
  int transpose = 0;
  std::vector<Token> body;
};

std::optional<int> toInt(std::string_view s) {
  int v = 0;
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, v);
  if (ec != std::errc() || p != end) return std::nullopt;
  return v;
}

int drumNote(std::string_view name) {
  static const std::map<std::string_view, int> kDrums = {
      {"kick2", 35},    {"kick", 36},     {"stick", 37},  {"snare", 38},   {"clap", 39},
      {"snare2", 40},   {"tomfloor", 41}, {"hat", 42},    {"tomlow", 45},  {"phat", 44},
      {"ohat", 46},     {"tommid", 47},   {"tomhi", 50},  {"crash", 49},   {"ride", 51},
      {"china", 52},    {"tamb", 54},     {"splash", 55}, {"cowbell", 56}, {"crash2", 57},
      {"ridebell", 53}, {"shaker", 70}};
  auto it = kDrums.find(name);
  return it == kDrums.end() ? -1 : it->second;
}

// "c4" = 60, "c#4" = 61, "bb3" = 58; a drum name; or -1.
int pitchOf(std::string_view s) {
  if (s.empty()) return -1;
  if (int d = drumNote(s); d >= 0) return d;
  static const int kBase[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
  if (letter < 'a' || letter > 'g') return -1;
  int pitch = kBase[letter - 'a'];
  std::size_t i = 1;
  for (; i < s.size() && (s[i] == '#' || s[i] == 'b'); ++i) pitch += s[i] == '#' ? 1 : -1;
  std::string_view octave = s.substr(i);
  if (octave.empty()) return -1;
  auto o = toInt(octave);
  if (!o || *o < -1 || *o > 9) return -1;
  const int note = pitch + (*o + 1) * 12;
  return note >= 0 && note <= 127 ? note : -1;
}

class Compiler {
 public:
  explicit Compiler(std::string_view source) { parse(source); }

  CompileResult run() {
    CompileResult result;
    if (tracks_.empty()) throw CompileError(1, "no tracks");
    std::vector<std::vector<Event>> trackEvents;
    std::int64_t songEnd = -1;
    int songEndLine = 0;
    for (const TrackDef& t : tracks_) {
      std::vector<Event> events = controls(t);
      State st{t.velocity, ppq_};
      std::int64_t pos = 0;
      emit(t, t.body, st, pos, t.transpose, 0, events);
      if (songEnd >= 0 && pos != songEnd)
        throw CompileError(t.line, "track " + t.name + " is " + std::to_string(pos) +
                                       " ticks long, track on line " + std::to_string(songEndLine) +
                                       " is " + std::to_string(songEnd));
      songEnd = pos;
      songEndLine = t.line;
      trackEvents.push_back(std::move(events));
    }
    result.midi = write(trackEvents, songEnd);
    // From the whole microseconds the file stores, so it is the length a player will hear.
    result.seconds = static_cast<double>(songEnd) / ppq_ * usPerQuarter() / 1e6;
    return result;
  }

 private:
  struct State {
    int velocity;
    std::int64_t length;
  };

  void parse(std::string_view source) {
    std::istringstream in{std::string(source)};
    std::string raw;
    int lineNo = 0;
    std::vector<Token>* body = nullptr;
    while (std::getline(in, raw)) {
      ++lineNo;
      // A comment starts with a '#' at the start of a word; inside a word it is a sharp.
      for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(raw[i - 1])))) {
          raw.resize(i);
          break;
        }
      }
      std::vector<std::string> words = split(raw);
      if (words.empty()) continue;
      const std::string& head = words[0];
      if (body != nullptr) {
        if (head == "end" && words.size() == 1) {
          body = nullptr;
          continue;
        }
        // A chord "[c4 e4 g4]:2" is one token although it has spaces.
        std::string chord;
        for (const std::string& w : words) {
          if (!chord.empty() || (w[0] == '[' && w.find(']') == std::string::npos)) {
            chord += chord.empty() ? w : " " + w;
            if (w.find(']') == std::string::npos) continue;
            body->push_back({chord, lineNo});
            chord.clear();
          } else {
            body->push_back({w, lineNo});
          }
        }
        if (!chord.empty()) throw CompileError(lineNo, "chord not closed on its line");
        continue;
      }
      if (head == "title") {
        const auto q1 = raw.find('"');
        const auto q2 = raw.rfind('"');
        if (q1 == std::string::npos || q2 == q1) throw CompileError(lineNo, "title needs quotes");
        title_ = raw.substr(q1 + 1, q2 - q1 - 1);
      } else if (head == "tempo" && words.size() == 2) {
        tempo_ = number(words[1], lineNo, 20, 400);
      } else if (head == "ppq" && words.size() == 2) {
        ppq_ = number(words[1], lineNo, 24, 960);
      } else if (head == "meter" && words.size() == 2) {
        const auto slash = words[1].find('/');
        if (slash == std::string::npos) throw CompileError(lineNo, "meter is N/D");
        meterNum_ = number(words[1].substr(0, slash), lineNo, 1, 32);
        meterDen_ = number(words[1].substr(slash + 1), lineNo, 1, 32);
        if (meterDen_ != 2 && meterDen_ != 4 && meterDen_ != 8 && meterDen_ != 16)
          throw CompileError(lineNo, "meter denominator must be 2, 4, 8 or 16");
      } else if (head == "pattern" && words.size() == 2) {
        if (patterns_.count(words[1])) throw CompileError(lineNo, "pattern defined twice");
        body = &patterns_[words[1]];
      } else if (head == "track" && words.size() >= 2) {
        tracks_.push_back(trackHeader(words, lineNo));
        body = &tracks_.back().body;
      } else {
        throw CompileError(lineNo, "unknown line: " + head);
      }
    }
    if (body != nullptr) throw CompileError(lineNo, "missing end");
  }

  static std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream ws(line);
    std::string w;
    while (ws >> w) words.push_back(w);
    return words;
  }

  static int number(std::string_view s, int line, int lo, int hi) {
    auto v = toInt(s);
    if (!v || *v < lo || *v > hi)
      throw CompileError(line, "expected a number from " + std::to_string(lo) + " to " +
                                   std::to_string(hi) + ": " + std::string(s));
    return *v;
  }

  TrackDef trackHeader(const std::vector<std::string>& words, int line) {
    TrackDef t;
    t.name = words[1];
    t.line = line;
    for (std::size_t i = 2; i < words.size(); ++i) {
      const auto eq = words[i].find('=');
      if (eq == std::string::npos) throw CompileError(line, "expected key=value: " + words[i]);
      const std::string key = words[i].substr(0, eq);
      const std::string value = words[i].substr(eq + 1);
      if (key == "channel")
        t.channel = number(value, line, 1, 16);
      else if (key == "program")
        t.program = number(value, line, 1, 128);
      else if (key == "volume")
        t.volume = number(value, line, 0, 127);
      else if (key == "pan")
        t.pan = number(value, line, 0, 127);
      else if (key == "reverb")
        t.reverb = number(value, line, 0, 127);
      else if (key == "chorus")
        t.chorus = number(value, line, 0, 127);
      else if (key == "velocity")
        t.velocity = number(value, line, 1, 127);
      else if (key == "gate")
        t.gate = number(value, line, 5, 100);
      else if (key == "transpose")
        t.transpose = number(value, line, -48, 48);
      else
        throw CompileError(line, "unknown track key: " + key);
    }
    return t;
  }

  // ":4." -> ticks; sums with '+'.
  std::int64_t lengthOf(std::string_view spec, int line) const {
    std::int64_t total = 0;
    while (!spec.empty()) {
      const auto plus = spec.find('+');
      std::string_view part = spec.substr(0, plus);
      spec = plus == std::string_view::npos ? std::string_view{} : spec.substr(plus + 1);
      bool dotted = false;
      bool triplet = false;
      while (!part.empty() && (part.back() == '.' || part.back() == 't')) {
        (part.back() == '.' ? dotted : triplet) = true;
        part.remove_suffix(1);
      }
      const int d = number(part, line, 1, 64);
      if (d != 1 && d != 2 && d != 4 && d != 8 && d != 16 && d != 32 && d != 64)
        throw CompileError(line, "length must be 1, 2, 4, 8, 16, 32 or 64");
      std::int64_t ticks = std::int64_t{ppq_} * 4 / d;
      if (dotted) ticks += ticks / 2;
      if (triplet) ticks = ticks * 2 / 3;
      if (ticks <= 0) throw CompileError(line, "length too short for ppq");
      total += ticks;
    }
    if (total <= 0) throw CompileError(line, "empty length");
    return total;
  }

  std::uint32_t usPerQuarter() const { return static_cast<std::uint32_t>(60'000'000 / tempo_); }

  std::int64_t barTicks() const { return std::int64_t{ppq_} * 4 * meterNum_ / meterDen_; }

  void emit(const TrackDef& t, const std::vector<Token>& body, State& st, std::int64_t& pos,
            int transpose, int depth, std::vector<Event>& out) {
    if (depth > 16)
      throw CompileError(body.empty() ? t.line : body[0].line, "patterns nest too deep");
    const std::int64_t start = pos;
    std::int64_t lastBar = start;
    for (const Token& tok : body) {
      const std::string& w = tok.text;
      if (w == "|") {
        // A note held across bar lines makes the span a whole number of bars instead.
        if ((pos - lastBar) % barTicks() != 0)
          throw CompileError(tok.line, "bar is " + std::to_string(pos - lastBar) +
                                           " ticks, expected " + std::to_string(barTicks()));
        lastBar = pos;
      } else if (w[0] == '@') {
        playPattern(t, tok, st, pos, transpose, depth, out);
        lastBar = pos - (pos - lastBar) % barTicks();
      } else if (w[0] == 'v' && w.size() > 1 && std::isdigit(static_cast<unsigned char>(w[1]))) {
        st.velocity = number(w.substr(1), tok.line, 1, 127);
      } else {
        note(t, tok, st, pos, transpose, out);
      }
    }
  }

  void playPattern(const TrackDef& t, const Token& tok, State& st, std::int64_t& pos, int transpose,
                   int depth, std::vector<Event>& out) {
    std::string_view w = std::string_view(tok.text).substr(1);
    int times = 1;
    if (auto star = w.find('*'); star != std::string_view::npos) {
      times = number(w.substr(star + 1), tok.line, 1, 256);
      w = w.substr(0, star);
    }
    int shift = 0;
    if (auto sign = w.find_first_of("+-"); sign != std::string_view::npos) {
      shift = number(w.substr(sign + 1), tok.line, 0, 48) * (w[sign] == '-' ? -1 : 1);
      w = w.substr(0, sign);
    }
    auto it = patterns_.find(std::string(w));
    if (it == patterns_.end()) throw CompileError(tok.line, "no pattern " + std::string(w));
    for (int i = 0; i < times; ++i) {
      State local = st;  // a pattern's velocity and length changes stay inside it
      emit(t, it->second, local, pos, transpose + shift, depth + 1, out);
    }
  }

  void note(const TrackDef& t, const Token& tok, State& st, std::int64_t& pos, int transpose,
            std::vector<Event>& out) {
    std::string_view w = tok.text;
    std::string_view lengthSpec;
    if (auto colon = w.rfind(':'); colon != std::string_view::npos) {
      lengthSpec = w.substr(colon + 1);
      w = w.substr(0, colon);
    }
    if (!lengthSpec.empty()) st.length = lengthOf(lengthSpec, tok.line);
    std::vector<int> pitches;
    if (w == "r") {
      // rest
    } else if (w.size() >= 2 && w.front() == '[' && w.back() == ']') {
      std::string inner(w.substr(1, w.size() - 2));
      std::replace(inner.begin(), inner.end(), ',', ' ');
      for (const std::string& p : split(inner)) pitches.push_back(checkedPitch(p, tok.line));
      if (pitches.empty()) throw CompileError(tok.line, "empty chord");
    } else {
      pitches.push_back(checkedPitch(w, tok.line));
    }
    const bool drums = t.channel == 10;
    const auto ch = static_cast<std::uint8_t>(t.channel - 1);
    const std::int64_t sounding = std::max<std::int64_t>(1, st.length * t.gate / 100);
    for (int p : pitches) {
      const int key = drums ? p : p + transpose;
      if (key < 0 || key > 127) throw CompileError(tok.line, "note out of range after transpose");
      const auto k = static_cast<std::uint8_t>(key);
      out.push_back(
          {pos,
           2,
           {static_cast<std::uint8_t>(0x90 | ch), k, static_cast<std::uint8_t>(st.velocity)}});
      out.push_back({pos + sounding, 0, {static_cast<std::uint8_t>(0x80 | ch), k, 64}});
    }
    pos += st.length;
  }

  static int checkedPitch(std::string_view s, int line) {
    const int p = pitchOf(s);
    if (p < 0) throw CompileError(line, "not a note: " + std::string(s));
    return p;
  }

  static std::vector<Event> controls(const TrackDef& t) {
    const auto ch = static_cast<std::uint8_t>(t.channel - 1);
    const auto cc = [ch](int c, int v) {
      return Event{0,
                   1,
                   {static_cast<std::uint8_t>(0xB0 | ch), static_cast<std::uint8_t>(c),
                    static_cast<std::uint8_t>(v)}};
    };
    std::vector<Event> e;
    e.push_back(cc(121, 0));  // reset controllers: a restart begins from a known state
    e.push_back(cc(0, 0));
    e.push_back(
        {0, 1, {static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(t.program - 1)}});
    e.push_back(cc(7, t.volume));
    e.push_back(cc(10, t.pan));
    e.push_back(cc(91, t.reverb));
    e.push_back(cc(93, t.chorus));
    return e;
  }

  static void varLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t buf[5];
    int n = 0;
    buf[n++] = static_cast<std::uint8_t>(v & 0x7F);
    while ((v >>= 7) != 0) buf[n++] = static_cast<std::uint8_t>((v & 0x7F) | 0x80);
    while (n > 0) out.push_back(buf[--n]);
  }

  static void be(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }

  static std::vector<std::uint8_t> meta(std::uint8_t type, const std::string& data) {
    std::vector<std::uint8_t> m{0xFF, type};
    varLen(m, static_cast<std::uint32_t>(data.size()));
    m.insert(m.end(), data.begin(), data.end());
    return m;
  }

  static void chunk(std::vector<std::uint8_t>& file, std::vector<Event> events, std::int64_t end) {
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<std::uint8_t> data;
    std::int64_t now = 0;
    for (const Event& e : events) {
      varLen(data, static_cast<std::uint32_t>(e.tick - now));
      data.insert(data.end(), e.bytes.begin(), e.bytes.end());
      now = e.tick;
    }
    varLen(data, static_cast<std::uint32_t>(end - now));
    data.insert(data.end(), {0xFF, 0x2F, 0x00});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    be(file, static_cast<std::uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
  }

  std::vector<std::uint8_t> write(const std::vector<std::vector<Event>>& tracks,
                                  std::int64_t end) const {
    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    be(file, static_cast<std::uint32_t>(tracks.size() + 1), 2);
    be(file, static_cast<std::uint32_t>(ppq_), 2);

    std::vector<Event> conductor;
    conductor.push_back({0, 0, meta(0x03, title_)});
    std::vector<std::uint8_t> tempo{0xFF, 0x51, 0x03};
    be(tempo, usPerQuarter(), 3);
    conductor.push_back({0, 1, tempo});
    int denPow = 0;
    for (int d = meterDen_; d > 1; d /= 2) ++denPow;
    conductor.push_back({0,
                         1,
                         {0xFF, 0x58, 0x04, static_cast<std::uint8_t>(meterNum_),
                          static_cast<std::uint8_t>(denPow), 24, 8}});
    chunk(file, conductor, end);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      std::vector<Event> events = tracks[i];
      events.insert(events.begin(), Event{0, 0, meta(0x03, tracks_[i].name)});
      chunk(file, std::move(events), end);
    }
    return file;
  }

  std::string title_;
  int tempo_ = 120;
  int ppq_ = 480;
  int meterNum_ = 4;
  int meterDen_ = 4;
  std::map<std::string, std::vector<Token>> patterns_;
  std::vector<TrackDef> tracks_;
};

}  // namespace

CompileResult compileNotes(std::string_view source) {
  try {
    Compiler c(source);
    return c.run();
  } catch (const CompileError& e) {
    CompileResult r;
    r.error = e.what();
    return r;
  }
}

}  // namespace momiru::music
