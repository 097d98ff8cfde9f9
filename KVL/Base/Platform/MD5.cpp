// MD5 helpers shared by every platform.
#include "KVL/Base/Platform/MD5.h"

namespace KVL::Platform {

std::string TMD5::ToHex(const TMD5Digest& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  s.reserve(digest.size() * 2);
  for (uint8_t b : digest) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
  }
  return s;
}

} // namespace KVL::Platform
