// Fills rows into a workbook and saves it over itself, as an exporter does with its copy of a
// template. It tells its parent on standard output when it starts filling ("filling"), when
// it starts saving ("saving") and when the save is done ("saved").
//   reliability_save_child <workbook> <rows>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/reliability/filled_rows.h"
#include "tests/reliability/workbook_checks.h"

namespace {

void say(const char* phase) {
  const std::string line = std::string(phase) + "\n";
  // Unbuffered, so that what was said is in the pipe even when the process is killed next.
  [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <workbook> <rows>\n", argv[0]);
    return 2;
  }
  try {
    const int rows = std::atoi(argv[2]);
    say("filling");
    const qx::testing::OpenWorkbook workbook(argv[1]);
    for (int row = 1; row <= rows; ++row) workbook.write(qx::testing::filledRow(row));
    say("saving");
    const std::string failure = workbook.save();
    if (!failure.empty()) {
      std::fprintf(stderr, "%s\n", failure.c_str());
      return 1;
    }
    say("saved");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
