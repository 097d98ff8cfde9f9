// Fuzz target: bracket markup never fails, keeps sizes in range, drops no text that has no bracket, and makes no empty runs.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVL/UI/FormattedLabel.h"

using namespace KVL::UI::Controls::FormattedLabel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  KVL::UI::TKVLRichDocument doc = ParseMarkup(text);
  if (doc.Paragraphs.size() > 1) std::abort();
  std::string plain;
  for (const auto& paragraph : doc.Paragraphs) {
    for (const auto& run : paragraph.Runs) {
      if (run.Text.empty()) std::abort();
      if (run.Style.SizePt && (*run.Style.SizePt < 1 || *run.Style.SizePt > 400)) std::abort();
      plain += run.Text;
    }
  }
  if (plain.size() > size) std::abort();
  // Without brackets the text comes back as written, line breaks made "\n".
  if (text.find('[') == std::string::npos) {
    std::string expected;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r') {
        expected += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        expected += text[i];
      }
    }
    if (plain != expected) std::abort();
  }
  ParseMarkupColor(text);
  return 0;
}
