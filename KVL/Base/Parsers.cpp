// The component library's generic tokenizer.
#include "KVL/Base/Parsers.h"

namespace KVL::Parsers {

TKVLCharSet::TKVLCharSet(std::string_view chars) {
  for (char c : chars) bits_[static_cast<unsigned char>(c)] = true;
}

TKVLParser::TKVLParser(std::string_view delimiters, std::string_view quotes, std::string_view spaces)
    : delimiters_(delimiters), quotes_(quotes), spaces_(spaces) {}

void TKVLParser::SetText(std::string_view text) {
  text_.assign(text);
  pos_ = 0;
}

bool TKVLParser::IsSkipped(TKVLTokenKind kind) const {
  return (kind == tkSpace && SkipSpaces) || (kind == tkDelimiter && SkipDelimiters) ||
         (kind == tkQuoteChar && SkipQuoteChars);
}

bool TKVLParser::GetToken(TKVLToken& token) {
  do {
    if (pos_ >= text_.size()) {
      token = TKVLToken{};
      return false;
    }
    ReadOne(token);
  } while (IsSkipped(token.Kind));
  return true;
}

void TKVLParser::ReadOne(TKVLToken& token) {
  char c = text_[pos_];
  if (spaces_.Contains(c)) {
    token = {tkSpace, std::string(1, c)};
    ++pos_;
    return;
  }
  if (quotes_.Contains(c)) {
    size_t close = QuotedStrings ? text_.find(c, pos_ + 1) : std::string::npos;
    if (close == std::string::npos) {
      token = {tkQuoteChar, std::string(1, c)};
      ++pos_;
    } else if (StripQuotes) {
      token = {tkQuotedString, text_.substr(pos_ + 1, close - pos_ - 1)};
      pos_ = close + 1;
    } else {
      token = {tkQuotedString, text_.substr(pos_, close - pos_ + 1)};
      pos_ = close + 1;
    }
    return;
  }
  if (delimiters_.Contains(c)) {
    token = {tkDelimiter, std::string(1, c)};
    ++pos_;
    return;
  }
  size_t end = pos_;
  while (end < text_.size() && !delimiters_.Contains(text_[end])) ++end;
  token = {tkWord, text_.substr(pos_, end - pos_)};
  pos_ = end;
}

} // namespace KVL::Parsers
