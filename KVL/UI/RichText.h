// Formatted text as paragraphs of styled runs, shared by the RTF reader, the markup and the text layout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KVL/UI/Types.h"

namespace KVL::UI {

// What a run changes from the control's default font and colour.
struct TKVLTextStyle {
  std::optional<std::string> FontName;
  std::optional<double> SizePt;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  std::optional<TKVLColor> Color;
  std::optional<TKVLColor> BackColor;
  std::string Link;  // an address or link text; the run is a link when not empty
  bool operator==(const TKVLTextStyle&) const = default;
};

// Text in UTF-8; "\t" is a tab, "\n" a line break inside the paragraph.
struct TKVLTextRun {
  std::string Text;
  TKVLTextStyle Style;
  bool operator==(const TKVLTextRun&) const = default;
};

struct TKVLParagraph {
  std::vector<TKVLTextRun> Runs;
  TKVLTextAlign Align = TKVLTextAlign::taLeft;
  int LeftIndentTwips = 0;
  int FirstIndentTwips = 0;  // relative to the left indent
  int SpaceBeforeTwips = 0;
  int SpaceAfterTwips = 0;
  bool operator==(const TKVLParagraph&) const = default;
};

struct TKVLRichDocument {
  std::vector<TKVLParagraph> Paragraphs;
  // The text with paragraphs joined by "\n".
  std::string PlainText() const;
  // One paragraph per line of text, default style.
  static TKVLRichDocument FromPlainText(const std::string& text);
  bool operator==(const TKVLRichDocument&) const = default;
};

} // namespace KVL::UI
