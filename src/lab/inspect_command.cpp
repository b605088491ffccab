// momiru-lab inspect: being built.
#include <cstdio>

#include "lab/commands.h"

namespace momiru::lab {

int inspectCommand(const Args&) {
  std::fputs("momiru-lab inspect: not available in this build\n", stderr);
  return kUsageError;
}

}  // namespace momiru::lab
