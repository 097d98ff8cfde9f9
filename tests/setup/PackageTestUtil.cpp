// Helpers of the package tests.
#include "setup/PackageTestUtil.h"

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Hashes.h"
#include "KVL/Base/Streams.h"
#include "setup/core/package/Lzma.h"
#include "setup/core/package/PackageBuilder.h"
#include "setup/core/package/PackageKey.h"

using namespace Setup::Core::Package;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;

namespace PackageTestUtil {

namespace {
std::string Bytes(TKVLMemoryStream& m) {
  return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}
KVL::Crypto::TRC4 InstallerCipher() {
  const auto k = static_cast<uint32_t>(kSetupPackageKey);
  const uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
  return KVL::Crypto::TRC4(key, 4);
}
} // namespace

std::string BuildPackage(const TFiles& files, int level, int32_t key) {
  TSetupPackageBuilder builder(key == 0 ? kSetupPackageKey : key);
  for (const auto& [name, content] : files) {
    TKVLReadOnlyMemoryStream s(content.data(), content.size());
    builder.Add(s, name);
  }
  TKVLMemoryStream out;
  builder.Commit(out, level);
  return Bytes(out);
}

std::string MakeData(size_t size, uint32_t seed, bool compressible) {
  static const char* const kWords[] = {"player ", "setup ", "folder ", "<file name=\"", "\">\r\n", "ONDU ",
                                       "skin ",   "0123 ",  "codec ",  "update ",      "\t"};
  std::string s;
  s.reserve(size);
  uint32_t x = seed * 2654435761u + 1;
  while (s.size() < size) {
    x = x * 1664525u + 1013904223u;
    if (compressible)
      s += kWords[(x >> 16) % (sizeof kWords / sizeof kWords[0])];
    else
      s += static_cast<char>(x >> 24);
  }
  s.resize(size);
  return s;
}

std::string Recipher(std::string package) {
  KVL::Crypto::TRC4 rc4 = InstallerCipher();
  rc4.Crypt(package.data() + 12, package.size() - 12);
  return package;
}

std::string WrapPlain(const std::string& plain, int level) {
  TKVLMemoryStream out;
  const uint32_t crc = KVL::Hashes::TKVLHashCRC32::Calculate(plain.data(), plain.size());
  std::string header = "IPK5" + LE32(crc) + LE32(static_cast<uint32_t>(plain.size()));
  out.WriteBuffer(header.data(), header.size());
  TKVLReadOnlyMemoryStream in(plain.data(), plain.size());
  KVL::Crypto::TRC4 rc4 = InstallerCipher();
  LzmaEncode(in, out, level, rc4);
  return Bytes(out);
}

std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int n = 0; n < 4; ++n) s[n] = static_cast<char>(v >> (8 * n));
  return s;
}

std::string LE64(int64_t v) {
  auto u = static_cast<uint64_t>(v);
  return LE32(static_cast<uint32_t>(u)) + LE32(static_cast<uint32_t>(u >> 32));
}

std::string Utf16Name(const std::string& ascii) {
  std::string s = std::string(1, static_cast<char>(ascii.size())) + std::string(1, static_cast<char>(ascii.size() >> 8));
  for (char c : ascii) {
    s += c;
    s += '\0';
  }
  return s;
}

} // namespace PackageTestUtil
