#include "host/progress.h"

#include <unistd.h>

#include <cstdio>

namespace qx::host {

Progress::Progress(int records) : shown_(records >= kLongReport && ::isatty(STDERR_FILENO)) {}

void Progress::step(const std::string& what) const {
  if (shown_) std::fprintf(stderr, "qx_host: %s\n", what.c_str());
}

}  // namespace qx::host
