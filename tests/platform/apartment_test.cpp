#include "automation/apartment.h"

#include <gtest/gtest.h>

#include <thread>

#include "automation/dispatch.h"

namespace qx::testing {

using namespace qx::automation;

namespace {

TEST(Apartment, InitialisationIsCountedPerThread) {
  const int before = apartmentDepthForTesting();
  const std::int32_t first = initializeApartment();
  EXPECT_FALSE(hr::failed(first));
  EXPECT_EQ(initializeApartment(), hr::kFalse);  // already initialised
  EXPECT_EQ(apartmentDepthForTesting(), before + 2);
  std::thread([] { EXPECT_EQ(apartmentDepthForTesting(), 0); }).join();
  uninitializeApartment();
  uninitializeApartment();
  EXPECT_EQ(apartmentDepthForTesting(), before);
}

TEST(Apartment, AnInjectedFailureIsReturnedOnceAndCountsNothing) {
  const int before = apartmentDepthForTesting();
  failNextApartmentInitializeForTesting(hr::kFail);
  EXPECT_EQ(initializeApartment(), hr::kFail);
  EXPECT_EQ(apartmentDepthForTesting(), before);
  EXPECT_FALSE(hr::failed(initializeApartment()));
  uninitializeApartment();
}

}  // namespace
}  // namespace qx::testing
