// Text layout: words of styled runs placed in lines for a width, drawn as fragments, links found by position.
#include "KVL/UI/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <tuple>

namespace KVL::UI {

namespace {

// Tab stops every 48 pixels at 96 dots per inch.
constexpr int kTabWidth96 = 48;

struct TResolvedStyle {
  TKVLFont Font;
  TKVLColor Color;
  std::optional<TKVLColor> BackColor;
  std::string Link;
  int LineHeight = 0;
  int SpaceWidth = 0;
};

enum class TTokenKind { tkWord, tkSpace, tkTab, tkBreak };

struct TToken {
  TTokenKind Kind;
  std::string_view Text;
  int Style;
};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Length of an address starting at text[0], 0 when none starts there.
size_t UrlLength(std::string_view text) {
  static constexpr std::string_view kPrefixes[] = {"http://", "https://", "ftp://", "www.", "mailto:"};
  size_t prefix = 0;
  for (std::string_view p : kPrefixes)
    if (StartsWithIgnoringCase(text, p)) prefix = p.size();
  if (prefix == 0) return 0;
  size_t end = prefix;
  while (end < text.size()) {
    char c = text[end];
    if (c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '<' || c == '>' || c == '\'' ||
        static_cast<unsigned char>(c) < 0x20)
      break;
    ++end;
  }
  // Sentence punctuation after an address is not part of it.
  while (end > prefix && std::string_view(".,;:!?)]}").find(text[end - 1]) != std::string_view::npos) --end;
  return end > prefix ? end : 0;
}

class TLayoutBuilder {
public:
  TLayoutBuilder(const TKVLTextLayoutOptions& options, IKVLCanvas& canvas, int width)
      : options_(options), canvas_(canvas), width_(width), dpi_(canvas.Dpi()) {
    wrap_ = options.WordWrap && width > 0;
    tabWidth_ = std::max(1, Pixels(ScaleValue(kTabWidth96, dpi_)));
  }

  // Lengths of the document (twips) and of the toolkit (pixels at 96) at the canvas's
  // resolution and the zoom.
  int Twips(int twips) const { return static_cast<int>(std::lround(twips * dpi_ / 1440.0 * options_.Zoom)); }
  int Pixels(int px) const { return static_cast<int>(std::lround(px * options_.Zoom)); }

  int StyleOf(const TKVLTextStyle& style, const std::string& link) {
    TKVLFont font = options_.DefaultFont;
    if (style.FontName) font.Name = *style.FontName;
    font.SizePt = (style.SizePt ? *style.SizePt : font.SizePt) * options_.Zoom;
    font.Bold = font.Bold || style.Bold;
    font.Italic = font.Italic || style.Italic;
    font.StrikeOut = font.StrikeOut || style.StrikeOut;
    font.Underline = font.Underline || style.Underline || !link.empty();
    TKVLColor color = !link.empty() ? options_.LinkColor : style.Color.value_or(options_.DefaultColor);
    auto key = std::make_tuple(font.Name, font.SizePt, font.Bold, font.Italic, font.Underline, font.StrikeOut,
                               color.Rgb, style.BackColor ? static_cast<int64_t>(style.BackColor->Rgb) : -1, link);
    auto it = styleIndex_.find(key);
    if (it != styleIndex_.end()) return it->second;
    TResolvedStyle resolved{font, color, style.BackColor, link, 0, 0};
    resolved.LineHeight = std::max(1, canvas_.MeasureText("Ag", font).Height);
    resolved.SpaceWidth = canvas_.MeasureText(" ", font).Width;
    styles_.push_back(std::move(resolved));
    int index = static_cast<int>(styles_.size()) - 1;
    styleIndex_.emplace(std::move(key), index);
    return index;
  }

  int Measure(std::string_view text, int style) {
    auto key = std::make_pair(style, std::string(text));
    auto it = widths_.find(key);
    if (it != widths_.end()) return it->second;
    int w = canvas_.MeasureText(key.second, styles_[static_cast<size_t>(style)].Font).Width;
    if (widths_.size() < 20000) widths_.emplace(std::move(key), w);
    return w;
  }

  void Tokenize(std::string_view text, int style, std::vector<TToken>& out) {
    size_t i = 0;
    while (i < text.size()) {
      char c = text[i];
      if (c == '\n') {
        out.push_back({TTokenKind::tkBreak, text.substr(i, 1), style});
        ++i;
      } else if (c == '\t') {
        out.push_back({TTokenKind::tkTab, text.substr(i, 1), style});
        ++i;
      } else if (c == ' ' || c == '\r') {
        size_t j = i;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\r')) ++j;
        out.push_back({TTokenKind::tkSpace, text.substr(i, j - i), style});
        i = j;
      } else {
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\n' && text[j] != '\r') ++j;
        out.push_back({TTokenKind::tkWord, text.substr(i, j - i), style});
        i = j;
      }
    }
  }

