// Recording a finished battle: the replay made, saved in the replay folder, and told on stderr.
#include "app/battle_recording.h"

#include <QDateTime>
#include <cstdio>

#include "app/replay_line.h"
#include "data/platform.h"
#include "data/text_safety.h"
#include "replay/replay_store.h"

#ifndef MOMIRU_VERSION
#define MOMIRU_VERSION "unknown"
#endif

namespace momiru::app {

BattleRecording recordBattle(const battle::BattleStart& start,
                             const std::array<std::string, kSlots>& files) {
  BattleRecording out;
  const std::string date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
  out.replay = replay::makeReplay(start, files, date, MOMIRU_VERSION);
  // Whatever happens here, the battle and its result screen go on: one line on stderr.
  Refusal why;
  out.saved = replay::saveReplay(replay::replayDirectory(), out.replay, &why);
  std::string line;
  if (out.saved) {
    line = "replay saved: " + shellQuote(pathToUtf8(*out.saved)) + "\n";
  } else {
    line = "momiru-battle: the replay could not be saved: " + visibleText(describe(why)) + "\n";
  }
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  return out;
}

}  // namespace momiru::app
