#include "platform/byte_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace qx::testing {

using namespace qx::platform;

namespace {

TEST(ByteFields, IntegersAreLittleEndianAndSigned) {
  const std::array<std::uint8_t, 8> bytes = {0x01, 0x02, 0x03, 0x04, 0xCE, 0xEF, 0xFF, 0xFF};
  EXPECT_EQ(int32At(bytes, 0), 0x04030201);
  EXPECT_EQ(int32At(bytes, 4), -4146);
  EXPECT_EQ(uint64At(bytes, 0), 0xFFFFEFCE04030201ull);
  EXPECT_EQ(addressAt(bytes, 0, 4), 0x04030201u);
}

TEST(ByteFields, DoublesAreIeeeLittleEndian) {
  std::array<std::uint8_t, 12> bytes{};
  const double value = -10000.0;
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  for (int i = 0; i < 8; ++i) bytes[static_cast<std::size_t>(3 + i)] = (bits >> (8 * i)) & 0xFF;
  EXPECT_EQ(doubleAt(bytes, 3), -10000.0);
}

TEST(ByteFields, TextEndsAtItsNulOrItsSlot) {
  const char raw[] = "abc\0zzzXYZW";
  const auto* data = reinterpret_cast<const std::uint8_t*>(raw);
  const Bytes bytes(data, sizeof raw);
  EXPECT_EQ(textAt(bytes, 0, 6), "abc");
  EXPECT_EQ(textAt(bytes, 4, 3), "zzz");   // no NUL inside the slot: the whole slot
  EXPECT_EQ(textAt(bytes, 7, 4), "XYZW");  // and never past it
  EXPECT_EQ(textAt(bytes, 3, 4), "");
}

TEST(ByteFields, StoreInt32RoundTrips) {
  std::array<std::uint8_t, 6> bytes{};
  storeInt32(bytes.data(), 1, -2);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(int32At(bytes, 1), -2);
}

}  // namespace
}  // namespace qx::testing
