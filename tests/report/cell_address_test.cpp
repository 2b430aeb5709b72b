#include "report/cell_address.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qx::testing {

using namespace qx::report;

namespace {

TEST(CellAddress, NamesColumnsOfOneAndTwoLetters) {
  struct Case {
    int column, row;
    const char* address;
  };
  const Case cases[] = {
      {1, 5, "$A$5"},  {26, 7, "$Z$7"}, {27, 5, "AA5"},     {52, 1, "AZ1"}, {53, 12, "BA12"},
      {255, 3, "IU3"}, {702, 9, "ZZ9"}, {28, 100, "AB100"}, {30, 4, "AD4"}, {2, 65536, "$B$65536"}};
  for (const Case& c : cases) {
    EXPECT_EQ(cellAddress(c.column, c.row), c.address) << c.column << "," << c.row;
  }
}

TEST(CellAddress, RefusesColumnsWithoutAName) {
  EXPECT_THROW(cellAddress(703, 1), std::out_of_range);
  EXPECT_THROW(cellAddress(0, 1), std::out_of_range);
  EXPECT_THROW(cellAddress(1, 0), std::out_of_range);
}

}  // namespace
}  // namespace qx::testing
