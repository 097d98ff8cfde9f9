// CRC-32, MSB-first form, sliced eight bytes at a time.
#include "KVL/Base/Hashes.h"

#include <array>

namespace KVL::Hashes {

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7;

// T[0] is the classic byte table: crc = (crc << 8) ^ T[0][(crc >> 24) ^ byte].
// T[k][b] is the effect of byte b followed by k zero bytes, which lets eight input
// bytes be folded in with eight independent look-ups.
using TTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr TTables MakeTables() {
  TTables t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t c = b << 24;
    for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ kPolynomial : c << 1;
    t[0][b] = c;
  }
  for (size_t k = 1; k < 8; ++k)
    for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 24];
  return t;
}

constexpr TTables kTables = MakeTables();

} // namespace

void TKVLHashCRC32::Update(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  const auto& t = kTables;
  uint32_t crc = crc_;
  while (size >= 8) {
    crc ^= (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    crc = t[7][crc >> 24] ^ t[6][(crc >> 16) & 0xFF] ^ t[5][(crc >> 8) & 0xFF] ^ t[4][crc & 0xFF] ^
          t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) crc = (crc << 8) ^ t[0][(crc >> 24) ^ *p++];
  crc_ = crc;
}

uint32_t TKVLHashCRC32::Calculate(const void* data, size_t size) {
  TKVLHashCRC32 h;
  h.Update(data, size);
  return h.Value();
}

} // namespace KVL::Hashes
