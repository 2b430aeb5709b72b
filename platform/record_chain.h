#pragma once
// Chains of host records linked by address: a chain the host built wrong may lead back to a
// record already passed and never end.

namespace qx::platform {

// True when the chain from `first`, followed by `next` (which yields the empty record after the
// last one), comes back to a record it has passed. Constant memory; every link is read at most
// three times.
template <class Record, class Next>
bool chainLoops(Record first, Next next) {
  Record slow = first, fast = first;
  while (fast != Record{}) {
    fast = next(fast);
    if (fast == Record{}) return false;
    fast = next(fast);
    slow = next(slow);
    if (fast == slow) return true;
  }
  return false;
}

}  // namespace qx::platform
