// RTF reader: a single pass over the bytes with a bounded stack of group states; never raises.
#include "KVL/UI/RTF.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "KVL/Base/Platform/CodePage.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::UI {

namespace {

// Deeper nesting than this is skipped as a whole; real documents stay far below it.
constexpr size_t kMaxDepth = 200;
// A control word longer than this is not one any writer uses; the rest of its letters are dropped.
constexpr size_t kMaxWordLength = 32;
constexpr unsigned kSymbolCodePage = 42;  // not a Windows page: the Symbol font's own bytes
// Every run carries its font name and link: longer ones than any real document has are
// cut or dropped, so that hostile input cannot multiply them into gigabytes.
constexpr size_t kMaxFontName = 128;
constexpr size_t kMaxLink = 2048;

enum class TDestination { dText, dSkip, dFontTable, dColorTable, dFieldInstruction };

struct TCharFormat {
  int Font = -1;
  int HalfPoints = 0;  // 0 = not given
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  int ForeColor = 0;  // colour-table index; 0 = automatic
  int BackColor = 0;
};

struct TParagraphFormat {
  TKVLTextAlign Align = TKVLTextAlign::taLeft;
  int LeftIndent = 0;
  int FirstIndent = 0;
  int SpaceBefore = 0;
  int SpaceAfter = 0;
};

struct TGroupState {
  TDestination Destination = TDestination::dText;
  TCharFormat Char;
  TParagraphFormat Para;
  int UnicodeSkip = 1;
  int Field = -1;      // index into fields_ when inside a field group
  int LinkField = -1;  // the field whose result this text is
};

struct TField {
  std::string Instruction;
  std::string Link;
};

struct TFontDef {
  std::string NameBytes;
  std::string Name;
  unsigned CodePage = 0;  // 0 = the document's
  bool Complete = false;
};

struct TColorDef {
  int Red = 0, Green = 0, Blue = 0;
  bool Given = false;
};

// The Windows code page of a font's \fcharset; 0 when the document's page applies.
unsigned CharsetCodePage(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return kSymbolCodePage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
  }
}

// Bytes of a code page as UTF-8; bytes the page rejects are read as Windows-1252 instead.
std::string DecodeBytes(unsigned codePage, std::string_view bytes) {
  std::u16string wide;
  if (codePage == kSymbolCodePage) {
    // The Symbol font's bullet is the one character of it lists need; the rest read as Latin.
    for (char c : bytes) wide += static_cast<uint8_t>(c) == 0xB7 ? u'\u2022' : static_cast<char16_t>(static_cast<uint8_t>(c));
    return SysUtils::Utf16ToUtf8(wide);
  }
  if (!Platform::DecodeCodePage(codePage, bytes, wide) && !Platform::DecodeCodePage(1252, bytes, wide)) {
    wide.clear();
    for (char c : bytes) wide += static_cast<char16_t>(static_cast<uint8_t>(c));
  }
  return SysUtils::Utf16ToUtf8(wide);
}


bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The control words this reader acts on; every other word is ignored.
enum class TWord {
  wUnknown, wSkippedDestination, wFontTable, wColorTable, wField, wFieldInstruction, wFieldResult, wBin,
  wFont, wCharset, wCodePage, wRed, wGreen, wBlue, wAnsi, wMac, wPc, wPca, wAnsiCodePage, wDefaultFont,
  wPlain, wFontSize, wBold, wItalic, wUnderline, wUnderlineNone, wStrike, wForeColor, wBackColor,
  wUnicodeSkip, wPard, wLeft, wCenter, wRight, wLeftIndent, wFirstIndent, wSpaceBefore, wSpaceAfter,
  wParagraph, wLine, wTab, wUnicode, wText
};

struct TWordInfo {
  TWord Kind;
  const char* Text = nullptr;  // what a wText word stands for, UTF-8
};

