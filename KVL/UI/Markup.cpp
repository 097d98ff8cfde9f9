// The formatted label's bracket markup reader, apart from the control so that tools and tests need no window code.
#include "KVL/UI/FormattedLabel.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace KVL::UI::Controls::FormattedLabel {

namespace {

// Tags deeper than this are dropped, which keeps the work per run bounded.
constexpr size_t kMaxOpenTags = 64;
constexpr double kSizeStep = 2;
constexpr double kMinSize = 4;
constexpr double kMaxSize = 400;
// Every run carries its link: a longer address than any real one is taken as malformed.
constexpr size_t kMaxUrl = 2048;

enum class TTag { tB, tI, tU, tS, tColor, tBackColor, tBig, tSmall, tSize, tUrl };

struct TTagName {
  const char* Name;
  TTag Tag;
  bool TakesValue;
};

constexpr TTagName kTags[] = {
    {"B", TTag::tB, false},          {"I", TTag::tI, false},         {"U", TTag::tU, false},
    {"S", TTag::tS, false},          {"COLOR", TTag::tColor, true},  {"BACKCOLOR", TTag::tBackColor, true},
    {"BIG", TTag::tBig, false},      {"SMALL", TTag::tSmall, false}, {"SIZE", TTag::tSize, true},
    {"URL", TTag::tUrl, true},
};

struct TOpenTag {
  TTag Tag;
  TKVLColor Color;
  double Size = 0;
  std::string Url;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

const TTagName* FindTag(std::string_view name) {
  for (const TTagName& t : kTags)
    if (EqualsIgnoringCase(name, t.Name)) return &t;
  return nullptr;
}

std::optional<uint32_t> ParseHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

struct TNamedColor {
  const char* Name;
  uint32_t Rgb;
};

constexpr TNamedColor kColorNames[] = {
    {"black", 0x000000},  {"white", 0xFFFFFF},   {"red", 0xFF0000},    {"green", 0x008000},
    {"blue", 0x0000FF},   {"navy", 0x000080},    {"gray", 0x808080},   {"grey", 0x808080},
    {"silver", 0xC0C0C0}, {"maroon", 0x800000},  {"olive", 0x808000},  {"purple", 0x800080},
    {"teal", 0x008080},   {"lime", 0x00FF00},    {"yellow", 0xFFFF00}, {"fuchsia", 0xFF00FF},
    {"aqua", 0x00FFFF},   {"orange", 0xFFA500},  {"skyblue", 0xA6CAF0}, {"cream", 0xFFFBF0},
};

} // namespace

// #RRGGBB (or #RGB), $BBGGRR as the library's colour constants are written, or a name
// with or without the "cl" prefix.
std::optional<TKVLColor> ParseMarkupColor(std::string_view value) {
  if (value.empty()) return std::nullopt;
  if (value[0] == '#') {
    std::string_view digits = value.substr(1);
    if (digits.size() != 6 && digits.size() != 3) return std::nullopt;
    std::optional<uint32_t> v = ParseHex(digits);
    if (!v) return std::nullopt;
    if (digits.size() == 3) {
      uint32_t r = (*v >> 8) & 0xF, g = (*v >> 4) & 0xF, b = *v & 0xF;
      return TKVLColor((r * 17) << 16 | (g * 17) << 8 | (b * 17));
    }
    return TKVLColor(*v);
  }
  if (value[0] == '$') {
    std::optional<uint32_t> v = ParseHex(value.substr(1));
    if (!v || *v > 0xFFFFFF) return std::nullopt;
    return TKVLColor((*v & 0xFF) << 16 | (*v & 0xFF00) | (*v >> 16));
  }
  std::string_view name = value;
  if (name.size() > 2 && EqualsIgnoringCase(name.substr(0, 2), "cl")) name.remove_prefix(2);
  for (const TNamedColor& c : kColorNames)
    if (EqualsIgnoringCase(name, c.Name)) return TKVLColor(c.Rgb);
  return std::nullopt;
}

TKVLRichDocument ParseMarkup(const std::string& text, double baseSizePt) {
  TKVLRichDocument doc;
  if (text.empty()) return doc;
  doc.Paragraphs.emplace_back();
  std::vector<TKVLTextRun>& runs = doc.Paragraphs.back().Runs;
  std::vector<TOpenTag> open;
  std::optional<TKVLTextStyle> style;  // of the open tags; reset when they change

  auto currentStyle = [&]() -> const TKVLTextStyle& {
    if (style) return *style;
    TKVLTextStyle s;
    double size = baseSizePt;
    for (const TOpenTag& t : open) {
      switch (t.Tag) {
        case TTag::tB: s.Bold = true; break;
        case TTag::tI: s.Italic = true; break;
        case TTag::tU: s.Underline = true; break;
        case TTag::tS: s.StrikeOut = true; break;
        case TTag::tColor: s.Color = t.Color; break;
        case TTag::tBackColor: s.BackColor = t.Color; break;
        case TTag::tBig: size = std::min(size + kSizeStep, kMaxSize), s.SizePt = size; break;
        case TTag::tSmall: size = std::max(size - kSizeStep, kMinSize), s.SizePt = size; break;
        case TTag::tSize: size = t.Size, s.SizePt = size; break;
        case TTag::tUrl: s.Link = t.Url; break;
      }
    }
    style = std::move(s);
    return *style;
  };
  auto addText = [&](std::string_view piece) {
    if (piece.empty()) return;
    const TKVLTextStyle& s = currentStyle();
    if (!runs.empty() && runs.back().Style == s) runs.back().Text += piece;
    else runs.push_back({std::string(piece), s});
  };
  // Line breaks of any system become the run's own "\n".
  auto addPlain = [&](std::string_view piece) {
    size_t start = 0;
    for (size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] != '\r') continue;
      addText(piece.substr(start, i - start));
      addText("\n");
      if (i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
      start = i + 1;
    }
    addText(piece.substr(start));
  };

