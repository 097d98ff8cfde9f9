// Reading IPK5 packages.
#include "setup/core/package/PackageReader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Hashes.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/package/Lzma.h"
#include "setup/core/package/PackageError.h"
#include "setup/core/package/PackageKey.h"

namespace Setup::Core::Package {

using KVL::Streams::TKVLStream;

namespace {

uint32_t GetLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Smallest table entry: empty name (2 bytes), offset and size (8 each).
constexpr uint32_t kMinEntrySize = 2 + 8 + 8;
// Smallest reservation: a sane floor so that small inputs do not regrow needlessly.
constexpr uint64_t kReserveFloor = 1u << 20;

} // namespace

TSetupPackageReader::TSetupPackageReader(TKVLStream& source) { Load(source); }

TSetupPackageReader::TSetupPackageReader(const std::string& fileName) {
  KVL::Streams::TKVLFileStream file(fileName, KVL::Platform::TFileOpenMode::fomRead);
  Load(file);
}

TSetupPackageReader::TSetupPackageReader(const KVL::Platform::TResourceModule& module,
                                         const std::string& resourceName) {
  std::unique_ptr<KVL::Platform::TResourceData> resource = module.Load(resourceName);
  KVL::Streams::TKVLReadOnlyMemoryStream stream(resource->Data(), resource->Size());
  Load(stream);
}

void TSetupPackageReader::Load(TKVLStream& source) {
  uint8_t header[12];
  source.ReadBuffer(header, sizeof header);
  if (std::memcmp(header, "IPK5", 4) != 0) throw ESetupPackageReadError();
  const uint32_t expectedCrc = GetLE32(header + 4);
  const uint64_t expectedSize = GetLE32(header + 8);

  const uint32_t key = static_cast<uint32_t>(kSetupPackageKey);
  const uint8_t keyBytes[4] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
  KVL::Crypto::TRC4 cipher(keyBytes, sizeof keyBytes);

  // Trust the header's size only as far as the input could possibly expand to.
  const int64_t left = source.Size() - source.Position();
  const uint64_t bound = kReserveFloor + static_cast<uint64_t>(std::max<int64_t>(left, 0)) * kMaxExpansion;
  const uint64_t limit = std::min(expectedSize, bound);
  plain_.SetCapacity(static_cast<size_t>(limit));

  KVL::Hashes::TKVLHashCRC32 crc;
  LzmaDecode(source, expectedSize, limit, cipher, [&](const uint8_t* data, size_t size) {
    // The decoder never yields more than asked; growth past the reservation doubles,
    // capped by the header's size.
    size_t needed = static_cast<size_t>(plain_.Size()) + size;
    if (needed > plain_.Capacity())
      plain_.SetCapacity(static_cast<size_t>(
          std::min<uint64_t>(std::max<uint64_t>(needed, uint64_t(plain_.Capacity()) * 2), expectedSize)));
    plain_.WriteBuffer(data, size);
    crc.Update(data, size);
  });
  // A data error passes here: the size and checksum below report the damage.
  plain_.SetPosition(0);
  if (static_cast<uint64_t>(plain_.Size()) != expectedSize) throw ESetupPackageReadError();
  if (crc.Value() != expectedCrc) throw ESetupPackageReadError();
  LoadTable();
}

void TSetupPackageReader::LoadTable() {
  // A checksum guards against accidents, not against a crafted package: every length
  // and every entry is checked against the plain stream before anything is served.
  const uint64_t total = static_cast<uint64_t>(plain_.Size());
  const uint8_t* mem = plain_.Memory();
  if (total < 8) throw ESetupPackageReadError();
  const uint32_t tableLen = GetLE32(mem + total - 4);
  if (tableLen < 4 || tableLen > total - 4) throw ESetupPackageReadError();
  const uint64_t bodiesEnd = total - 4 - tableLen;

  KVL::Streams::TKVLReadOnlyMemoryStream table(mem + bodiesEnd, tableLen);
  const int32_t count = table.ReadInt32();
  if (count > 0 && static_cast<uint32_t>(count) > (tableLen - 4) / kMinEntrySize) throw ESetupPackageReadError();
  try {
    for (int32_t n = 0; n < count; ++n) {
      TSetupPackageFileTableItem& item = table_.Add();
      item.ReadFrom(table);
      if (item.Offset < 0 || item.Size < 0 || static_cast<uint64_t>(item.Offset) > bodiesEnd ||
          static_cast<uint64_t>(item.Size) > bodiesEnd - static_cast<uint64_t>(item.Offset))
        throw ESetupPackageReadError();
    }
  } catch (const KVL::SysUtils::EKVLReadError&) {
    // An entry running past the table's end.
    throw ESetupPackageReadError();
  }
  plain_.SetPosition(0);
}

} // namespace Setup::Core::Package
