// The players' command sequence, modes, music keeper and effects, on recording fake devices.
#include "media/media_player.h"

#include <gtest/gtest.h>

#include "data/platform.h"
#include "fake_device.h"
#include "media/sounds.h"

namespace momiru::media {
namespace {

using testing::DeviceLog;
using testing::FakeDevice;
using Calls = std::vector<std::string>;

// Every MediaPlayer() made while this lives gets a fake device tagged 1, 2, 3... in order.
class FakeDevices : public ::testing::Test {
 protected:
  FakeDevices() {
    previous_ = setDeviceFactory([this] {
      auto d = std::make_unique<FakeDevice>(log_, std::to_string(devices_.size() + 1));
      devices_.push_back(d.get());
      return d;
    });
  }
  ~FakeDevices() override { setDeviceFactory(std::move(previous_)); }

  Calls takeCalls() { return std::exchange(log_->calls, {}); }

  std::shared_ptr<DeviceLog> log_ = std::make_shared<DeviceLog>();
  std::vector<FakeDevice*> devices_;
  DeviceFactory previous_;
};

std::string beside(std::string_view name) { return pathToUtf8(findDataFile(std::string(name))); }

TEST_F(FakeDevices, PlayFromStartRunsTheSequenceInOrder) {
  ASSERT_FALSE(beside("music a.mid").empty()) << "assets are staged beside the tests";
  MediaPlayer player;
  EXPECT_EQ(player.Mode(), kModeNotReady);

  player.playFromStart("music a.mid");
  // A closed player has nothing to close, so the device hears the sequence from "Open" on.
  EXPECT_EQ(takeCalls(), (Calls{"1 open " + beside("music a.mid"), "1 rewind", "1 play"}));
  EXPECT_EQ(player.fileName(), beside("music a.mid"));
  EXPECT_EQ(player.Mode(), kModePlaying);

  player.playFromStart("music a.mid");
  EXPECT_EQ(takeCalls(),
            (Calls{"1 close", "1 open " + beside("music a.mid"), "1 rewind", "1 play"}));
}

TEST_F(FakeDevices, ModesFollowTheCommandsAndBadFilesStaySilent) {
  MediaPlayer player;
  player.Command("Play");  // nothing open yet
  player.Command("Prev");
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_EQ(player.Mode(), kModeNotReady);

  player.setFileName("/somewhere/tune.mid");
  player.Command("Open");
  EXPECT_EQ(player.Mode(), kModeStopped);
  player.Command("Play");
  EXPECT_EQ(player.Mode(), kModePlaying);
  devices_[0]->finish();
  EXPECT_EQ(player.Mode(), kModeStopped);
  player.Command("Stop");  // not in the vocabulary
  player.Command("Close");
  EXPECT_EQ(player.Mode(), kModeNotReady);
  EXPECT_EQ(takeCalls(), (Calls{"1 open /somewhere/tune.mid", "1 play", "1 close"}));

  // A file that will not open leaves the player silent; one found nowhere is not even tried.
  player.setFileName("/somewhere/broken.mid");
  player.Command("Open");
  player.Command("Prev");
  player.Command("Play");
  EXPECT_EQ(player.Mode(), kModeNotReady);
  EXPECT_EQ(takeCalls(), Calls{"1 open /somewhere/broken.mid"});
  player.playFromStart("no such piece.mid");
  EXPECT_EQ(player.fileName(), "");
  EXPECT_EQ(player.Mode(), kModeNotReady);
  EXPECT_EQ(takeCalls(), Calls{});
}

TEST_F(FakeDevices, KeeperStartsTheMusicAndRestartsItOnlyWhenItHasEnded) {
  BattleSounds sounds;
  ASSERT_EQ(devices_.size(), 3u);
  const Calls start{"1 open " + beside("music a.mid"), "1 rewind", "1 play"};
  const Calls restart{"1 close", "1 open " + beside("music a.mid"), "1 rewind", "1 play"};

  EXPECT_EQ(takeCalls(), Calls{});  // nothing sounds before the first tick
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), start);
  for (int i = 0; i < 50; ++i) sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), Calls{}) << "a playing piece is left alone";

  devices_[0]->finish();
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), restart);
  sounds.keepMusicPlaying();
  EXPECT_EQ(takeCalls(), Calls{});
}

// The keeper wakes every 10 ms while it cannot tell the end; a piece that tells its end lets it
// wait, at most half a second at a time, until a quarter second before that end.
TEST_F(FakeDevices, KeeperWaitsUntilNearTheEndOfAPieceThatTellsIt) {
  BattleSounds sounds;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);  // started; the fake cannot tell
  devices_[0]->left = 30.0;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperLongestWaitMs);
  devices_[0]->left = 0.4;
  EXPECT_EQ(sounds.keepMusicPlaying(), 150);
  devices_[0]->left = 0.255;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);
  devices_[0]->left = 0.1;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);
  takeCalls();
  devices_[0]->finish();
  devices_[0]->left = 0;
  EXPECT_EQ(sounds.keepMusicPlaying(), kMusicKeeperMs);  // restarted at once, as before
  EXPECT_EQ(takeCalls().size(), 4u);

  // A player that could not open asks again every 10 ms.
  sounds.music.setFileName("/somewhere/broken.mid");
  sounds.music.Command("Open");
  EXPECT_EQ(sounds.music.secondsLeft(), 0);
}

TEST_F(FakeDevices, TitleMusicStartsUnlessAlreadyPlaying) {
  MediaPlayer title;
  playUnlessPlaying(title, kTitleMusic);
  EXPECT_EQ(takeCalls(), (Calls{"1 open " + beside("music b.mid"), "1 rewind", "1 play"}));
  playUnlessPlaying(title, kTitleMusic);
  EXPECT_EQ(takeCalls(), Calls{});
}

TEST_F(FakeDevices, EachEffectCutsOnlyItsOwnPlayer) {
  BattleSounds sounds;
  sounds.keepMusicPlaying();
  sounds.playHit();
  sounds.playSpecialHit();
  takeCalls();

  sounds.playHit();  // the second blow of a multi-hit move
  EXPECT_EQ(takeCalls(), (Calls{"2 close", "2 open " + beside("snd01.wav"), "2 rewind", "2 play"}));
  EXPECT_EQ(sounds.music.Mode(), kModePlaying);
  EXPECT_EQ(sounds.hit.Mode(), kModePlaying);
  EXPECT_EQ(sounds.specialHit.Mode(), kModePlaying);

  sounds.playSpecialHit();
  EXPECT_EQ(takeCalls(), (Calls{"3 close", "3 open " + beside("snd02.wav"), "3 rewind", "3 play"}));
}

TEST_F(FakeDevices, LeavingTheBattleStopsAllThreeAndAPlayerClosesWhenItGoes) {
  {
    BattleSounds sounds;
    sounds.keepMusicPlaying();
    sounds.playHit();
    sounds.playSpecialHit();
    takeCalls();
  }
  Calls closed = takeCalls();
  std::sort(closed.begin(), closed.end());
  EXPECT_EQ(closed, (Calls{"1 close", "2 close", "3 close"}));
  {
    MediaPlayer player;
    player.playFromStart("snd01.wav");
    takeCalls();
  }
  EXPECT_EQ(takeCalls(), Calls{"4 close"});  // any open player closes when it goes
}

}  // namespace
}  // namespace momiru::media
