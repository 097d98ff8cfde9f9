// Platform service: MD5 digests through the system's cryptographic library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace KVL::Platform {

using TMD5Digest = std::array<uint8_t, 16>;

// Incremental MD5: Update with any number of buffers, then Final. Final starts a
// fresh digest, so one object can hash several inputs in turn. Failures of the
// system library raise EKVLError.
class TMD5 {
public:
  TMD5();
  ~TMD5();
  TMD5(const TMD5&) = delete;
  TMD5& operator=(const TMD5&) = delete;

  void Update(const void* data, size_t size);
  TMD5Digest Final();

  // Lower-case hexadecimal, 32 characters.
  static std::string ToHex(const TMD5Digest& digest);

private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

} // namespace KVL::Platform
