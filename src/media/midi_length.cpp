// Standard MIDI File walker: every track's end tick and the tempo changes, nothing else.
#include "media/midi_length.h"

#include <algorithm>
#include <map>

namespace momiru::media {

namespace {

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  bool atEnd() const { return pos_ >= data_.size(); }
  bool has(std::size_t n) const { return n <= data_.size() - pos_; }

  std::optional<std::uint32_t> bigEndian(int bytes) {
    if (!has(static_cast<std::size_t>(bytes))) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | data_[pos_++];
    return v;
  }

  std::optional<std::uint8_t> byte() {
    if (!has(1)) return std::nullopt;
    return data_[pos_++];
  }

  std::optional<std::uint32_t> varLen() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      auto b = byte();
      if (!b) return std::nullopt;
      v = (v << 7) | (*b & 0x7Fu);
      if ((*b & 0x80u) == 0) return v;
    }
    return std::nullopt;
  }

  bool skip(std::size_t n) {
    if (!has(n)) return false;
    pos_ += n;
    return true;
  }

  std::span<const std::uint8_t> take(std::size_t n) {
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

bool tagIs(Reader& r, const char (&tag)[5]) {
  if (!r.has(4)) return false;
  auto t = r.take(4);
  return std::equal(t.begin(), t.end(), tag);
}

// Walks one track's events; adds its tempo changes and returns its end tick.
std::optional<std::uint64_t> walkTrack(std::span<const std::uint8_t> track,
                                       std::map<std::uint64_t, std::uint32_t>& tempos) {
  Reader r(track);
  std::uint64_t tick = 0;
  std::uint8_t status = 0;
  while (!r.atEnd()) {
    auto delta = r.varLen();
    if (!delta) return std::nullopt;
    tick += *delta;
    auto first = r.byte();
    if (!first) return std::nullopt;
    std::uint8_t b = *first;
    if (b == 0xFF) {
      auto type = r.byte();
      auto len = type ? r.varLen() : std::nullopt;
      if (!len || !r.has(*len)) return std::nullopt;
      auto body = r.take(*len);
      if (*type == 0x2F) return tick;
      if (*type == 0x51 && body.size() == 3) {
        const std::uint32_t us =
            (std::uint32_t{body[0]} << 16) | (std::uint32_t{body[1]} << 8) | body[2];
        if (us != 0) tempos[tick] = us;
      }
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {
      auto len = r.varLen();
      if (!len || !r.skip(*len)) return std::nullopt;
      continue;
    }
    const bool running = (b & 0x80u) == 0;  // the byte read was already the first data byte
    if (!running) {
      if (b >= 0xF0) return std::nullopt;  // system messages do not belong in a file
      status = b;
    } else if (status == 0) {
      return std::nullopt;  // running status with nothing to run on
    }
    const int kind = status >> 4;
    const std::size_t dataBytes = (kind == 0xC || kind == 0xD) ? 1 : 2;
    if (!r.skip(running ? dataBytes - 1 : dataBytes)) return std::nullopt;
  }
  return tick;  // a track without its end marker ends after its last event
}

}  // namespace

std::optional<double> midiSeconds(std::span<const std::uint8_t> file) {
  Reader r(file);
  if (!tagIs(r, "MThd")) return std::nullopt;
  auto headerLen = r.bigEndian(4);
  if (!headerLen || *headerLen < 6 || !r.has(*headerLen)) return std::nullopt;
  auto header = r.take(*headerLen);
  const std::uint32_t trackCount = (std::uint32_t{header[2]} << 8) | header[3];
  const std::uint32_t division = (std::uint32_t{header[4]} << 8) | header[5];
  if (trackCount == 0 || division == 0) return std::nullopt;

  std::map<std::uint64_t, std::uint32_t> tempos;
  std::uint64_t end = 0;
  std::uint32_t tracksRead = 0;
  while (tracksRead < trackCount && r.has(8)) {
    const bool isTrack = tagIs(r, "MTrk");
    auto len = r.bigEndian(4);
    if (!len || !r.has(*len)) return std::nullopt;
    auto body = r.take(*len);
    if (!isTrack) continue;  // unknown chunks are skipped, as the format asks
    auto trackEnd = walkTrack(body, tempos);
    if (!trackEnd) return std::nullopt;
    end = std::max(end, *trackEnd);
    ++tracksRead;
  }
  if (tracksRead == 0) return std::nullopt;

  if (division & 0x8000u) {  // SMPTE time: frames per second and ticks per frame
    const int fps = 256 - static_cast<int>(division >> 8);
    const std::uint32_t perFrame = division & 0xFFu;
    if (fps <= 0 || perFrame == 0) return std::nullopt;
    return static_cast<double>(end) / (fps * static_cast<double>(perFrame));
  }
  double seconds = 0;
  std::uint64_t tick = 0;
  std::uint32_t usPerQuarter = 500'000;
  for (const auto& [at, us] : tempos) {
    if (at >= end) break;
    seconds += static_cast<double>(at - tick) * usPerQuarter / 1e6 / division;
    tick = at;
    usPerQuarter = us;
  }
  seconds += static_cast<double>(end - tick) * usPerQuarter / 1e6 / division;
  return seconds;
}

}  // namespace momiru::media
