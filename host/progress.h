#pragma once
// Progress of a long report on standard error, for a user watching a terminal; scripts and
// logs get nothing.

#include <string>

namespace qx::host {

class Progress {
 public:
  // Shown when standard error is a terminal and the report has at least kLongReport records.
  static constexpr int kLongReport = 10000;
  explicit Progress(int records);

  void step(const std::string& what) const;

 private:
  bool shown_;
};

}  // namespace qx::host
