#pragma once
// A libzip source run by a callback over a state the source owns.

#include <zip.h>

namespace qx::engine {

// A source over `state` (allocated with new, with a `zip_error_t error` member the callback
// reports through), which the callback deletes on ZIP_SOURCE_FREE. Null, with `state` deleted,
// when libzip refuses it.
template <typename State>
zip_source_t* newFunctionSource(zip_source_callback callback, State* state) {
  zip_error_init(&state->error);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* created = zip_source_function_create(callback, state, &error);
  zip_error_fini(&error);
  if (created == nullptr) {
    zip_error_fini(&state->error);
    delete state;
  }
  return created;
}

}  // namespace qx::engine
