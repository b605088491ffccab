// When the game's music and sounds play: the title music, the battle's music keeper
// (BattleSounds::keepMusicPlaying, on the battle screen's keeper timer) and the two hit sounds
// (playHit, playSpecialHit). Screens own the players; these say what to play on them.
#pragma once

#include <string_view>

#include "media/media_player.h"

namespace momiru::media {

inline constexpr std::string_view kBattleMusic = "music a.mid";
inline constexpr std::string_view kTitleMusic = "music b.mid";
inline constexpr std::string_view kHitSound = "snd01.wav";
inline constexpr std::string_view kSpecialHitSound = "snd02.wav";

// The music keeper looks every kMusicKeeperMs while it cannot tell when the piece ends, and from
// kMusicEndMarginMs before the end on; until then it waits at most kMusicKeeperLongestWaitMs, so
// that a piece cut short (a stream that fails mid-way) is still restarted soon. Music that cannot
// start is tried again every kMusicKeeperLongestWaitMs.
inline constexpr int kMusicKeeperMs = 10;
inline constexpr int kMusicEndMarginMs = 250;
inline constexpr int kMusicKeeperLongestWaitMs = 500;

// Renders the battle and title music into the music cache in the background when it does not
// hold them yet, so that neither needs the synthesizer while it plays.
void prepareGameMusic();

// Runs the play-from-start sequence unless `player` is playing. Both the title's load step and
// the battle's music keeper are this, with their own player and piece.
void playUnlessPlaying(MediaPlayer& player, std::string_view fileName);

// A piece played once keeps its sound loaded past its end, and one that still plays through the
// synthesizer (before its rendering is in the music cache) holds a SoundFont's worth of memory
// for as long as the screen stays. Called when the piece starts and then when it says: closes
// `player` once the piece and the synthesizer's ringing after its last bar (up to kRingOutMs)
// have died away, and returns 0; while it plays, returns the wait in ms until it next needs to
// look.
inline constexpr int kRingOutMs = 8000;
int closeWhenFinished(MediaPlayer& player);

// The battle screen's three players and what its code calls on them. The players start closed,
// and destroying this (with the screen) stops all three.
class BattleSounds {
 public:
  BattleSounds() { music.setRepeating(true); }

  // The battle screen's music keeper, every kMusicKeeperMs from the start of the battle: starts
  // the music on the first tick, repeating where the device can, and again from the beginning on
  // the first tick after it has ended. Returns when the keeper next needs to look:
  // kMusicKeeperMs, or longer while the piece is known to play on for a while, so that the
  // keeper wakes the game only near its end, and kMusicKeeperLongestWaitMs while the music
  // cannot start (no sound device, the file missing or refused).
  int keepMusicPlaying();
  // The hit sound, and the special-hit sound; each cuts its own previous sound only.
  void playHit() { hit.playFromStart(kHitSound); }
  void playSpecialHit() { specialHit.playFromStart(kSpecialHitSound); }

  MediaPlayer music;       // battle music
  MediaPlayer hit;         // hit sound
  MediaPlayer specialHit;  // special-hit sound
};

}  // namespace momiru::media
