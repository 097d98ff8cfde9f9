// Fuzz target: packages built from fuzzer-chosen files at levels 0-4 read back byte
// for byte, and lookups find the first entry of each name.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int level = data[0] % 5;
  // The rest is a list of files: name length (1 byte), name, content length (2 bytes LE), content.
  std::vector<std::pair<std::string, std::string>> files;
  size_t pos = 1;
  while (pos < size) {
    size_t nameLen = data[pos++];
    nameLen = std::min(nameLen, size - pos);
    std::string name(reinterpret_cast<const char*>(data + pos), nameLen);
    pos += nameLen;
    size_t len = 0;
    if (pos + 2 <= size) {
      len = data[pos] | (data[pos + 1] << 8);
      pos += 2;
    }
    len = std::min(len, size - pos);
    files.emplace_back(name, std::string(reinterpret_cast<const char*>(data + pos), len));
    pos += len;
  }

  TSetupPackageBuilder builder(kSetupPackageKey);
  for (const auto& [name, content] : files) {
    KVL::Streams::TKVLReadOnlyMemoryStream s(content.data(), content.size());
    builder.Add(s, name);
  }
  KVL::Streams::TKVLMemoryStream package;
  builder.Commit(package, level);
  package.SetPosition(0);
  TSetupPackageReader reader(package);

  const TSetupPackageFileTable& table = reader.FileTable();
  if (table.Count() != files.size()) std::abort();
  for (size_t i = 0; i < files.size(); ++i) {
    const TSetupPackageFileTableItem& item = table.Item(i);
    // Names travel as UTF-16, so invalid UTF-8 comes back with replacement characters.
    if (KVL::SysUtils::IsValidUtf8(files[i].first) && item.Name != files[i].first) std::abort();
    auto s = reader.Extract(item);
    if (std::string(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size())) != files[i].second)
      std::abort();
    if (reader.FileTable().Find(item.Name) == nullptr) std::abort();
  }
  return 0;
}
