// The file table of a package.
#include "setup/core/package/PackageFileTable.h"

#include <limits>

#include "KVL/Base/SysUtils.h"

namespace Setup::Core::Package {

void TSetupPackageFileTableItem::WriteTo(KVL::Streams::TKVLStream& stream) const {
  stream.WriteString(Name);
  stream.WriteInt64(Offset);
  stream.WriteInt64(Size);
}

void TSetupPackageFileTableItem::ReadFrom(KVL::Streams::TKVLStream& stream) {
  Name = stream.ReadString();
  Offset = stream.ReadInt64();
  Size = stream.ReadInt64();
}

TSetupPackageFileTableItem& TSetupPackageFileTable::Add() {
  items_.push_back(std::make_unique<TSetupPackageFileTableItem>());
  return *items_.back();
}

const TSetupPackageFileTableItem* TSetupPackageFileTable::Find(const std::string& name) const {
  for (const auto& item : items_)
    if (KVL::SysUtils::SameText(item->Name, name)) return item.get();
  return nullptr;
}

void TSetupPackageFileTable::WriteTo(KVL::Streams::TKVLStream& stream) const {
  if (items_.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw KVL::SysUtils::EKVLInvalidOperation("Too many files in the package");
  stream.WriteInt32(static_cast<int32_t>(items_.size()));
  for (const auto& item : items_) item->WriteTo(stream);
}

void TSetupPackageFileTable::ReadFrom(KVL::Streams::TKVLStream& stream) {
  items_.clear();
  int32_t count = stream.ReadInt32();
  for (int32_t n = 0; n < count; ++n) Add().ReadFrom(stream);
}

} // namespace Setup::Core::Package