TWordInfo LookUpWord(std::string_view word) {
  using W = TWord;
  static const std::unordered_map<std::string_view, TWordInfo> kWords = [] {
    std::unordered_map<std::string_view, TWordInfo> m = {
        {"fonttbl", {W::wFontTable}}, {"colortbl", {W::wColorTable}}, {"field", {W::wField}},
        {"fldinst", {W::wFieldInstruction}}, {"fldrslt", {W::wFieldResult}}, {"bin", {W::wBin}},
        {"f", {W::wFont}}, {"fcharset", {W::wCharset}}, {"cpg", {W::wCodePage}}, {"red", {W::wRed}},
        {"green", {W::wGreen}}, {"blue", {W::wBlue}}, {"ansi", {W::wAnsi}}, {"mac", {W::wMac}},
        {"pc", {W::wPc}}, {"pca", {W::wPca}}, {"ansicpg", {W::wAnsiCodePage}}, {"deff", {W::wDefaultFont}},
        {"plain", {W::wPlain}}, {"fs", {W::wFontSize}}, {"b", {W::wBold}}, {"i", {W::wItalic}},
        {"ulnone", {W::wUnderlineNone}}, {"strike", {W::wStrike}}, {"striked", {W::wStrike}},
        {"cf", {W::wForeColor}}, {"cb", {W::wBackColor}}, {"highlight", {W::wBackColor}},
        {"chcbpat", {W::wBackColor}}, {"uc", {W::wUnicodeSkip}}, {"pard", {W::wPard}}, {"ql", {W::wLeft}},
        {"qj", {W::wLeft}}, {"qc", {W::wCenter}}, {"qr", {W::wRight}}, {"li", {W::wLeftIndent}},
        {"fi", {W::wFirstIndent}}, {"sb", {W::wSpaceBefore}}, {"sa", {W::wSpaceAfter}},
        {"par", {W::wParagraph}}, {"sect", {W::wParagraph}}, {"page", {W::wParagraph}}, {"row", {W::wParagraph}},
        {"line", {W::wLine}}, {"tab", {W::wTab}}, {"cell", {W::wTab}}, {"nestcell", {W::wTab}}, {"u", {W::wUnicode}},
        {"emdash", {W::wText, "\xE2\x80\x94"}}, {"endash", {W::wText, "\xE2\x80\x93"}},
        {"bullet", {W::wText, "\xE2\x80\xA2"}}, {"lquote", {W::wText, "\xE2\x80\x98"}},
        {"rquote", {W::wText, "\xE2\x80\x99"}}, {"ldblquote", {W::wText, "\xE2\x80\x9C"}},
        {"rdblquote", {W::wText, "\xE2\x80\x9D"}}, {"emspace", {W::wText, " "}}, {"enspace", {W::wText, " "}},
        {"qmspace", {W::wText, " "}},
    };
    for (const char* u : {"ul", "uld", "uldb", "uldash", "uldashd", "uldashdd", "ulw", "ulwave", "ulth", "ulhwave",
                          "ululdbwave", "ulthd", "ulthdash", "ulldash", "ulthldash", "ulthdashd", "ulthdashdd"})
      m[u] = {W::wUnderline};
    // Destinations whose content is never shown.
    for (const char* d :
         {"stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
          "footerf", "footnote", "annotation", "object", "objdata", "nonshppict", "shp", "shpinst", "shppict", "txe",
          "xe", "tc", "tcn", "filetbl", "revtbl", "rsidtbl", "listtable", "listoverridetable", "generator", "xmlnstbl",
          "themedata", "colorschememapping", "latentstyles", "datastore", "private", "author", "operator", "title",
          "subject", "keywords", "comment", "doccomm", "buptim", "creatim", "printim", "revtim", "atnid", "atnauthor",
          "atrfstart", "atrfend", "bkmkstart", "bkmkend", "falt", "panose", "userprops", "fchars", "lchars",
          "pgdsctbl", "mmathPr", "wgrffmtfilter", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn"})
      m[d] = {W::wSkippedDestination};
    return m;
  }();
  auto it = kWords.find(word);
  return it == kWords.end() ? TWordInfo{W::wUnknown} : it->second;
}

class TRtfReader {
public:
  explicit TRtfReader(std::string_view data) : data_(data) {}

  TKVLRichDocument Read() {
    stack_.reserve(kMaxDepth + 1);  // pushes copy the top in place, never reallocating under it
    stack_.push_back(TGroupState{});
    while (pos_ < data_.size()) {
      char c = data_[pos_];
      if (c == '{') {
        ++pos_;
        FlushBytes();
        skipChars_ = 0;
        if (stack_.size() >= kMaxDepth) {
          SkipGroupRest();
          continue;
        }
        stack_.push_back(stack_.back());
        destinationPending_ = false;
      } else if (c == '}') {
        ++pos_;
        FlushBytes();
        skipChars_ = 0;
        if (stack_.size() == 2) lastPara_ = State().Para;
        EndGroup();
        if (stack_.size() == 1) break;  // the document's group is closed
      } else if (c == '\\') {
        ++pos_;
        ReadControl();
      } else if (c == '\r' || c == '\n' || c == '\0') {
        ++pos_;
      } else {
        ++pos_;
        if (skipChars_ > 0) {
          --skipChars_;
          continue;
        }
        if (static_cast<uint8_t>(c) >= 0x80) {
          AddByte(c);
        } else {
          FlushBytes();
          AddChar(c);
        }
      }
    }
    FlushBytes();
    if (stack_.size() > 1) lastPara_ = State().Para;
    while (stack_.size() > 1) EndGroup();
    EndParagraph(true);
    return std::move(doc_);
  }

private:
  TGroupState& State() { return stack_.back(); }

  // Skips everything up to the '}' that closes the group just opened (with nested groups),
  // honouring \bin so that binary data cannot close it early.
  void SkipGroupRest() {
    size_t depth = 1;
    while (pos_ < data_.size() && depth > 0) {
      char c = data_[pos_++];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        --depth;
      } else if (c == '\\' && pos_ < data_.size()) {
        if (IsLetter(data_[pos_])) {
          std::string word;
          std::optional<long long> param;
          ReadWord(word, param);
          if (word == "bin" && param && *param > 0) SkipBinary(*param);
        } else {
          ++pos_;
        }
      }
    }
  }

  void SkipBinary(long long count) {
    size_t left = data_.size() - pos_;
    pos_ += count > static_cast<long long>(left) ? left : static_cast<size_t>(count);
  }

  // Reads letters, an optional signed number and the one space that may end a control word.
  void ReadWord(std::string& word, std::optional<long long>& param) {
    while (pos_ < data_.size() && IsLetter(data_[pos_])) {
      if (word.size() < kMaxWordLength) word += data_[pos_];
      ++pos_;
    }
    bool negative = false;
    if (pos_ < data_.size() && data_[pos_] == '-' && pos_ + 1 < data_.size() && IsDigit(data_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    if (pos_ < data_.size() && IsDigit(data_[pos_])) {
      long long value = 0;
      while (pos_ < data_.size() && IsDigit(data_[pos_])) {
        value = std::min<long long>(value * 10 + (data_[pos_] - '0'), 1LL << 40);
        ++pos_;
      }
      param = negative ? -value : value;
    }
    if (pos_ < data_.size() && data_[pos_] == ' ') ++pos_;
  }

  static int ClampInt(long long v, int lo, int hi) { return static_cast<int>(std::clamp<long long>(v, lo, hi)); }

  void ReadControl() {
    if (pos_ >= data_.size()) return;
    char c = data_[pos_];
    if (!IsLetter(c)) {
      ++pos_;
      if (c == '\'') {
        int value = 0, digits = 0;
        while (digits < 2 && pos_ < data_.size() && HexValue(data_[pos_]) >= 0) {
          value = value * 16 + HexValue(data_[pos_++]);
          ++digits;
        }
        if (skipChars_ > 0) {
          --skipChars_;
          return;
        }
        if (digits == 2) AddByte(static_cast<char>(value));  // a cut-off \'h is dropped
        return;
      }
      FlushBytes();
      if (c == '*') {
        destinationPending_ = true;
        return;
      }
      if (skipChars_ > 0) {
        --skipChars_;
        return;
      }
      switch (c) {
        case '\\': case '{': case '}': AddChar(c); break;
        case '~': AddText("\xC2\xA0"); break;       // no-break space
        case '_': AddText("\xE2\x80\x91"); break;   // non-breaking hyphen
        case '-': break;                            // optional hyphen: only a break hint
        case '\t': AddChar('\t'); break;
        case '\r': case '\n': EndParagraph(false); break;
        default: break;
      }
      return;
    }
    std::string word;
    std::optional<long long> param;
    ReadWord(word, param);
    FlushBytes();
    TWordInfo info = LookUpWord(word);
    if (info.Kind == TWord::wBin) {
      if (param && *param > 0) SkipBinary(*param);
      return;
    }
    bool wasDestination = destinationPending_;
    destinationPending_ = false;
    if (skipChars_ > 0 && info.Kind != TWord::wUnicode) {
      --skipChars_;
      return;
    }
    skipChars_ = 0;
    // Nothing inside a skipped group counts, not even the words that open tables.
    if (State().Destination == TDestination::dSkip) return;
    if (HandleDestination(info.Kind, wasDestination)) return;
    HandleWord(info, param);
  }

  // Destination words say what a group's content is; true when word was one.
  bool HandleDestination(TWord word, bool starred) {
    TGroupState& s = State();
    if (word == TWord::wFontTable) {
      s.Destination = TDestination::dFontTable;
    } else if (word == TWord::wColorTable) {
      s.Destination = TDestination::dColorTable;
      colors_.clear();
      color_ = {};
    } else if (word == TWord::wFieldInstruction) {
      s.Destination = s.Field >= 0 ? TDestination::dFieldInstruction : TDestination::dSkip;
    } else if (word == TWord::wFieldResult) {
      s.Destination = TDestination::dText;
      style_.reset();
      if (s.Field >= 0) {
        TField& field = fields_[static_cast<size_t>(s.Field)];
        field.Link = HyperlinkTarget(field.Instruction);
        if (field.Link.size() > kMaxLink) field.Link.clear();
        s.LinkField = s.Field;
      }
    } else if (word == TWord::wField) {
      style_.reset();
      s.Field = static_cast<int>(fields_.size());
      fields_.emplace_back();
    } else if (starred || word == TWord::wSkippedDestination) {
      // An unknown \* destination is skipped by definition.
      s.Destination = TDestination::dSkip;
    } else {
      return false;
    }
    return true;
  }

  // The address of a HYPERLINK field instruction: its first quoted (or bare) argument.
  static std::string HyperlinkTarget(const std::string& instruction) {
    size_t i = instruction.find_first_not_of(" \t");
    if (i == std::string::npos || instruction.compare(i, 9, "HYPERLINK") != 0) return {};
    i += 9;
    while (i < instruction.size()) {
      while (i < instruction.size() && (instruction[i] == ' ' || instruction[i] == '\t')) ++i;
      if (i >= instruction.size()) break;
      if (instruction[i] == '"') {
        size_t end = instruction.find('"', i + 1);
        if (end == std::string::npos) end = instruction.size();
        return instruction.substr(i + 1, end - i - 1);
      }
      if (instruction[i] == '\\') {
        // A switch such as \l (bookmark) or \o "tip": \o and \t carry a value that is not the target.
        char sw = i + 1 < instruction.size() ? instruction[i + 1] : '\0';
        i += 2;
        if (sw == 'o' || sw == 't' || sw == 'm') {
          while (i < instruction.size() && instruction[i] == ' ') ++i;
          if (i < instruction.size() && instruction[i] == '"') {
            size_t end = instruction.find('"', i + 1);
            i = end == std::string::npos ? instruction.size() : end + 1;
          }
        }
        continue;
      }
      size_t end = instruction.find_first_of(" \t", i);
      if (end == std::string::npos) end = instruction.size();
      return instruction.substr(i, end - i);
    }
    return {};
  }

  void HandleWord(const TWordInfo& word, const std::optional<long long>& param) {
    style_.reset();
    TGroupState& s = State();
    long long p = param.value_or(0);
    bool on = !param || *param != 0;

    if (s.Destination == TDestination::dFontTable) {
      if (word.Kind == TWord::wFont) {
        currentFont_ = ClampInt(p, INT_MIN, INT_MAX);
        fonts_[*currentFont_];
      } else if (word.Kind == TWord::wCharset && currentFont_) {
        TFontDef& f = fonts_[*currentFont_];
        if (!f.CodePage) f.CodePage = CharsetCodePage(ClampInt(p, 0, 255));
      } else if (word.Kind == TWord::wCodePage && currentFont_ && p > 0) {
        fonts_[*currentFont_].CodePage = static_cast<unsigned>(ClampInt(p, 1, 65535));
      }
      return;
    }
    if (s.Destination == TDestination::dColorTable) {
      int v = ClampInt(p, 0, 255);
      if (word.Kind == TWord::wRed) color_.Red = v, color_.Given = true;
      else if (word.Kind == TWord::wGreen) color_.Green = v, color_.Given = true;
      else if (word.Kind == TWord::wBlue) color_.Blue = v, color_.Given = true;
      return;
    }

    switch (word.Kind) {
      case TWord::wAnsi: docCodePage_ = 1252; break;
      case TWord::wMac: docCodePage_ = 10000; break;
      case TWord::wPc: docCodePage_ = 437; break;
      case TWord::wPca: docCodePage_ = 850; break;
      case TWord::wAnsiCodePage:
        docCodePage_ = p > 0 ? static_cast<unsigned>(ClampInt(p, 1, 65535)) : Platform::SystemAnsiCodePage();
        break;
      case TWord::wDefaultFont:
        defaultFont_ = ClampInt(p, INT_MIN, INT_MAX);
        s.Char.Font = defaultFont_;
        break;
      case TWord::wPlain:
        s.Char = TCharFormat{};
        s.Char.Font = defaultFont_;
        break;
      case TWord::wFont: s.Char.Font = ClampInt(p, INT_MIN, INT_MAX); break;
      case TWord::wFontSize: s.Char.HalfPoints = p > 0 ? ClampInt(p, 1, 3276) : 0; break;
      case TWord::wBold: s.Char.Bold = on; break;
      case TWord::wItalic: s.Char.Italic = on; break;
      case TWord::wUnderline: s.Char.Underline = on; break;
      case TWord::wUnderlineNone: s.Char.Underline = false; break;
      case TWord::wStrike: s.Char.StrikeOut = on; break;
      case TWord::wForeColor: s.Char.ForeColor = ClampInt(p, 0, INT_MAX); break;
      case TWord::wBackColor: s.Char.BackColor = ClampInt(p, 0, INT_MAX); break;
      case TWord::wUnicodeSkip: s.UnicodeSkip = ClampInt(p, 0, 16); break;
      case TWord::wPard: s.Para = TParagraphFormat{}; break;
      case TWord::wLeft: s.Para.Align = TKVLTextAlign::taLeft; break;
      case TWord::wCenter: s.Para.Align = TKVLTextAlign::taCenter; break;
      case TWord::wRight: s.Para.Align = TKVLTextAlign::taRight; break;
      case TWord::wLeftIndent: s.Para.LeftIndent = ClampInt(p, -31680, 31680); break;
      case TWord::wFirstIndent: s.Para.FirstIndent = ClampInt(p, -31680, 31680); break;
      case TWord::wSpaceBefore: s.Para.SpaceBefore = ClampInt(p, 0, 31680); break;
      case TWord::wSpaceAfter: s.Para.SpaceAfter = ClampInt(p, 0, 31680); break;
      case TWord::wParagraph: EndParagraph(false); break;
      case TWord::wLine: AddChar('\n'); break;
      case TWord::wTab: AddChar('\t'); break;
      case TWord::wUnicode: AddUnicode(p); break;
      case TWord::wText: AddText(word.Text); break;
      default: break;  // a word this reader does not need
    }
  }

  void EndGroup() {
    if (stack_.size() <= 1) return;
    TDestination closing = stack_.back().Destination;
    stack_.pop_back();
    style_.reset();
    if (closing == TDestination::dFontTable && stack_.back().Destination != TDestination::dFontTable) {
      currentFont_.reset();
      for (auto& [index, font] : fonts_) FinishFont(font);
    } else if (closing == TDestination::dFontTable && currentFont_) {
      // A font's own group ends its definition even without the ';'.
      FinishFont(fonts_[*currentFont_]);
    }
    if (closing == TDestination::dColorTable && stack_.back().Destination != TDestination::dColorTable && color_.Given) {
      colors_.push_back(color_);
      color_ = {};
    }
    pendingHigh_ = 0;
  }

  static void AddFontNameByte(TFontDef& font, char b) {
    if (!font.Complete && font.NameBytes.size() < kMaxFontName) font.NameBytes += b;
  }

  void FinishFont(TFontDef& font) {
    if (font.Complete) return;
    font.Complete = true;
    unsigned cp = font.CodePage ? font.CodePage : docCodePage_;
    font.Name = SysUtils::Trim(DecodeBytes(cp == kSymbolCodePage ? 1252 : cp, font.NameBytes));
  }

  unsigned CurrentCodePage() {
    const TCharFormat& f = State().Char;
    auto it = fonts_.find(f.Font);
    if (it != fonts_.end() && it->second.CodePage) return it->second.CodePage;
    return docCodePage_;
  }

  void AddByte(char b) {
    TDestination d = State().Destination;
    if (d == TDestination::dSkip || d == TDestination::dColorTable) return;
    if (d == TDestination::dFontTable) {
      if (currentFont_) AddFontNameByte(fonts_[*currentFont_], b);
      return;
    }
    unsigned cp = CurrentCodePage();
    if (!pendingBytes_.empty() && cp != pendingCodePage_) FlushBytes();
    pendingCodePage_ = cp;
    pendingBytes_ += b;
  }

  void FlushBytes() {
    if (pendingBytes_.empty()) return;
    std::string text = DecodeBytes(pendingCodePage_, pendingBytes_);
    pendingBytes_.clear();
    AddText(text);
  }

  void AddChar(char c) {
    TDestination d = State().Destination;
    if (d == TDestination::dFontTable) {
      if (!currentFont_) return;
      TFontDef& f = fonts_[*currentFont_];
      if (c == ';') FinishFont(f);
      else AddFontNameByte(f, c);
      return;
    }
    if (d == TDestination::dColorTable) {
      if (c == ';') {
        colors_.push_back(color_);
        color_ = {};
      }
      return;
    }
    AddText(std::string_view(&c, 1));
  }

  void AddUnicode(long long value) {
    skipChars_ = State().UnicodeSkip;
    if (value < 0) value += 65536;
    if (value < 0 || value > 0xFFFF) return;
    auto unit = static_cast<uint32_t>(value);
    std::string out;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      pendingHigh_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (!pendingHigh_) return;  // a lone low half has nothing to join
      SysUtils::AppendUtf8(out, 0x10000 + ((pendingHigh_ - 0xD800) << 10) + (unit - 0xDC00));
      pendingHigh_ = 0;
    } else {
      SysUtils::AppendUtf8(out, unit);
    }
    if (unit == 0) return;  // \u0 stands for nothing visible
    AddText(out);
  }

  void AddText(std::string_view text) {
    pendingHigh_ = 0;
    TGroupState& s = State();
    if (s.Destination == TDestination::dSkip || text.empty()) return;
    if (s.Destination == TDestination::dFieldInstruction) {
      std::string& instruction = fields_[static_cast<size_t>(s.Field)].Instruction;
      if (instruction.size() < 4096) instruction += text;
      return;
    }
    if (s.Destination != TDestination::dText) {
      for (char c : text) AddChar(c);
      return;
    }
    if (!style_) style_ = CurrentStyle();
    std::vector<TKVLTextRun>& runs = paragraph_.Runs;
    if (!runs.empty() && runs.back().Style == *style_) runs.back().Text += text;
    else runs.push_back({std::string(text), *style_});
  }

  TKVLTextStyle CurrentStyle() {
    const TGroupState& s = State();
    TKVLTextStyle style;
    auto font = fonts_.find(s.Char.Font);
    if (font != fonts_.end()) {
      FinishFont(font->second);
      if (!font->second.Name.empty()) style.FontName = font->second.Name;
    }
    if (s.Char.HalfPoints > 0) style.SizePt = s.Char.HalfPoints / 2.0;
    style.Bold = s.Char.Bold;
    style.Italic = s.Char.Italic;
    style.Underline = s.Char.Underline;
    style.StrikeOut = s.Char.StrikeOut;
    style.Color = TableColor(s.Char.ForeColor);
    style.BackColor = TableColor(s.Char.BackColor);
    if (s.LinkField >= 0) style.Link = fields_[static_cast<size_t>(s.LinkField)].Link;
    return style;
  }

  std::optional<TKVLColor> TableColor(int index) const {
    if (index <= 0 || static_cast<size_t>(index) >= colors_.size()) return std::nullopt;
    const TColorDef& c = colors_[static_cast<size_t>(index)];
    if (!c.Given) return std::nullopt;
    return TKVLColor(static_cast<uint32_t>(c.Red << 16 | c.Green << 8 | c.Blue));
  }

  // \par ends a paragraph with the paragraph format in force; at the end of the document
  // only a paragraph that has text is kept.
  void EndParagraph(bool atEnd) {
    TGroupState& s = State();
    if (!atEnd && s.Destination != TDestination::dText) return;
    if (atEnd && paragraph_.Runs.empty()) return;
    const TParagraphFormat& pf = atEnd ? lastPara_ : s.Para;
    paragraph_.Align = pf.Align;
    paragraph_.LeftIndentTwips = pf.LeftIndent;
    paragraph_.FirstIndentTwips = pf.FirstIndent;
    paragraph_.SpaceBeforeTwips = pf.SpaceBefore;
    paragraph_.SpaceAfterTwips = pf.SpaceAfter;
    doc_.Paragraphs.push_back(std::move(paragraph_));
    paragraph_ = {};
  }

  std::string_view data_;
  size_t pos_ = 0;
  std::vector<TGroupState> stack_;
  TKVLRichDocument doc_;
  TKVLParagraph paragraph_;
  TParagraphFormat lastPara_;
  std::map<int, TFontDef> fonts_;
  std::optional<int> currentFont_;
  std::vector<TColorDef> colors_;
  TColorDef color_;
  std::vector<TField> fields_;
  std::optional<TKVLTextStyle> style_;  // of the current state; reset when the state may have changed
  unsigned docCodePage_ = 1252;
  int defaultFont_ = -1;
  std::string pendingBytes_;
  unsigned pendingCodePage_ = 1252;
  uint32_t pendingHigh_ = 0;
  int skipChars_ = 0;
  bool destinationPending_ = false;
};

} // namespace

TKVLRichDocument ParseRTF(std::string_view data) {
  try {
    return TRtfReader(data).Read();
  } catch (...) {
    // Only allocation can fail here; an empty document is what a failed read shows.
    return {};
  }
}

} // namespace KVL::UI
