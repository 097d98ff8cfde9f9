// Fuzz target: any bytes load as an INI document whose saved form loads back equal.
#include <cstddef>
#include <cstdint>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Streams.h"

using KVL::FileFormats::INI::TKVLIniFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KVL::Streams::TKVLReadOnlyMemoryStream in(data, size);
  TKVLIniFile first;
  first.LoadFromStream(in);

  // Saved in the encoding it was found in, the document must read back the same.
  KVL::Streams::TKVLMemoryStream saved;
  first.SaveToStream(saved, first.Encoding());
  saved.SetPosition(0);
  TKVLIniFile second;
  second.LoadFromStream(saved);
  if (!(first == second) || !(first.Encoding() == second.Encoding())) __builtin_trap();

  // Every key found by enumeration must be readable by name.
  for (int i = 0; i < first.SectionCount(); ++i) {
    const std::string& section = first.SectionName(i);
    if (!first.SectionExists(section)) __builtin_trap();
    KVL::Classes::TKVLStringList keys;
    first.ReadKeys(section, keys);
    for (int k = 0; k < keys.Count(); ++k)
      if (!first.ValueExists(section, keys.Strings(k))) __builtin_trap();
  }
  return 0;
}
