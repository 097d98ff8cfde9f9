// Fuzz target: arbitrary bytes as a package end in a loaded package or one of the
// reader's own errors, never in a crash or a sanitizer report.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    KVL::Streams::TKVLReadOnlyMemoryStream src(data, size);
    TSetupPackageReader reader(src);
    const TSetupPackageFileTable& table = reader.FileTable();
    for (size_t i = 0; i < table.Count(); ++i) {
      auto s = reader.Extract(table.Item(i));
      if (s->Size() != table.Item(i).Size) std::abort();
      if (!reader.Exists(table.Item(i).Name)) std::abort();
    }
  } catch (const ESetupPackageReadError&) {
  } catch (const KVL::SysUtils::EKVLReadError&) {
  } catch (const KVL::SysUtils::EKVLInvalidOperation& e) {
    if (std::string(e.what()).rfind("LZMA Error (", 0) != 0) std::abort();
  }
  return 0;
}
