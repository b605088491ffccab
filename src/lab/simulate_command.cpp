// momiru-lab simulate: being built.
#include <cstdio>

#include "lab/commands.h"

namespace momiru::lab {

int simulateCommand(const Args&) {
  std::fputs("momiru-lab simulate: not available in this build\n", stderr);
  return kUsageError;
}

}  // namespace momiru::lab
