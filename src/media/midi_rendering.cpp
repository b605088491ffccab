// Rendering MIDI through a synthesizer of its own, faster than real time, on a worker thread.
#include "media/midi_rendering.h"

#if MOMIRU_HAVE_FLUIDSYNTH
#include <fluidsynth.h>
#endif
#include <nettle/sha2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "data/platform.h"
#include "media/audio_output.h"

namespace momiru::media {

namespace {

// The mixer's FluidSynth player sets the synthesizer's gain to this times volume / MIX_MAX_VOLUME;
// a rendered piece is made at the music's volume and mixed at full volume, so it sounds as loud.
constexpr double kFluidGainAtFullVolume = 1.2;
constexpr double kLongestRenderedSeconds = 600;  // some 100 MB on disk

}  // namespace

bool renderMidi(const PlannedRendering& plan, const std::atomic<bool>& stop, CacheWriter& out) {
#if MOMIRU_HAVE_FLUIDSYNTH
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return false;
  fluid_settings_setnum(settings, "synth.sample-rate", plan.rate);
  fluid_settings_setstr(settings, "player.timing-source", "sample");  // faster than real time
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  bool ok = out.ok() && synth != nullptr &&
            fluid_synth_sfload(synth, plan.soundFont.c_str(), 1) != FLUID_FAILED;
  if (ok) {
    fluid_synth_set_gain(synth, plan.gain);
    player = new_fluid_player(synth);
    ok = player != nullptr &&
         fluid_player_add_mem(player, plan.midi.data(), plan.midi.size()) == FLUID_OK &&
         fluid_player_play(player) == FLUID_OK;
  }
  constexpr std::size_t kBlock = 4096;
  std::vector<std::int16_t> block(kBlock * 2);
  for (std::uint64_t done = 0; ok && done < plan.frames; done += kBlock) {
    const auto n = static_cast<int>(std::min<std::uint64_t>(kBlock, plan.frames - done));
    ok = !stop.load(std::memory_order_relaxed) &&
         fluid_synth_write_s16(synth, n, block.data(), 0, 2, block.data(), 1, 2) == FLUID_OK &&
         out.write(block.data(), static_cast<std::size_t>(n));
  }
  if (player != nullptr) {
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  if (synth != nullptr) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return ok && out.commit();
#else
  (void)plan, (void)stop, (void)out;
  return false;
#endif
}

std::optional<PlannedRendering> planRendering(const AudioOutput& output,
                                              std::vector<std::uint8_t> midi, double seconds) {
  if (!output.takesRenderedPieces()) return std::nullopt;
  return planRendering(std::move(midi), seconds, output.soundFont(), output.rate());
}

std::optional<PlannedRendering> planRendering(std::vector<std::uint8_t> midi, double seconds,
                                              std::string soundFont, int rate) {
  if (!(seconds > 0) || seconds > kLongestRenderedSeconds || rate <= 0) return std::nullopt;
  PlannedRendering plan;
  plan.midi = std::move(midi);
  plan.soundFont = std::move(soundFont);
  plan.rate = rate;
  plan.gain = static_cast<float>(kMusicVolume * kFluidGainAtFullVolume / MIX_MAX_VOLUME);
  plan.frames = static_cast<std::uint64_t>(seconds * plan.rate + 0.5);
  if (plan.frames == 0) return std::nullopt;
  plan.key = renderKey({plan.midi, plan.soundFont, plan.rate, plan.gain, plan.frames});
  return plan;
}

std::filesystem::path shippedRenderingName(std::span<const std::uint8_t> midi) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, midi.size(), midi.data());
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  std::string name;
  char pair[3];
  for (std::uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(byte));
    name += pair;
  }
  return std::filesystem::path("renderings") / (name + ".flac");
}

Renderings& Renderings::get() {
  static Renderings* renderings = new Renderings;
  return *renderings;
}

void Renderings::start(const FileStamp& file, const MusicCache& cache, PlannedRendering plan) {
  std::unique_ptr<Job>& slot = byName_[file.name];
  if (slot && (slot->file == file || !slot->done.load(std::memory_order_acquire))) return;
  if (slot && slot->worker.joinable()) slot->worker.join();
  if (!started_) {
    started_ = true;
    std::atexit(stopAll);
#if MOMIRU_HAVE_FLUIDSYNTH
    // FluidSynth fills its shared tables when the first synthesizer is made and does not hold
    // back a second one made meanwhile on another thread, which then misses its default
    // modulators; so the first is made here, before any rendering thread can start.
    if (fluid_settings_t* settings = new_fluid_settings()) {
      if (fluid_synth_t* synth = new_fluid_synth(settings)) delete_fluid_synth(synth);
      delete_fluid_settings(settings);
    }
#endif
  }
  auto job = std::make_unique<Job>();
  job->file = file;
  try {
    job->worker = std::thread([job = job.get(), cache, plan = std::move(plan), stop = &stop_] {
      {
        CacheWriter out(cache, job->file.name, plan.key, plan.rate, plan.frames);
        renderMidi(plan, *stop, out);
      }
      job->done.store(true, std::memory_order_release);
      // The synthesizer's copy of the SoundFont was freed in this thread's own heap, which
      // keeps the pages (some 20 MB) unless told to give them back.
      returnFreedMemory();
    });
  } catch (const std::exception&) {
    job->done = true;  // no thread to spare: the synthesizer goes on playing the piece
  }
  slot = std::move(job);
}

bool Renderings::running(const FileStamp& file) const {
  const auto it = byName_.find(file.name);
  return it != byName_.end() && it->second->file == file &&
         !it->second->done.load(std::memory_order_acquire);
}

void Renderings::stopAll() {
  Renderings& renderings = get();
  renderings.stop_ = true;
  for (auto& [name, job] : renderings.byName_) {
    if (job->worker.joinable()) job->worker.join();
  }
}

}  // namespace momiru::media
