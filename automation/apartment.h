#pragma once
// COM initialisation of the calling thread (single-threaded apartment). Outside Windows there
// is no COM; the apartment is a per-thread count so that runs behave, and tests can check,
// the same way.

#include <cstdint>

namespace qx::automation {

// CoInitialize(nullptr): S_OK, S_FALSE when the thread was initialised before, or a failure.
std::int32_t initializeApartment();

// CoUninitialize(): undoes one successful initializeApartment().
void uninitializeApartment();

// Outside Windows, for tests: how many initialisations the calling thread holds, and a failure
// that the next initializeApartment() on this thread returns instead of succeeding.
int apartmentDepthForTesting();
void failNextApartmentInitializeForTesting(std::int32_t hresult);

}  // namespace qx::automation
