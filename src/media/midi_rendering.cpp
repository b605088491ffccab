// Rendering MIDI through a synthesizer of its own, faster than real time, on a worker thread.
#include "media/midi_rendering.h"

#include <fluidsynth.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "media/audio_output.h"

namespace momiru::media {

namespace {

// The mixer's FluidSynth player sets the synthesizer's gain to this times volume / MIX_MAX_VOLUME;
// a rendered piece is made at that gain and mixed at full volume, so it sounds as loud.
constexpr double kFluidGainAtFullVolume = 1.2;

// Renders `midi` as the mixer's own FluidSynth player would sound it at `gain`, cut at
// `seconds` (the keeper starts the piece again there, so the synthesizer's ringing tail after
// the last bar is never heard). False when the synthesizer refuses or `stop` is set.
bool renderMidi(const std::vector<std::uint8_t>& midi, double seconds, const char* soundFont,
                int rate, float gain, const std::atomic<bool>& stop, std::vector<Sint16>& out) {
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return false;
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setstr(settings, "player.timing-source", "sample");  // faster than real time
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = nullptr;
  bool ok = synth != nullptr && fluid_synth_sfload(synth, soundFont, 1) != FLUID_FAILED;
  if (ok) {
    fluid_synth_set_gain(synth, gain);
    player = new_fluid_player(synth);
    ok = player != nullptr && fluid_player_add_mem(player, midi.data(), midi.size()) == FLUID_OK &&
         fluid_player_play(player) == FLUID_OK;
  }
  const auto frames = static_cast<std::size_t>(seconds * rate + 0.5);
  ok = ok && frames > 0;
  if (ok) {
    constexpr std::size_t kBlock = 4096;
    out.assign(frames * 2, 0);
    for (std::size_t done = 0; ok && done < frames; done += kBlock) {
      const std::size_t n = std::min(kBlock, frames - done);
      Sint16* at = out.data() + done * 2;
      ok = !stop.load(std::memory_order_relaxed) &&
           fluid_synth_write_s16(synth, static_cast<int>(n), at, 0, 2, at, 1, 2) == FLUID_OK;
    }
  }
  if (player != nullptr) {
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  if (synth != nullptr) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  if (!ok) std::vector<Sint16>().swap(out);
  return ok;
}

}  // namespace

Renderings& Renderings::get() {
  static Renderings* renderings = new Renderings;
  return *renderings;
}

std::shared_ptr<Rendering> Renderings::start(const FileStamp& file,
                                             const std::vector<std::uint8_t>& midi,
                                             double seconds) {
  const AudioOutput& output = AudioOutput::get();
  if (!output.takesRenderedPieces()) return nullptr;
  std::shared_ptr<Rendering>& slot = byName_[file.name];
  if (slot && slot->file == file) return slot;
  if (slot && slot->state.load(std::memory_order_acquire) == Rendering::kRendering)
    return nullptr;  // the older version is still being rendered; the synthesizer plays this
  if (slot && slot->worker.joinable()) slot->worker.join();
  if (!stopAtExit_) {
    stopAtExit_ = true;
    std::atexit(stopAll);
  }
  auto r = std::make_shared<Rendering>();
  r->file = file;
  const float gain = static_cast<float>(kMusicVolume * kFluidGainAtFullVolume / MIX_MAX_VOLUME);
  try {
    r->worker = std::thread([r = r.get(), midi, seconds, font = output.soundFont(),
                             rate = output.rate(), gain, stop = &stop_] {
      const bool ok = renderMidi(midi, seconds, font, rate, gain, *stop, r->pcm);
      r->state.store(ok ? Rendering::kRendered : Rendering::kFailed, std::memory_order_release);
      // The synthesizer's copy of the SoundFont was freed in this thread's own heap, which
      // keeps the pages (some 20 MB) unless told to give them back.
      malloc_trim(0);
    });
  } catch (const std::exception&) {
    r->state = Rendering::kFailed;  // no thread to spare: the synthesizer goes on playing it
  }
  slot = std::move(r);
  return slot;
}

std::shared_ptr<Rendering> Renderings::finished(const FileStamp& file) const {
  const auto it = byName_.find(file.name);
  if (it == byName_.end() || it->second->file != file || !it->second->ready()) return nullptr;
  return it->second;
}

void Renderings::stopAll() {
  Renderings& renderings = get();
  renderings.stop_ = true;
  for (auto& [name, r] : renderings.byName_) {
    if (r->worker.joinable()) r->worker.join();
  }
}

}  // namespace momiru::media
