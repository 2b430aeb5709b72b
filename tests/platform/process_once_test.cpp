#include "platform/process_once.h"

#include <gtest/gtest.h>

namespace qx::testing {

using namespace qx::platform;

namespace {

TEST(ProcessOnce, EachKeyIsClaimedOnceOnly) {
  EXPECT_TRUE(claimOncePerProcess("process-once-test-a"));
  EXPECT_FALSE(claimOncePerProcess("process-once-test-a"));
  EXPECT_TRUE(claimOncePerProcess("process-once-test-b"));
  EXPECT_FALSE(claimOncePerProcess("process-once-test-b"));
  EXPECT_FALSE(claimOncePerProcess("process-once-test-a"));
}

}  // namespace
}  // namespace qx::testing
