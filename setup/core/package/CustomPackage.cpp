// Base of package reader and builder: lookup and extraction.
#include "setup/core/package/CustomPackage.h"

#include "setup/core/package/PackageError.h"

namespace Setup::Core::Package {

bool TCustomSetupPackage::Exists(const std::string& name) const { return table_.Find(name) != nullptr; }

std::unique_ptr<KVL::Streams::TKVLMemoryStream> TCustomSetupPackage::Extract(const std::string& name) {
  const TSetupPackageFileTableItem* item = table_.Find(name);
  if (!item) return nullptr;
  return Extract(*item);
}

std::unique_ptr<KVL::Streams::TKVLMemoryStream> TCustomSetupPackage::Extract(
    const TSetupPackageFileTableItem& item) {
  // The reader vets its table when loading; this guard keeps any other entry from
  // reaching outside the plain stream.
  const int64_t total = static_cast<int64_t>(plain_.Size());
  if (item.Offset < 0 || item.Size < 0 || item.Offset > total || item.Size > total - item.Offset)
    throw ESetupPackageReadError();
  auto out = std::make_unique<KVL::Streams::TKVLMemoryStream>();
  if (item.Size > 0) {
    out->SetCapacity(static_cast<size_t>(item.Size));
    out->WriteBuffer(plain_.Memory() + item.Offset, static_cast<size_t>(item.Size));
    out->SetPosition(0);
  }
  return out;
}

} // namespace Setup::Core::Package
