// The progress line, on its own: what it shows for each state, and that it fits its columns.

#include "host/progress.h"

#include <gtest/gtest.h>

namespace qx::testing {

using namespace qx::host;

namespace {

TEST(ProgressLineTest, ShowsRecordsPercentAndTimeLeft) {
  struct Case {
    ProgressState state;
    int columns;
    const char* line;
  };
  const Case cases[] = {
      {{"filling", 50000, 200000, -1, 10},
       80,
       "qx_host: filling [#####---------------]  25%  50,000/200,000 records, 0:30 left"},
      {{"filling", 0, 200000, -1, 0.2},
       80,
       "qx_host: filling [------------------------------------]   0%  0/200,000 records"},
      {{"saving", 200000, 200000, -1, 95},
       80,
       "qx_host: saving [###############################] 100%  200,000/200,000 records"},
      {{"filling", 1, 3, -1, 7200},
       80,
       "qx_host: filling [#########-------------------]  33%  1/3 records, 4:00:00 left"},
      // Narrow terminals: the bar goes, then the time, then the records; the line never wraps.
      {{"filling", 500, 1000, -1, 2}, 50, "qx_host: filling  50%  500/1,000 records"},
      {{"filling", 500, 1000, -1, 2}, 30, "qx_host: filling  50%"},
      // No total: what is known.
      {{"reading the description", 0, 0, -1, 3},
       80,
       "qx_host: reading the description 0:03 so far"},
      {{"reading", 0, 0, 0.5, 4},
       60,
       "qx_host: reading [############------------]  50%, 0:04 left"},
  };
  for (const Case& c : cases) {
    const std::string line = progressLine(c.state, c.columns);
    EXPECT_EQ(line, c.line);
    EXPECT_LT(static_cast<int>(line.size()), c.columns);
  }
}

TEST(ProgressLineTest, NothingIsShownOffATerminal) {
  Progress progress(true, -1);
  EXPECT_FALSE(progress.shown());
  progress.phase("filling", 10, [] { return std::size_t{5}; });
  progress.finish();
}

}  // namespace
}  // namespace qx::testing
