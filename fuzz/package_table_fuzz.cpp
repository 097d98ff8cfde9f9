// Fuzz target: arbitrary bytes as the plain stream of a package with a valid header and
// checksum, so that mutations reach the table checks instead of stopping at the CRC.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Hashes.h"
#include "KVL/Base/Streams.h"
#include "setup/core/package/Lzma.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KVL::Streams::TKVLMemoryStream package;
  const uint32_t crc = KVL::Hashes::TKVLHashCRC32::Calculate(data, size);
  package.WriteBuffer("IPK5", 4);
  package.WriteUInt32(crc);
  package.WriteUInt32(static_cast<uint32_t>(size));
  const auto k = static_cast<uint32_t>(kSetupPackageKey);
  const uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
  KVL::Crypto::TRC4 rc4(key, 4);
  KVL::Streams::TKVLReadOnlyMemoryStream plain(data, size);
  LzmaEncode(plain, package, 0, rc4);
  package.SetPosition(0);

  try {
    TSetupPackageReader reader(package);
    const TSetupPackageFileTable& table = reader.FileTable();
    for (size_t i = 0; i < table.Count(); ++i) {
      const TSetupPackageFileTableItem& item = table.Item(i);
      auto s = reader.Extract(item);
      // What is served is exactly the stretch of the plain stream the entry names.
      if (s->Size() != item.Size) std::abort();
      if (item.Size > 0 && std::memcmp(s->Memory(), data + item.Offset, static_cast<size_t>(item.Size)) != 0)
        std::abort();
    }
  } catch (const ESetupPackageReadError&) {
    // a table that does not fit its plain stream
  }
  return 0;
}
