// RC4 stream cipher.
#include "KVL/Base/Crypto.h"

#include <bit>
#include <cstring>
#include <utility>

#include "KVL/Base/SysUtils.h"

static_assert(std::endian::native == std::endian::little, "TRC4::Crypt applies keystream words little-endian");

namespace KVL::Crypto {

TRC4::TRC4(const void* key, size_t keyLength) { Init(key, keyLength); }

void TRC4::Init(const void* key, size_t keyLength) {
  if (keyLength == 0 || keyLength > 256)
    throw SysUtils::EKVLInvalidOperation("RC4 key must be 1 to 256 bytes long");
  const auto* k = static_cast<const uint8_t*>(key);
  for (uint32_t n = 0; n < 256; ++n) state_[n] = n;
  uint32_t j = 0;
  for (size_t n = 0; n < 256; ++n) {
    j = (j + state_[n] + k[n % keyLength]) & 255;
    std::swap(state_[n], state_[j]);
  }
  i_ = 0;
  j_ = 0;
}

void TRC4::Crypt(void* buffer, size_t size) {
  // Indices and state pointer in locals, so that they stay in registers instead of
  // being reloaded after every store into the state; four keystream bytes are
  // gathered into one word and applied with a single XOR.
  auto* p = static_cast<uint8_t*>(buffer);
  uint32_t* s = state_;
  uint32_t i = i_;
  uint32_t j = j_;
  auto next = [&]() -> uint32_t {
    i = (i + 1) & 255;
    const uint32_t si = s[i];
    j = (j + si) & 255;
    const uint32_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    return s[(si + sj) & 255];
  };
  size_t n = 0;
  for (; n + 4 <= size; n += 4) {
    uint32_t ks = next();
    ks |= next() << 8;
    ks |= next() << 16;
    ks |= next() << 24;
    uint32_t word;
    std::memcpy(&word, p + n, 4);
    word ^= ks;  // little-endian: keystream byte 0 meets buffer byte 0
    std::memcpy(p + n, &word, 4);
  }
  for (; n < size; ++n) p[n] ^= static_cast<uint8_t>(next());
  i_ = i;
  j_ = j;
}

} // namespace KVL::Crypto
