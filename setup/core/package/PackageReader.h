// Reading IPK5 packages: the whole plain stream is decoded and checked up front.
#pragma once

#include <string>

#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/Streams.h"
#include "setup/core/package/CustomPackage.h"

namespace Setup::Core::Package {

// A fully loaded, checked package, or an exception: ESetupPackageReadError for any
// damage, "LZMA Error (n)" for a codec failure other than damaged data, the stream
// layer's read error for a source shorter than the 12-byte header.
class TSetupPackageReader : public TCustomSetupPackage {
public:
  // Reads from the source's current position.
  explicit TSetupPackageReader(KVL::Streams::TKVLStream& source);
  // Opens the file shared for other readers and writers, and closes it before returning.
  explicit TSetupPackageReader(const std::string& fileName);
  // Reads the module's RCDATA resource of that name (TResourceModule() is the running
  // executable) and lets go of the resource before returning. A missing resource raises
  // EKVLResourceNotFound.
  TSetupPackageReader(const KVL::Platform::TResourceModule& module, const std::string& resourceName);

  // The most plain data one compressed byte can stand for, with room to spare (LZMA
  // peaks near 7,000). Memory set aside before decoding is held to this bound, so a
  // header claiming gigabytes on a small input cannot make the reader take them.
  static constexpr uint64_t kMaxExpansion = 16384;

private:
  void Load(KVL::Streams::TKVLStream& source);
  void LoadTable();
};

} // namespace Setup::Core::Package
