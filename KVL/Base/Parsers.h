// The component library's generic tokenizer over a string with configurable character sets.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace KVL::Parsers {

// Token kinds; the numbering is part of the interface (handlers switch on it).
enum TKVLTokenKind : int {
  tkNone = 0,
  tkSpace = 1,         // one character of the space set
  tkDelimiter = 2,     // one character of the delimiter set
  tkQuoteChar = 3,     // a quote character not taken as a quoted string
  tkQuotedString = 4,  // text between a quote and the next same quote
  tkWord = 5,          // a maximal run of characters outside the delimiter set
};

struct TKVLToken {
  TKVLTokenKind Kind = tkNone;
  std::string Text;
};

// A set of single-byte characters (every set the library uses is ASCII).
class TKVLCharSet {
public:
  TKVLCharSet() = default;
  explicit TKVLCharSet(std::string_view chars);
  bool Contains(char c) const { return bits_[static_cast<unsigned char>(c)]; }

private:
  std::array<bool, 256> bits_{};
};

class TKVLParser {
public:
  TKVLParser(std::string_view delimiters, std::string_view quotes, std::string_view spaces);
  virtual ~TKVLParser() = default;

  // Options; the defaults are those of the library's constructor.
  bool QuotedStrings = false;
  bool StripQuotes = true;
  bool SkipSpaces = true;
  bool SkipDelimiters = true;
  bool SkipQuoteChars = false;

  void SetText(std::string_view text);
  // Reads the next token that is not of a skipped kind; false at the end of the text.
  bool GetToken(TKVLToken& token);
  // The text from the cursor to the end.
  std::string_view Rest() const { return std::string_view(text_).substr(pos_); }

private:
  void ReadOne(TKVLToken& token);
  bool IsSkipped(TKVLTokenKind kind) const;

  TKVLCharSet delimiters_, quotes_, spaces_;
  std::string text_;
  size_t pos_ = 0;
};

} // namespace KVL::Parsers
