// The screen's engine, compiled once for everyone who includes the header.
#include "battle/battle_engine.h"

namespace momiru::battle {

template class BasicBattle<RandomUnit, BattleScreenPort, true>;

}  // namespace momiru::battle
