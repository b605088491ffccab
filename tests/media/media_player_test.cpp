// The players' sequence, states, music keeper and effects, on recording fake devices.
#include "media/media_player.h"

#include <gtest/gtest.h>

#include <limits>

#include "data/platform.h"
#include "fake_device.h"
#include "media/sounds.h"

namespace momiru::media {
namespace {

using testing::FakeDevice;
using Calls = std::vector<std::string>;

class FakeDevices : public ::testing::Test {
 protected:
  Calls takeCalls() { return fakes_.takeCalls(); }

  testing::FakeDevices fakes_;
  const std::vector<FakeDevice*>& devices_ = fakes_.devices();
};

std::string beside(std::string_view name) { return pathToUtf8(findDataFile(std::string(name))); }

// What device `d` hears when a player starts `name` from the beginning.
Calls started(const std::string& d, std::string_view name, bool reopened = false,
              bool repeating = false) {
  Calls calls{d + " open " + beside(name), d + " rewind",
              d + (repeating ? " play repeating" : " play")};
  if (reopened) calls.insert(calls.begin(), d + " close");
  return calls;
}

TEST_F(FakeDevices, PlayFromStartRunsTheSequenceInOrder) {
  ASSERT_FALSE(beside("music a.mid").empty()) << "assets are staged beside the tests";
  MediaPlayer player;
  EXPECT_EQ(player.state(), PlayerState::Closed);

  player.playFromStart("music a.mid");
  // A closed player has nothing to close, so the device hears the sequence from "Open" on.
  EXPECT_EQ(takeCalls(), started("1", "music a.mid"));
  EXPECT_EQ(player.fileName(), beside("music a.mid"));
  EXPECT_EQ(player.state(), PlayerState::Playing);

  player.playFromStart("music a.mid");
  EXPECT_EQ(takeCalls(), started("1", "music a.mid", true));
}

TEST_F(FakeDevices, StatesFollowTheOperationsAndBadFilesStaySilent) {
  MediaPlayer player;
  player.play();  // nothing open yet
  player.rewind();
  player.close();
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_EQ(player.state(), PlayerState::Closed);

  EXPECT_TRUE(player.open("/somewhere/tune.mid"));
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  player.play();
  EXPECT_TRUE(player.isPlaying());
  devices_[0]->finish();
  EXPECT_EQ(player.state(), PlayerState::Stopped);
  EXPECT_FALSE(player.isPlaying());
  player.close();
  EXPECT_EQ(player.state(), PlayerState::Closed);
  EXPECT_EQ(takeCalls(), (Calls{"1 open /somewhere/tune.mid", "1 play", "1 close"}));

  // Opening another file closes the one that was open.
  EXPECT_TRUE(player.open("/somewhere/tune.mid"));
  EXPECT_TRUE(player.open("/somewhere/other.mid"));
  EXPECT_EQ(takeCalls(),
            (Calls{"1 open /somewhere/tune.mid", "1 close", "1 open /somewhere/other.mid"}));
  player.close();
  takeCalls();

  // A file that will not open leaves the player silent; one found nowhere is not even tried.
  EXPECT_FALSE(player.open("/somewhere/broken.mid"));
  player.rewind();
  player.play();
  EXPECT_EQ(player.state(), PlayerState::Closed);
  EXPECT_EQ(takeCalls(), Calls{"1 open /somewhere/broken.mid"});
  player.playFromStart("no such piece.mid");
  EXPECT_EQ(player.fileName(), "");
  EXPECT_EQ(player.state(), PlayerState::Closed);
  EXPECT_EQ(takeCalls(), Calls{});
}

TEST_F(FakeDevices, KeeperStartsTheMusicAndRestartsItOnlyWhenItHasEnded) {
  BattleSounds sounds;
  ASSERT_EQ(devices_.size(), 3u);
  EXPECT_EQ(takeCalls(), Calls{});  // nothing sounds before the first tick
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), started("1", "music a.mid", false, true));
  for (int i = 0; i < 50; ++i) sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), Calls{}) << "a playing piece is left alone";

  // A device that could not repeat it, or a stream that failed mid-way.
  devices_[0]->finish();
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), started("1", "music a.mid", true, true));
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), Calls{});
}

