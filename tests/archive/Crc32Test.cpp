#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/Crc32.h"

namespace {

uint32_t ByteByByte(uint32_t crc, const uint8_t* p, size_t n) {
  static const CrcTableArray table = MakeCrcTable();
  uint32_t reg = ~crc;
  for (size_t i = 0; i < n; ++i) reg = table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return ~reg;
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, "", 0), 0u);
  EXPECT_EQ(Crc32(0, "a", 1), 0xE8B7BE43u);
  const std::string zeros(4096, '\0');
  EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), 0xC71C0011u);
}

TEST(Crc32, EveryLengthAlignmentAndSplitGivesTheTableValue) {
  std::vector<uint8_t> data(1 << 20);
  std::mt19937 random(7);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 16; ++offset)
    for (size_t size = 0; size < 300; ++size)
      ASSERT_EQ(Crc32(0x1234, &data[offset], size), ByteByByte(0x1234, &data[offset], size))
          << offset << " " << size;
  const uint32_t whole = ByteByByte(0, data.data(), data.size());
  EXPECT_EQ(Crc32(0, data.data(), data.size()), whole);
  uint32_t chained = 0;
  for (size_t at = 0; at < data.size();) {
    const size_t step = std::min<size_t>(random() % 100000, data.size() - at);
    chained = Crc32(chained, &data[at], step);
    at += step;
  }
  EXPECT_EQ(chained, whole);
}

}  // namespace
