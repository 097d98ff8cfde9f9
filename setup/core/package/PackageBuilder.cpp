// Writing IPK5 packages.
#include "setup/core/package/PackageBuilder.h"

#include <exception>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Hashes.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/package/Lzma.h"

namespace Setup::Core::Package {

using KVL::Streams::TKVLStream;

TSetupPackageBuilder::TSetupPackageBuilder(int32_t key) {
  const auto k = static_cast<uint32_t>(key);
  key_[0] = uint8_t(k);
  key_[1] = uint8_t(k >> 8);
  key_[2] = uint8_t(k >> 16);
  key_[3] = uint8_t(k >> 24);
}

void TSetupPackageBuilder::CheckOpen() const {
  if (committed_) throw KVL::SysUtils::EKVLInvalidOperation("The package has already been committed");
}

void TSetupPackageBuilder::Add(TKVLStream& stream, const std::string& name) {
  CheckOpen();
  TSetupPackageFileTableItem& item = table_.Add();
  item.Name = name;
  item.Offset = plain_.Size();
  plain_.Seek(0, KVL::Streams::TSeekOrigin::soEnd);
  // The size recorded is what was actually copied: a stream handed over mid-way must
  // not leave an entry longer than its bytes, which would shift every later file.
  item.Size = plain_.CopyFrom(stream);
}

uint32_t TSetupPackageBuilder::PlainSizeField(uint64_t plainSize) {
  if (plainSize > UINT32_MAX)
    throw KVL::SysUtils::EKVLInvalidOperation("Package too large: the plain stream must be smaller than 4 GiB");
  return static_cast<uint32_t>(plainSize);
}

void TSetupPackageBuilder::Commit(TKVLStream& target, int level) {
  CheckOpen();
  LzmaSettingsForLevel(level);  // a bad level fails before anything is written

  // 1. The table, then its length, go after the bodies; all limits are checked first.
  KVL::Streams::TKVLMemoryStream table;
  table_.WriteTo(table);
  const uint32_t sizeField =
      PlainSizeField(static_cast<uint64_t>(plain_.Size()) + static_cast<uint64_t>(table.Size()) + 4);
  committed_ = true;
  plain_.Seek(0, KVL::Streams::TSeekOrigin::soEnd);
  plain_.WriteBuffer(table.Memory(), static_cast<size_t>(table.Size()));
  plain_.WriteUInt32(static_cast<uint32_t>(table.Size()));

  // 2.-3. Checksum and plain header.
  const uint32_t crc = KVL::Hashes::TKVLHashCRC32::Calculate(plain_.Memory(), static_cast<size_t>(plain_.Size()));
  uint8_t header[12] = {'I', 'P', 'K', '5'};
  for (int n = 0; n < 4; ++n) {
    header[4 + n] = uint8_t(crc >> (8 * n));
    header[8 + n] = uint8_t(sizeField >> (8 * n));
  }
  target.WriteBuffer(header, sizeof header);

  // 4.-5. One fresh keystream over everything the encoder emits.
  KVL::Crypto::TRC4 cipher(key_, sizeof key_);
  plain_.SetPosition(0);
  LzmaEncode(plain_, target, level, cipher);
}

void TSetupPackageBuilder::Commit(const std::string& fileName, int level) {
  CheckOpen();
  std::exception_ptr failure;
  {
    KVL::Streams::TKVLFileStream file(fileName, KVL::Platform::TFileOpenMode::fomCreate);
    try {
      Commit(file, level);
      return;
    } catch (...) {
      failure = std::current_exception();
    }
  }
  // Leave no half-written package behind (the file is closed by now); the error goes on.
  KVL::Platform::RemoveFile(fileName);
  std::rethrow_exception(failure);
}

} // namespace Setup::Core::Package
