// Base of package reader and builder: the file table and the plain stream.
#pragma once

#include <memory>
#include <string>

#include "KVL/Base/Streams.h"
#include "setup/core/package/PackageFileTable.h"

namespace Setup::Core::Package {

// The plain stream holds the file bodies back to back (and, once complete, the
// table and its length); the table says where each file lies in it.
class TCustomSetupPackage {
public:
  TCustomSetupPackage() = default;
  virtual ~TCustomSetupPackage() = default;
  TCustomSetupPackage(const TCustomSetupPackage&) = delete;
  TCustomSetupPackage& operator=(const TCustomSetupPackage&) = delete;

  // Whether the table holds an entry with that name (see TSetupPackageFileTable::Find).
  bool Exists(const std::string& name) const;
  // A new in-memory stream, positioned at 0, holding a copy of the first entry of that
  // name; nullptr when there is none.
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> Extract(const std::string& name);
  // The same for an entry of this package's own table.
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> Extract(const TSetupPackageFileTableItem& item);

  const TSetupPackageFileTable& FileTable() const { return table_; }

protected:
  TSetupPackageFileTable table_;
  KVL::Streams::TKVLMemoryStream plain_;
};

} // namespace Setup::Core::Package
