// Formatted text as paragraphs of styled runs: joining to plain text and splitting plain text into paragraphs.
#include "KVL/UI/RichText.h"

namespace KVL::UI {

std::string TKVLRichDocument::PlainText() const {
  std::string out;
  for (size_t i = 0; i < Paragraphs.size(); ++i) {
    if (i > 0) out += '\n';
    for (const TKVLTextRun& run : Paragraphs[i].Runs) out += run.Text;
  }
  return out;
}

TKVLRichDocument TKVLRichDocument::FromPlainText(const std::string& text) {
  TKVLRichDocument doc;
  size_t start = 0;
  auto addLine = [&](size_t end) {
    TKVLParagraph paragraph;
    if (end > start) paragraph.Runs.push_back({text.substr(start, end - start), {}});
    doc.Paragraphs.push_back(std::move(paragraph));
  };
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      addLine(i);
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  // A line break at the very end does not start another (empty) line, as memo lines go.
  if (start < text.size()) addLine(text.size());
  return doc;
}

} // namespace KVL::UI
