#include "automation/apartment.h"

#include "automation/dispatch.h"

#ifdef _WIN32
#include <objbase.h>
#endif

namespace qx::automation {

namespace {
thread_local int depth = 0;
thread_local std::int32_t pendingFailure = hr::kOk;
}  // namespace

std::int32_t initializeApartment() {
  if (pendingFailure != hr::kOk) {
    const std::int32_t failure = pendingFailure;
    pendingFailure = hr::kOk;
    return failure;
  }
#ifdef _WIN32
  const HRESULT result = CoInitialize(nullptr);
  if (SUCCEEDED(result)) ++depth;
  return static_cast<std::int32_t>(result);
#else
  return depth++ == 0 ? hr::kOk : hr::kFalse;
#endif
}

void uninitializeApartment() {
  if (depth == 0) return;
  --depth;
#ifdef _WIN32
  CoUninitialize();
#endif
}

int apartmentDepthForTesting() {
  return depth;
}

void failNextApartmentInitializeForTesting(std::int32_t hresult) {
  pendingFailure = hresult;
}

}  // namespace qx::automation
