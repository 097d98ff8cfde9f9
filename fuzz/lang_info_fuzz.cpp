// Fuzz target: language-file descriptions and their icons from arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/MUI.h"
#include "KVL/Base/Streams.h"

using namespace KVL::MUI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TKVLIniFile file;
  if (data[0] & 1) {
    // The rest is the icon itself, so the icon checks see every shape of data.
    KVL::Streams::TKVLReadOnlyMemoryStream icon(data + 1, size - 1);
    file.WriteStream(kLangFileSection, kLangKeyIcon, icon);
  } else {
    // The rest is a whole language file.
    KVL::Streams::TKVLReadOnlyMemoryStream in(data + 1, size - 1);
    file.LoadFromStream(in);
  }
  TKVLLocalizationInfo info;
  TKVLIconData icon;
  if (!LangGetInfo(file, info, &icon)) __builtin_trap();
  if (!icon.IsEmpty() && !TKVLIconData::IsIconFile(icon.Bytes().data(), icon.Bytes().size())) __builtin_trap();
  if ((data[0] & 1) && !icon.IsEmpty() &&
      (icon.Bytes().size() != size - 1 || !std::equal(icon.Bytes().begin(), icon.Bytes().end(), data + 1)))
    __builtin_trap();
  return 0;
}
