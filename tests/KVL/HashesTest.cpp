// CRC-32 (MSB-first, init 0, no final XOR): check values and the sliced path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "KVL/Base/Hashes.h"

using KVL::Hashes::TKVLHashCRC32;

namespace {
// Bit by bit, straight from the definition.
uint32_t ReferenceCrc(const uint8_t* p, size_t n) {
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}
} // namespace

TEST(CRC32, CheckValues) {
  EXPECT_EQ(TKVLHashCRC32::Calculate("123456789", 9), 0x89A1897Fu);
  EXPECT_EQ(TKVLHashCRC32::Calculate("abc", 3), 0x2C17398Cu);
  EXPECT_EQ(TKVLHashCRC32::Calculate("", 0), 0u);
}

TEST(CRC32, SlicedMatchesBitwiseForEveryLengthAndSplit) {
  std::vector<uint8_t> data(300);
  uint32_t x = 12345;
  for (auto& b : data) b = uint8_t((x = x * 1103515245 + 12345) >> 16);
  // Odd lengths and start offsets exercise the byte tail and unaligned blocks.
  for (size_t start : {0, 1, 3}) {
    for (size_t len = 0; len + start <= 67; ++len) {
      ASSERT_EQ(TKVLHashCRC32::Calculate(data.data() + start, len), ReferenceCrc(data.data() + start, len))
          << start << "/" << len;
    }
  }
  const uint32_t whole = ReferenceCrc(data.data(), data.size());
  for (size_t split = 0; split <= data.size(); split += 13) {
    TKVLHashCRC32 h;
    h.Update(data.data(), split);
    h.Update(data.data() + split, data.size() - split);
    ASSERT_EQ(h.Value(), whole) << split;
  }
  TKVLHashCRC32 h;
  h.Update(data.data(), 10);
  h.Reset();
  EXPECT_EQ(h.Value(), 0u);
}
