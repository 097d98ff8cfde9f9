// Checksums of the component library: the package layer's CRC-32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KVL::Hashes {

// CRC-32 over polynomial 0x04C11DB7 taken most-significant bit first (not reflected),
// initial value 0, no final XOR: "123456789" gives 0x89A1897F. Feed any number of
// buffers through Update; Value is the checksum of everything fed so far.
class TKVLHashCRC32 {
public:
  void Reset() { crc_ = 0; }
  void Update(const void* data, size_t size);
  uint32_t Value() const { return crc_; }
  // The checksum of one buffer.
  static uint32_t Calculate(const void* data, size_t size);

private:
  uint32_t crc_ = 0;
};

} // namespace KVL::Hashes