  // The run's text as tokens, addresses in it marked as links when asked.
  void AddRun(const TKVLTextRun& run, std::vector<TToken>& out) {
    std::string_view text = run.Text;
    if (!options_.DetectUrls || !run.Style.Link.empty()) {
      Tokenize(text, StyleOf(run.Style, run.Style.Link), out);
      return;
    }
    int plain = -1;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (i > 0 && (IsAsciiAlnum(text[i - 1]) || text[i - 1] == '.' || text[i - 1] == '/')) continue;
      size_t len = UrlLength(text.substr(i));
      if (len == 0) continue;
      if (i > start) {
        if (plain < 0) plain = StyleOf(run.Style, {});
        Tokenize(text.substr(start, i - start), plain, out);
      }
      std::string_view url = text.substr(i, len);
      Tokenize(url, StyleOf(run.Style, std::string(url)), out);
      start = i + len;
      i = start - 1;
    }
    if (start < text.size()) {
      if (plain < 0) plain = StyleOf(run.Style, {});
      Tokenize(text.substr(start), plain, out);
    }
  }

  struct TPiece {
    std::string_view Text;
    int Style;
    int Left;
    int Width;
    bool Blank;  // spaces and tabs: no text drawn, trimmed at a line's end
  };
  struct TBuiltLine {
    std::vector<TPiece> Pieces;
    int Top = 0;
    int Height = 0;
  };

  // Places the paragraph's words in lines below y and moves y past them.
  void LayOutParagraph(const TKVLParagraph& paragraph, int& y) {
    std::vector<TToken> tokens;
    for (const TKVLTextRun& run : paragraph.Runs) AddRun(run, tokens);
    int defaultStyle = StyleOf({}, {});
    int leftIndent = Twips(paragraph.LeftIndentTwips);
    int firstLeft = std::max(0, leftIndent + Twips(paragraph.FirstIndentTwips));
    leftIndent = std::max(0, leftIndent);
    y += Twips(paragraph.SpaceBeforeTwips);

    TBuiltLine line;
    int lineStart = firstLeft;
    int x = lineStart;
    int lastStyle = defaultStyle;
    bool wrapped = false;  // the line continues one that was broken to the width
    auto finishLine = [&](bool soft) {
      // Trailing blanks take no room for alignment.
      while (!line.Pieces.empty() && line.Pieces.back().Blank) line.Pieces.pop_back();
      int height = 0;
      for (const TPiece& piece : line.Pieces) height = std::max(height, Style(piece.Style).LineHeight);
      if (height == 0) height = Style(lastStyle).LineHeight;
      line.Height = height;
      line.Top = y;
      y += height;
      if (!line.Pieces.empty() && paragraph.Align != TKVLTextAlign::taLeft && width_ > 0) {
        int right = line.Pieces.back().Left + line.Pieces.back().Width;
        int room = width_ - right;
        int shift = paragraph.Align == TKVLTextAlign::taCenter ? room / 2 : room;
        if (shift > 0)
          for (TPiece& piece : line.Pieces) piece.Left += shift;
      }
      lines_.push_back(std::move(line));
      line = {};
      lineStart = leftIndent;
      x = lineStart;
      wrapped = soft;
    };
    auto atLineStart = [&] { return line.Pieces.empty(); };

    for (const TToken& token : tokens) {
      lastStyle = token.Style;
      switch (token.Kind) {
        case TTokenKind::tkBreak:
          finishLine(false);
          break;
        case TTokenKind::tkSpace: {
          // Spaces that a wrap left at the start of a line are dropped; written ones indent.
          if (wrapped && atLineStart()) break;
          int w = Style(token.Style).SpaceWidth * static_cast<int>(token.Text.size());
          line.Pieces.push_back({token.Text, token.Style, x, w, true});
          x += w;
          break;
        }
        case TTokenKind::tkTab: {
          int next = (x / tabWidth_ + 1) * tabWidth_;
          if (wrap_ && next > width_ && !atLineStart()) {
            finishLine(true);
            next = (x / tabWidth_ + 1) * tabWidth_;
          }
          line.Pieces.push_back({token.Text, token.Style, x, next - x, true});
          x = next;
          break;
        }
        case TTokenKind::tkWord: {
          std::string_view word = token.Text;
          int w = Measure(word, token.Style);
          if (wrap_ && x + w > width_ && !LineHasText(line)) {
            // Only blanks so far: the word starts the line instead of following them.
          } else if (wrap_ && x + w > width_) {
            finishLine(true);
          }
          // A word wider than a whole line is broken between characters.
          while (wrap_ && x + w > width_) {
            size_t cut = FittingPrefix(word, token.Style, width_ - x);
            if (cut >= word.size()) break;  // a single character wider than the line
            line.Pieces.push_back({word.substr(0, cut), token.Style, x, Measure(word.substr(0, cut), token.Style), false});
            finishLine(true);
            word.remove_prefix(cut);
            w = Measure(word, token.Style);
          }
          line.Pieces.push_back({word, token.Style, x, w, false});
          x += w;
          break;
        }
      }
    }
    finishLine(false);
    y += Twips(paragraph.SpaceAfterTwips);
  }

