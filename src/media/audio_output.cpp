// Opening and closing the mixer's output, its channels, and the clock of what it has played.
#include "media/audio_output.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace momiru::media {

namespace {

// General MIDI SoundFonts, best first. The small one loads in some 20 ms, which matters because
// the mixer loads the SoundFont again for every MIDI file it opens (each battle-music restart);
// the large ones take half a second and 150 MB, so they only stand in when it is missing.
constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

constexpr bool kHaveFluidSynth = MOMIRU_HAVE_FLUIDSYNTH != 0;

std::atomic<std::uint64_t> g_framesMixed{0};

void countFrames(void* bytesPerFrame, Uint8*, int len) {
  g_framesMixed += static_cast<std::uint64_t>(len) /
                   static_cast<std::uint64_t>(*static_cast<int*>(bytesPerFrame));
}

}  // namespace

AudioOutput& AudioOutput::get() {
  static AudioOutput* output = new AudioOutput;
  return *output;
}

bool AudioOutput::ready() {
  if (!tried_) {
    tried_ = true;
    open_ = openOutput();
  }
  return open_;
}

bool AudioOutput::takesRenderedPieces() const {
  return open_ && soundFont_ != nullptr && format_ == AUDIO_S16SYS && channels_ == 2;
}

double AudioOutput::secondsMixed() const {
  return static_cast<double>(g_framesMixed.load()) / static_cast<double>(rate_);
}

int AudioOutput::takeChannel() {
  std::size_t i = 0;
  while (i < channelTaken_.size() && channelTaken_[i]) ++i;
  if (i == channelTaken_.size()) {
    channelTaken_.push_back(false);
    Mix_AllocateChannels(static_cast<int>(channelTaken_.size()));
  }
  channelTaken_[i] = true;
  Mix_Volume(static_cast<int>(i), kEffectVolume);
  return static_cast<int>(i);
}

void AudioOutput::giveBackChannel(int channel) {
  if (!open_) return;
  Mix_HaltChannel(channel);
  channelTaken_[static_cast<std::size_t>(channel)] = false;
}

void AudioOutput::shutDown() {
  AudioOutput& output = get();
  if (!output.open_) return;
  output.open_ = false;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_SetPostMix(nullptr, nullptr);
  Mix_CloseAudio();
  Mix_Quit();
  if (output.initedSdlAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioOutput::openOutput() {
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
    // SDL would otherwise catch SIGINT and SIGTERM for an event loop we never run, and the game
    // would ignore a logout or a kill.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    initedSdlAudio_ = true;
  }
  // MIDI may be missing; the WAV effects still work. FLAC is what a build without a synthesizer
  // plays its pieces from.
  Mix_Init(MIX_INIT_MID | MIX_INIT_FLAC);
  if (Mix_OpenAudio(rate_, AUDIO_S16SYS, 2, 1024) != 0) {
    if (initedSdlAudio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    initedSdlAudio_ = false;
    return false;
  }
  int rate = 0;
  Uint16 format = 0;
  int channels = 0;
  if (Mix_QuerySpec(&rate, &format, &channels) != 0 && rate > 0 && channels > 0) {
    rate_ = rate;
    format_ = format;
    channels_ = channels;
    bytesPerFrame_ = channels * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
  }
  Mix_SetPostMix(countFrames, &bytesPerFrame_);
  std::atexit(shutDown);
  Mix_AllocateChannels(0);
  Mix_VolumeMusic(kMusicVolume);
  // A MIDI piece with no SoundFont plays silence without an error, so only a file that exists
  // is handed over, and MIDI stays off without one.
  // Without FluidSynth (the Windows build) there is no synthesizer to give one to, even where a
  // SoundFont lies at one of these paths (Wine's drive Z: is the Linux file system).
  if (kHaveFluidSynth) {
    std::error_code ec;
    for (const char* font : kSoundFonts) {
      if (std::filesystem::is_regular_file(font, ec)) {
        if (Mix_SetSoundFonts(font) != 0) soundFont_ = font;
        break;
      }
    }
  }
  return true;
}

}  // namespace momiru::media
