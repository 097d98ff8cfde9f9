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
    auto number = [&layout](const char* name, int value) {
      if (value == 0) return;
      layout += name;
      layout += std::to_string(value);
    };
    number(" li", para.LeftIndentTwips);
    number(" fi", para.FirstIndentTwips);
    number(" sb", para.SpaceBeforeTwips);
    number(" sa", para.SpaceAfterTwips);
    if (!layout.empty()) {
      out += '<';
      out.append(layout, 1);
      out += '>';
    }
    for (const TKVLTextRun& run : para.Runs) {
      const TKVLTextStyle& s = run.Style;
      std::string attrs;
      if (s.FontName) {
        attrs += " f=";
        attrs += *s.FontName;
      }
      if (s.SizePt) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " %gpt", *s.SizePt);
        attrs += buf;
      }
      if (s.Bold) attrs += " b";
      if (s.Italic) attrs += " i";
      if (s.Underline) attrs += " u";
      if (s.StrikeOut) attrs += " s";
      if (s.Color) {
        attrs += " #";
        attrs += hex(*s.Color);
      }
      if (s.BackColor) {
        attrs += " bg#";
        attrs += hex(*s.BackColor);
      }
      if (!s.Link.empty()) {
        attrs += " ->";
        attrs += s.Link;
      }
      if (attrs.empty()) {
        out += run.Text;
      } else {
        // Built by appending: GCC 12 at -O3 warns about overlap in chained additions.
        out += '{';
        out.append(attrs, 1);
        out += ':';
        out += run.Text;
        out += '}';
      }
    }
  }
  return out;
}

} // namespace TestUtil
