// Writing IPK5 packages: files are collected in memory, then committed in one go.
#pragma once

#include <cstdint>
#include <string>

#include "KVL/Base/Streams.h"
#include "setup/core/package/CustomPackage.h"

namespace Setup::Core::Package {

class TSetupPackageBuilder : public TCustomSetupPackage {
public:
  // The key's four little-endian bytes become the RC4 key; every builder of the
  // installer is given kSetupPackageKey so that the reader can read what it writes.
  explicit TSetupPackageBuilder(int32_t key);

  // Appends the stream's content from its current position to its end as a new
  // entry (callers rewind first). Names are not checked for duplicates.
  void Add(KVL::Streams::TKVLStream& stream, const std::string& name);

  // Writes the complete package at compression level 0-9. A builder commits once:
  // later Add or Commit calls raise EKVLInvalidOperation.
  void Commit(KVL::Streams::TKVLStream& target, int level);
  // Creates or truncates the file; a failed commit removes it again.
  void Commit(const std::string& fileName, int level);

  // The header's size field for a plain stream of this size. The field is 32 bits
  // wide, so 4 GiB or more raises EKVLInvalidOperation rather than write a package
  // that no reader could load.
  static uint32_t PlainSizeField(uint64_t plainSize);

private:
  void CheckOpen() const;
  uint8_t key_[4];
  bool committed_ = false;
};

} // namespace Setup::Core::Package
