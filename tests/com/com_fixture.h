#pragma once
// Tests that start the fake IDispatch server through COM, as the exporters start theirs, and
// check afterwards that every reference it handed out came back; out of process, also that
// the server then ended, so that no later test meets it.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "automation/apartment.h"
#include "automation/automation_object.h"
#include "tests/com/fake_server_access.h"

namespace qx::testing {

enum class Transport { InProcess, OutOfProcess };

class ComFixture : public ::testing::Test {
 protected:
  void start(Transport transport) {
    transport_ = transport;
    ASSERT_GE(automation::initializeApartment(), 0);
    initialised_ = true;
    const char* progId = inProcess() ? QX_FAKE_PROGID : QX_FAKE_LOCAL_PROGID;
    bool created = application.createByProgId(progId);
    if (!created && !inProcess()) {
      // Wine has been seen to refuse a local server's start once, at once, in a long run of
      // these tests. These tests need a server, not its start: it is asked once more, and the
      // log says so. The creation tests themselves never ask twice.
      std::fprintf(stderr, "%s: the local server did not start; asked once more\n", progId);
      Sleep(kSecondStartAfterMs);
      created = application.createByProgId(progId);
    }
    ASSERT_TRUE(created) << progId << " is not registered in this Wine prefix "
                         << "(scripts/register-test-servers.sh registers it)";
    ASSERT_TRUE(inProcess() ? fake.connect() : fake.connectOutOfProcess(application))
        << "the fake server cannot be read";
    connected_ = true;
    if (!inProcess()) {
      server_ = OpenProcess(SYNCHRONIZE, FALSE, fake.serverProcessId());
      ASSERT_NE(server_, nullptr) << "the local server's process cannot be opened";
    }
    fake.reset();
  }

  void TearDown() override {
    application.release();
    if (connected_) {
      EXPECT_EQ(fake.outstanding(), 0) << "references left unreleased";
    }
    fake = FakeServer();
    if (initialised_) automation::uninitializeApartment();
    if (server_ != nullptr) {
      // It ends at its next check once nothing of it is held (a tenth of a second natively).
      EXPECT_EQ(WaitForSingleObject(server_, kServerEndsWithinMs), WAIT_OBJECT_0)
          << "the local server still runs after its last object was released";
      CloseHandle(server_);
    }
  }

  bool inProcess() const { return transport_ == Transport::InProcess; }

  automation::AutomationObject application;
  FakeServer fake;

 private:
  static constexpr DWORD kServerEndsWithinMs = 30000;
  static constexpr DWORD kSecondStartAfterMs = 1000;
  Transport transport_ = Transport::InProcess;
  HANDLE server_ = nullptr;
  bool initialised_ = false;
  bool connected_ = false;
};

// In process only: reference counts are exact there, with no proxy in between.
class ComTest : public ComFixture {
 protected:
  void SetUp() override { start(Transport::InProcess); }
};

// Once in process and once out of process, where every call crosses to a server process.
class ComTransportTest : public ComFixture, public ::testing::WithParamInterface<Transport> {
 protected:
  void SetUp() override { start(GetParam()); }
};

}  // namespace qx::testing
