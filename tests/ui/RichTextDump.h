// Test helper: a formatted document written out compactly, so that tables of cases can state what a reader made.
#pragma once

#include <cstdio>
#include <string>

#include "KVL/UI/RichText.h"

namespace TestUtil {

// Paragraphs are joined by " | "; a paragraph with other than default layout starts with
// "<c li720 ...>"; a styled run is written "{attributes:text}", a default run as its text.
inline std::string DumpDocument(const KVL::UI::TKVLRichDocument& doc) {
  using namespace KVL::UI;
  auto hex = [](TKVLColor c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c.Rgb));
    return std::string(buf);
  };
  std::string out;
  for (size_t p = 0; p < doc.Paragraphs.size(); ++p) {
    const TKVLParagraph& para = doc.Paragraphs[p];
    if (p > 0) out += " | ";
    std::string layout;
    if (para.Align == TKVLTextAlign::taCenter) layout += " c";
    if (para.Align == TKVLTextAlign::taRight) layout += " r";
    if (para.LeftIndentTwips) layout += " li" + std::to_string(para.LeftIndentTwips);
    if (para.FirstIndentTwips) layout += " fi" + std::to_string(para.FirstIndentTwips);
    if (para.SpaceBeforeTwips) layout += " sb" + std::to_string(para.SpaceBeforeTwips);
    if (para.SpaceAfterTwips) layout += " sa" + std::to_string(para.SpaceAfterTwips);
    if (!layout.empty()) out += "<" + layout.substr(1) + ">";
    for (const TKVLTextRun& run : para.Runs) {
      const TKVLTextStyle& s = run.Style;
      std::string attrs;
      if (s.FontName) attrs += " f=" + *s.FontName;
      if (s.SizePt) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " %gpt", *s.SizePt);
        attrs += buf;
      }
      if (s.Bold) attrs += " b";
      if (s.Italic) attrs += " i";
      if (s.Underline) attrs += " u";
      if (s.StrikeOut) attrs += " s";
      if (s.Color) attrs += " #" + hex(*s.Color);
      if (s.BackColor) attrs += " bg#" + hex(*s.BackColor);
      if (!s.Link.empty()) attrs += " ->" + s.Link;
      if (attrs.empty()) out += run.Text;
      else out += "{" + attrs.substr(1) + ":" + run.Text + "}";
    }
  }
  return out;
}

} // namespace TestUtil