  // Reads the tag at text[pos] == '['; true when it was a tag (applied or dropped).
  auto readTag = [&](size_t pos, size_t close) -> bool {
    std::string_view body(text.data() + pos + 1, close - pos - 1);
    bool closing = !body.empty() && body[0] == '/';
    if (closing) body.remove_prefix(1);
    size_t eq = body.find('=');
    std::string_view name = body.substr(0, eq);
    const TTagName* tag = FindTag(name);
    if (!tag) return false;
    if (closing) {
      if (eq != std::string_view::npos) return false;
      auto it = std::find_if(open.rbegin(), open.rend(), [&](const TOpenTag& t) { return t.Tag == tag->Tag; });
      if (it != open.rend()) {
        open.erase(std::next(it).base());
        style.reset();
      }
      return true;  // a closing tag with nothing open is dropped
    }
    if ((eq != std::string_view::npos) != tag->TakesValue) return false;
    TOpenTag entry{tag->Tag, {}, 0, {}};
    if (tag->TakesValue) {
      std::string_view value = body.substr(eq + 1);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      switch (tag->Tag) {
        case TTag::tColor:
        case TTag::tBackColor: {
          std::optional<TKVLColor> color = ParseMarkupColor(value);
          if (!color) return false;
          entry.Color = *color;
          break;
        }
        case TTag::tSize: {
          double size = 0;
          auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), size);
          if (ec != std::errc() || end != value.data() + value.size() || !(size >= 1 && size <= kMaxSize)) return false;
          entry.Size = size;
          break;
        }
        default:
          if (value.empty() || value.size() > kMaxUrl) return false;
          entry.Url = std::string(value);
          break;
      }
    }
    if (open.size() < kMaxOpenTags) {
      open.push_back(std::move(entry));
      style.reset();
    }
    return true;
  };

  size_t plainStart = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t bracket = text.find('[', pos);
    if (bracket == std::string::npos) break;
    // A tag is short and has no nested bracket; anything else is text.
    size_t close = text.find_first_of("[]", bracket + 1);
    if (close == std::string::npos || text[close] != ']') {
      pos = bracket + 1;
      continue;
    }
    addPlain(std::string_view(text).substr(plainStart, bracket - plainStart));
    if (readTag(bracket, close)) {
      plainStart = close + 1;
    } else {
      // Shown as written: the '[' starts the next piece of text.
      plainStart = bracket;
      addPlain(std::string_view(text).substr(bracket, close + 1 - bracket));
      plainStart = close + 1;
    }
    pos = close + 1;
  }
  addPlain(std::string_view(text).substr(plainStart));
  return doc;
}

} // namespace KVL::UI::Controls::FormattedLabel
