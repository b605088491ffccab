// Impacts from a falling sine thump, filtered noise and a little saturation.
#include "sfx_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace momiru::sfx {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// xorshift: noise that is the same on every machine.
class Noise {
 public:
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_ = 0x6D6F6D69u;
};

std::vector<double> silence(double seconds) {
  return std::vector<double>(static_cast<std::size_t>(seconds * kRate), 0.0);
}

double at(std::size_t i) { return static_cast<double>(i) / kRate; }

// A sine whose pitch falls exponentially from `from` to `to` Hz over `fall` seconds and whose
// level decays with time constant `decay`, starting `delay` seconds in.
void addThump(std::vector<double>& out, double delay, double level, double from, double to,
              double fall, double decay) {
  double phase = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = at(i) - delay;
    if (t < 0) continue;
    const double freq = to + (from - to) * std::exp(-t / fall);
    phase += kTwoPi * freq / kRate;
    const double attack = std::min(1.0, t / 0.001);
    out[i] += level * attack * std::exp(-t / decay) * std::sin(phase);
  }
}

// Noise through a one-pole low-pass then high-pass (a rough band), decaying with `decay`.
void addNoise(std::vector<double>& out, Noise& noise, double delay, double level, double low,
              double high, double decay) {
  const double a = 1 - std::exp(-kTwoPi * high / kRate);  // low-pass at `high`
  const double b = std::exp(-kTwoPi * low / kRate);       // high-pass at `low`
  double lp = 0;
  double prevIn = 0;
  double hp = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = at(i) - delay;
    const double n = noise.next();
    if (t < 0) continue;
    lp += a * (n - lp);
    hp = b * (hp + lp - prevIn);
    prevIn = lp;
    out[i] += level * std::exp(-t / decay) * hp;
  }
}

// Inharmonic partials: the ring of a special blow.
void addRing(std::vector<double>& out, double delay, double level, const std::vector<double>& hz,
             double decay) {
  for (std::size_t k = 0; k < hz.size(); ++k) {
    const double partLevel = level / static_cast<double>(k + 1);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double t = at(i) - delay;
      if (t < 0) continue;
      out[i] += partLevel * std::exp(-t / decay) * std::sin(kTwoPi * hz[k] * t);
    }
  }
}

// Soft saturation for punch, then scaled so the loudest sample sits at `peak`, and a short fade
// at the end so the sound stops without a click.
void finish(std::vector<double>& s, double drive, double peak) {
  double most = 0;
  for (double& x : s) {
    x = std::tanh(drive * x);
    most = std::max(most, std::abs(x));
  }
  const std::size_t fade = std::min<std::size_t>(s.size(), kRate / 100);
  for (std::size_t i = 0; i < s.size(); ++i) {
    double g = most > 0 ? peak / most : 0;
    const std::size_t left = s.size() - i;
    if (left < fade) g *= static_cast<double>(left) / static_cast<double>(fade);
    s[i] *= g;
  }
}

}  // namespace

std::vector<std::uint8_t> wavFile(const std::vector<double>& samples) {
  std::vector<std::uint8_t> f;
  f.reserve(44 + samples.size() * 2);
  const auto le = [&f](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto tag = [&le](const char* t) {
    for (int i = 0; i < 4; ++i) le(static_cast<unsigned char>(t[i]), 1);
  };
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  tag("RIFF");
  le(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  le(16, 4);
  le(1, 2);  // PCM
  le(1, 2);  // mono
  le(kRate, 4);
  le(kRate * 2, 4);
  le(2, 2);
  le(16, 2);
  tag("data");
  le(dataBytes, 4);
  for (double x : samples) {
    const auto v = static_cast<std::int32_t>(std::lround(std::clamp(x, -1.0, 1.0) * 32767.0));
    le(static_cast<std::uint32_t>(v) & 0xFFFFu, 2);
  }
  return f;
}

std::vector<std::uint8_t> hitWav() {
  std::vector<double> s = silence(0.22);
  Noise noise;
  addThump(s, 0, 0.9, 260, 60, 0.025, 0.055);
  addNoise(s, noise, 0, 0.8, 900, 5000, 0.018);  // the smack
  addNoise(s, noise, 0, 0.5, 150, 1200, 0.045);  // the body of the blow
  finish(s, 1.8, 0.89);                          // about -1 dBFS
  return wavFile(s);
}

std::vector<std::uint8_t> specialHitWav() {
  std::vector<double> s = silence(0.65);
  Noise noise;
  addNoise(s, noise, 0, 0.7, 2000, 9000, 0.012);   // the crack in front
  addThump(s, 0.004, 1.0, 180, 38, 0.06, 0.16);    // the deep boom
  addNoise(s, noise, 0.004, 0.6, 100, 900, 0.12);  // rumble
  addThump(s, 0.07, 0.45, 300, 80, 0.02, 0.05);    // a second, smaller impact
  addRing(s, 0.004, 0.22, {523, 1371, 2236, 3119}, 0.11);
  finish(s, 2.2, 0.94);  // about -0.5 dBFS
  return wavFile(s);
}

}  // namespace momiru::sfx
