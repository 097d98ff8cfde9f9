// Fuzz target: any bytes read as RTF give well-formed UTF-8 runs, no empty runs, and output bounded by the input.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "KVL/Base/SysUtils.h"
#include "KVL/UI/RTF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  KVL::UI::TKVLRichDocument doc = KVL::UI::ParseRTF(bytes);
  size_t total = 0;
  for (const auto& paragraph : doc.Paragraphs) {
    for (const auto& run : paragraph.Runs) {
      if (run.Text.empty() || !KVL::SysUtils::IsValidUtf8(run.Text)) std::abort();
      total += run.Text.size();
    }
  }
  // One input byte decodes to at most three UTF-8 bytes; each paragraph needs a \par.
  if (total > 3 * size || doc.Paragraphs.size() > size) std::abort();
  return 0;
}
