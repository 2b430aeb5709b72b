#pragma once
// How far an exporter in this process has read the row records: the only thing a library that
// reports nothing lets the host see. The record blocks are made unreadable; the first read of
// a block faults, the fault handler opens that block (closing the one opened two before) and
// notes it, and the exporter goes on as if nothing happened. A pass over the rows therefore
// costs one fault per block of a megabyte. The exporters walk the row list once to check that
// it ends before they write it; that walk starts the count, and the writing pass, which comes
// back to the first block, starts it again.

#include <cstddef>

#include "host/record_list.h"

namespace qx::host {

class RecordWatch {
 public:
  // Watches `records` until destroyed; one watch at a time.
  explicit RecordWatch(RecordList& records);
  ~RecordWatch();
  RecordWatch(const RecordWatch&) = delete;
  RecordWatch& operator=(const RecordWatch&) = delete;

  // Records before the block the latest pass has reached (all of them once it reached the
  // last block).
  std::size_t recordsPassed() const;
};

}  // namespace qx::host
