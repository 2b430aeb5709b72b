// heron: fills the check-point table workbook from the data file the host wrote. Takes no
// arguments.

#include "heron/program.h"

int main() {
  return qx::heron::runProgram(qx::heron::initializeFramework, qx::heron::fixedRunFiles());
}