// The keeper wakes every 10 ms while it cannot tell the end; a piece that tells its end lets it
// wait, at most half a second at a time, until a quarter second before that end.
TEST_F(FakeDevices, KeeperWaitsUntilNearTheEndOfAPieceThatTellsIt) {
  BattleSounds sounds;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);  // started; the fake cannot tell
  for (const auto& [left, wait] : {std::pair{30.0, kMusicKeeperLongestWaitMs},
                                   {std::numeric_limits<double>::infinity(),  // repeating
                                    kMusicKeeperLongestWaitMs},
                                   {0.4, 150},
                                   {0.255, kMusicKeeperMs},
                                   {0.1, kMusicKeeperMs}}) {
    devices_[0]->left = left;
    EXPECT_EQ(sounds.keepMusicPlaying(), wait) << left;
  }
  takeCalls();
  devices_[0]->finish();
  devices_[0]->left = 0;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);  // restarted at once, as before
  EXPECT_EQ(takeCalls().size(), 4u);
}

// Music that cannot start is tried again every half second, not every tick, and starts at the
// first look after it can.
TEST_F(FakeDevices, KeeperLooksSeldomWhileTheMusicCannotStart) {
  BattleSounds sounds;
  devices_[0]->refuses = true;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperLongestWaitMs);
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperLongestWaitMs);
  EXPECT_EQ(takeCalls(),
            (Calls{"1 open " + beside("music a.mid"), "1 open " + beside("music a.mid")}));
  EXPECT_EQ(sounds.music.state(), PlayerState::Closed);
  EXPECT_EQ(sounds.music.secondsLeft(), 0);

  devices_[0]->refuses = false;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);  // started; the fake cannot tell
  EXPECT_EQ(sounds.music.state(), PlayerState::Playing);
}

TEST_F(FakeDevices, TitleMusicStartsUnlessAlreadyPlaying) {
  MediaPlayer title;
  playUnlessPlaying(title, kTitleMusic);
  EXPECT_EQ(takeCalls(), started("1", "music b.mid"));
  playUnlessPlaying(title, kTitleMusic);
  EXPECT_EQ(takeCalls(), Calls{});
}

// A piece played once is let go of only after its end and the synthesizer's ringing: the wait
// covers both, and a player that is still sounding when asked is left playing.
TEST_F(FakeDevices, APiecePlayedOnceClosesOnlyOnceItAndItsRingingHaveEnded) {
  MediaPlayer title;
  EXPECT_EQ(closeWhenFinished(title), 0) << "nothing open, nothing to wait for";
  playUnlessPlaying(title, kTitleMusic);
  takeCalls();
  for (const auto& [left, wait] :
       {std::pair{42.5, 42'500 + kRingOutMs},
        {0.0, kRingOutMs},  // a device that cannot tell its end is asked again
        {std::numeric_limits<double>::quiet_NaN(), kRingOutMs},
        {std::numeric_limits<double>::infinity(), kRingOutMs * 61}}) {  // repeating, capped
    devices_[0]->left = left;
    EXPECT_EQ(closeWhenFinished(title), wait) << left;
  }
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_EQ(title.state(), PlayerState::Playing);

  devices_[0]->finish();
  EXPECT_EQ(closeWhenFinished(title), 0);
  EXPECT_EQ(takeCalls(), Calls{"1 close"});
  EXPECT_EQ(title.state(), PlayerState::Closed);
  EXPECT_EQ(closeWhenFinished(title), 0);
  EXPECT_EQ(takeCalls(), Calls{});
}

// Each effect cuts only its own player; leaving the battle stops all three, and any open player
// closes when it goes.
TEST_F(FakeDevices, EachEffectCutsOnlyItsOwnPlayerAndEveryPlayerClosesWhenItGoes) {
  {
    BattleSounds sounds;
    sounds.keepMusicPlaying();
    sounds.playHit();
    sounds.playSpecialHit();
    takeCalls();

    sounds.playHit();  // the second blow of a multi-hit move
    EXPECT_EQ(takeCalls(), started("2", "snd01.wav", true));
    EXPECT_EQ(sounds.music.state(), PlayerState::Playing);
    EXPECT_EQ(sounds.specialHit.state(), PlayerState::Playing);
    sounds.playSpecialHit();
    EXPECT_EQ(takeCalls(), started("3", "snd02.wav", true));
  }
  Calls closed = takeCalls();
  std::sort(closed.begin(), closed.end());
  EXPECT_EQ(closed, (Calls{"1 close", "2 close", "3 close"}));
  {
    MediaPlayer player;
    player.playFromStart("snd01.wav");
    takeCalls();
  }
  EXPECT_EQ(takeCalls(), Calls{"4 close"});
}

}  // namespace
}  // namespace momiru::media
