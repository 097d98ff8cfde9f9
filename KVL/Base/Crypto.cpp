// RC4 stream cipher.
#include "KVL/Base/Crypto.h"

#include "KVL/Base/SysUtils.h"

namespace KVL::Crypto {

TRC4::TRC4(const void* key, size_t keyLength) { Init(key, keyLength); }

void TRC4::Init(const void* key, size_t keyLength) {
  if (keyLength == 0 || keyLength > 256)
    throw SysUtils::EKVLInvalidOperation("RC4 key must be 1 to 256 bytes long");
  const auto* k = static_cast<const uint8_t*>(key);
  for (int n = 0; n < 256; ++n) state_[n] = static_cast<uint8_t>(n);
  uint8_t j = 0;
  for (size_t n = 0; n < 256; ++n) {
    j = static_cast<uint8_t>(j + state_[n] + k[n % keyLength]);
    uint8_t t = state_[n];
    state_[n] = state_[j];
    state_[j] = t;
  }
  i_ = 0;
  j_ = 0;
}

void TRC4::Crypt(void* buffer, size_t size) {
  // Indices and state pointer in locals: the compiler keeps them in registers
  // instead of reloading the members after every store into the state.
  auto* p = static_cast<uint8_t*>(buffer);
  uint8_t* s = state_;
  uint8_t i = i_;
  uint8_t j = j_;
  for (size_t n = 0; n < size; ++n) {
    i = static_cast<uint8_t>(i + 1);
    uint8_t si = s[i];
    j = static_cast<uint8_t>(j + si);
    uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    p[n] ^= s[static_cast<uint8_t>(si + sj)];
  }
  i_ = i;
  j_ = j;
}

} // namespace KVL::Crypto