  static bool LineHasText(const TBuiltLine& line) {
    return std::any_of(line.Pieces.begin(), line.Pieces.end(), [](const TPiece& p) { return !p.Blank; });
  }

  // The longest prefix (in bytes, whole UTF-8 characters, at least one) of word that fits room.
  size_t FittingPrefix(std::string_view word, int style, int room) {
    std::vector<size_t> ends;  // byte ends of each character
    for (size_t i = 1; i <= word.size(); ++i)
      if (i == word.size() || (static_cast<unsigned char>(word[i]) & 0xC0) != 0x80) ends.push_back(i);
    size_t lo = 0, hi = ends.size();  // ends[lo-1] fits (lo = 0: nothing yet)
    while (lo < hi) {
      size_t mid = (lo + hi + 1) / 2;
      if (Measure(word.substr(0, ends[mid - 1]), style) <= room) lo = mid;
      else hi = mid - 1;
    }
    return ends[std::max<size_t>(lo, 1) - 1];
  }

  const TResolvedStyle& Style(int index) const { return styles_[static_cast<size_t>(index)]; }
  std::vector<TBuiltLine>& Lines() { return lines_; }

private:
  const TKVLTextLayoutOptions& options_;
  IKVLCanvas& canvas_;
  int width_;
  int dpi_;
  bool wrap_;
  int tabWidth_;
  std::vector<TResolvedStyle> styles_;
  std::map<std::tuple<std::string, double, bool, bool, bool, bool, uint32_t, int64_t, std::string>, int> styleIndex_;
  std::map<std::pair<int, std::string>, int> widths_;
  std::vector<TBuiltLine> lines_;
};

} // namespace

TKVLTextLayout::TKVLTextLayout(const TKVLRichDocument& document, const TKVLTextLayoutOptions& options,
                               IKVLCanvas& canvas, int width)
    : width_(width) {
  TLayoutBuilder builder(options, canvas, width);
  int y = 0;
  for (const TKVLParagraph& paragraph : document.Paragraphs) builder.LayOutParagraph(paragraph, y);
  height_ = y;
  // Neighbouring pieces of one style become one fragment: fewer, longer draws.
  for (auto& built : builder.Lines()) {
    TLine line;
    line.Top = built.Top;
    line.Height = built.Height;
    bool previousTab = false;
    for (const auto& piece : built.Pieces) {
      const TResolvedStyle& style = builder.Style(piece.Style);
      TKVLRect box{piece.Left, built.Top, piece.Left + piece.Width, built.Top + built.Height};
      const bool tab = piece.Blank && piece.Text == "\t";
      std::string text;
      if (!piece.Blank) text = std::string(piece.Text);
      else if (!tab) text.assign(piece.Text.size(), ' ');
      // Tabs stay fragments of their own so that the text after one starts at its stop.
      const bool merge = !line.Fragments.empty() && !tab && !previousTab &&
                         line.Fragments.back().Box.Right == box.Left && line.Fragments.back().Font == style.Font &&
                         line.Fragments.back().Color == style.Color && line.Fragments.back().BackColor == style.BackColor &&
                         line.Fragments.back().Link == style.Link;
      previousTab = tab;
      if (merge) {
        TFragment& last = line.Fragments.back();
        last.Text += text;
        last.Box.Right = box.Right;
        continue;
      }
      line.Fragments.push_back({std::move(text), style.Font, style.Color, style.BackColor, style.Link, box});
    }
    lines_.push_back(std::move(line));
  }
}

void TKVLTextLayout::Draw(IKVLCanvas& canvas, TKVLPoint origin, const std::optional<TKVLRect>& clip) const {
  for (const TLine& line : lines_) {
    int top = origin.Y + line.Top;
    if (clip && (top + line.Height <= clip->Top || top >= clip->Bottom)) continue;
    for (const TFragment& f : line.Fragments) {
      TKVLRect box = f.Box.Offset(origin.X, origin.Y);
      if (f.BackColor) canvas.FillRect(box, *f.BackColor);
      if (f.Text.empty()) continue;
      // Text sits on the line's bottom so that sizes share a base; the rectangle reaches past
      // the measured width, since a fragment measured in pieces may draw a little wider.
      TKVLRect rect{box.Left, box.Top, box.Right + box.Height(), box.Bottom};
      canvas.DrawText(f.Text, rect, f.Font, f.Color, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaBottom);
    }
  }
}

std::string TKVLTextLayout::LinkAt(TKVLPoint pt) const {
  for (const TLine& line : lines_) {
    if (pt.Y < line.Top || pt.Y >= line.Top + line.Height) continue;
    for (const TFragment& f : line.Fragments)
      if (f.Box.Contains(pt)) return f.Link;
    return {};
  }
  return {};
}

} // namespace KVL::UI
