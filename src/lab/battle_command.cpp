// momiru-lab battle: being built.
#include <cstdio>

#include "lab/commands.h"

namespace momiru::lab {

int battleCommand(const Args&) {
  std::fputs("momiru-lab battle: not available in this build\n", stderr);
  return kUsageError;
}

}  // namespace momiru::lab
