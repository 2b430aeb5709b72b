#pragma once
// A test that starts the fake IDispatch server through COM, as the exporters start theirs, and
// checks afterwards that every reference it handed out came back.

#include <gtest/gtest.h>

#include "automation/apartment.h"
#include "automation/automation_object.h"
#include "tests/com/fake_server_access.h"

namespace qx::fake {

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(automation::initializeApartment(), 0);
    initialised_ = true;
    ASSERT_TRUE(application.createByProgId(QX_FAKE_PROGID))
        << QX_FAKE_PROGID " is not registered in this Wine prefix "
        << "(scripts/register-test-servers.sh registers it)";
    ASSERT_TRUE(fake.connect()) << "COM did not load the fake server in process";
    fake.reset();
  }

  void TearDown() override {
    application.release();
    if (fake.connect()) {
      EXPECT_EQ(fake.outstanding(), 0) << "references left unreleased";
    }
    if (initialised_) automation::uninitializeApartment();
  }

  automation::AutomationObject application;
  FakeServer fake;

 private:
  bool initialised_ = false;
};

}  // namespace qx::fake
