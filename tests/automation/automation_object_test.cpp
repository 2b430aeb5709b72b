#include "automation/automation_object.h"

#include <gtest/gtest.h>

#include "automation/server_registry.h"
#include "tests/support/recording_server.h"

namespace qx::testing {

using namespace qx::automation;

namespace {

class CountedObject final : public Dispatch {
 public:
  std::uint32_t addRef() override { return ++references; }
  std::uint32_t release() override {
    ++releases;
    return --references;
  }
  std::int32_t invoke(std::int32_t, InvokeKind, std::span<const Variant>, Variant&,
                      ExceptionInfo&) override {
    return hr::kOk;
  }
  std::uint32_t references = 1;
  int releases = 0;
};

TEST(AutomationObject, AttachReleasesTheOldReferenceFirst) {
  CountedObject first, second;
  {
    AutomationObject holder;
    holder.attach(&first);
    holder.attach(&second);
    EXPECT_EQ(first.references, 0u);
    EXPECT_EQ(second.references, 1u);
  }
  EXPECT_EQ(second.references, 0u);
  EXPECT_EQ(first.releases, 1);
  EXPECT_EQ(second.releases, 1);
}

TEST(AutomationObject, CopyAddsOneReferenceAndEachIsReleasedOnce) {
  CountedObject object;
  {
    AutomationObject holder;
    holder.attach(&object);
    AutomationObject copy = holder.copy();
    EXPECT_EQ(object.references, 2u);
    copy.release();
    copy.release();  // an empty holder releases nothing
    EXPECT_EQ(object.references, 1u);
    AutomationObject moved = std::move(holder);
    EXPECT_TRUE(holder.empty());
    EXPECT_EQ(object.references, 1u);
  }
  EXPECT_EQ(object.references, 0u);
  EXPECT_EQ(object.releases, 2);
}

TEST(AutomationObject, NotOwnedReferencesAreNeverReleased) {
  CountedObject object;
  {
    AutomationObject holder;
    holder.attach(&object, false);
  }
  EXPECT_EQ(object.releases, 0);
}

TEST(AutomationObject, CreateByProgIdReachesTheRegisteredServer) {
  RecordingServer server;
  server.registerAs("Test.Application");
  AutomationObject application;
  EXPECT_TRUE(application.createByProgId("Test.Application"));
  EXPECT_EQ(server.outstandingReferences(), 1);
  application.release();
  EXPECT_EQ(server.outstandingReferences(), 0);
}

TEST(AutomationObject, CreateByProgIdReturnsFalseWithoutRaising) {
  AutomationObject application;
  EXPECT_FALSE(application.createByProgId("No.Such.Server"));
  EXPECT_TRUE(application.empty());

  registerServer("Throwing.Server", []() -> Dispatch* { throw std::runtime_error("boom"); });
  EXPECT_FALSE(application.createByProgId("Throwing.Server"));
  unregisterServer("Throwing.Server");

  RecordingServer server;
  server.registerAs("Failing.Server");
  server.failCreation();
  EXPECT_FALSE(application.createByProgId("Failing.Server"));
}

}  // namespace
}  // namespace qx::testing
