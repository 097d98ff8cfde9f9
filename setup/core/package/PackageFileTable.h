// The file table of a package: named entries pointing into the plain stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/Streams.h"

namespace Setup::Core::Package {

// One entry: where a file's bytes lie in the plain stream, and its name.
class TSetupPackageFileTableItem {
public:
  int64_t Offset = 0;
  int64_t Size = 0;
  std::string Name;

  // Entry layout: name (length-prefixed string), offset (Int64), size (Int64).
  void WriteTo(KVL::Streams::TKVLStream& stream) const;
  void ReadFrom(KVL::Streams::TKVLStream& stream);
};

// An owning list of entries in insertion order.
class TSetupPackageFileTable {
public:
  // Appends a new empty entry; the reference stays valid as long as the table.
  TSetupPackageFileTableItem& Add();
  size_t Count() const { return items_.size(); }
  const TSetupPackageFileTableItem& Item(size_t index) const { return *items_.at(index); }
  // The first entry whose name has the same UTF-16 length and equals name ignoring
  // case in the user's locale; nullptr when there is none.
  const TSetupPackageFileTableItem* Find(const std::string& name) const;
  void Clear() { items_.clear(); }

  // Table layout: entry count (Int32), then each entry.
  void WriteTo(KVL::Streams::TKVLStream& stream) const;
  // Reads count and entries; a count of 0 or less gives an empty table.
  void ReadFrom(KVL::Streams::TKVLStream& stream);

private:
  std::vector<std::unique_ptr<TSetupPackageFileTableItem>> items_;
};

} // namespace Setup::Core::Package
