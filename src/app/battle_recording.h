// The recording of a battle that reached its result on screen: its replay, kept in the replay
// folder, and one line on stderr that says where, or why not.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "data/game_state.h"
#include "replay/replay.h"

namespace momiru::app {

struct BattleRecording {
  replay::Replay replay;
  std::optional<std::filesystem::path> saved;  // where it was kept; none when it could not be
};

// The replay of the battle of `start` (the records as registered, the seed, the switches and the
// speed), with `files` as the base names shown, dated now. Whatever happens while it is
// saved, the battle and its result screen go on: the outcome is one line on stderr.
BattleRecording recordBattle(const battle::BattleStart& start,
                             const std::array<std::string, kSlots>& files);

}  // namespace momiru::app
