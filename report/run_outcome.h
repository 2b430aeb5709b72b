#pragma once
// How one export run ended, in the same words for every exporter.

namespace qx::report {

enum class Outcome {
  Saved,    // the workbook was filled and saved (a missing picture included)
  Stopped,  // a foreseen end before the save, told to the user (or why its message could not
            // be had); also a call that brings nothing to export
  Failed,   // the server failed a call, or input sheet writing cannot name: told once, every
            // reference released
};

}  // namespace qx::report
