// RC4 stream cipher: the package layer enciphers its compressed data with it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KVL::Crypto {

// RC4 as published: key scheduling over a 256-byte state with the key repeated,
// then the standard generator, no keystream bytes dropped. The state survives
// between calls so that successive buffers continue one keystream.
class TRC4 {
public:
  TRC4(const void* key, size_t keyLength);
  // Restarts the keystream with a new key (1 to 256 bytes).
  void Init(const void* key, size_t keyLength);
  // XORs the next size keystream bytes into buffer; enciphers and deciphers alike.
  void Crypt(void* buffer, size_t size);

private:
  // 32-bit cells: byte-sized ones cost a partial-register merge on every swap.
  uint32_t state_[256];
  uint32_t i_ = 0;
  uint32_t j_ = 0;
};

} // namespace KVL::Crypto
