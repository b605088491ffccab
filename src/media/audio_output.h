// The process's one audio output, shared by every player: opened on the first player's use,
// closed when the program exits. Players never call the mixer's set-up themselves.
#pragma once

#include <SDL_mixer.h>

#include <set>
#include <vector>

#include "media/music_file.h"

namespace momiru::media {

// Levels measured through the output: the battle music peaks at -8 dBFS and the effects, which
// are made to peak near full scale, at -6 dBFS, so a hit on the loudest bar still cannot clip
// and the hits stand out over the music.
inline constexpr int kMusicVolume = MIX_MAX_VOLUME * 9 / 32;
inline constexpr int kEffectVolume = MIX_MAX_VOLUME / 2;

class AudioOutput {
 public:
  // Never destroyed: a player that outlives main() still finds it, closed by then.
  static AudioOutput& get();

  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  bool isOpen() const { return open_; }

  // Opens the output on the first call; a failure is final, so a player with no device to play
  // on does not try again on every keeper tick.
  bool ready();

  // The General MIDI SoundFont the synthesizer uses; null when there is none, and then MIDI
  // stays silent.
  const char* soundFont() const { return soundFont_; }
  int rate() const { return rate_; }
  // True when the output takes 16-bit stereo, the only format a piece is rendered in.
  bool takesRenderedPieces() const;
  // Seconds of sound the output has played since it opened: the clock a piece's end is told by.
  double secondsMixed() const;

  // A dedicated mixer channel, so that starting one player's sound cuts only that player's.
  int takeChannel();
  void giveBackChannel(int channel);

  // Files that opened but that the mixer refused; not tried again until they change, because the
  // music keeper would otherwise reload a broken piece every 10 ms.
  bool refused(const FileStamp& file) const { return refused_.count(file) != 0; }
  void refuse(const FileStamp& file) { refused_.insert(file); }

  const void* musicOwner = nullptr;  // the device whose piece the music stream holds

 private:
  AudioOutput() = default;
  bool openOutput();
  static void shutDown();  // stops the audio thread before the program's statics go away

  bool tried_ = false;
  bool open_ = false;
  bool initedSdlAudio_ = false;
  int rate_ = 44100;
  Uint16 format_ = AUDIO_S16SYS;
  int channels_ = 2;
  int bytesPerFrame_ = 4;
  const char* soundFont_ = nullptr;
  std::vector<bool> channelTaken_;
  std::set<FileStamp> refused_;
};

}  // namespace momiru::media
