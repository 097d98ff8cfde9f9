// TKVLStringList: an ordered list of text lines with a tag and an object per line.
#include "KVL/Base/StringList.h"

#include "KVL/Base/SysUtils.h"

namespace KVL::Classes {

std::vector<std::string_view> SplitTextLines(std::string_view text) {
  static constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";  // U+2028 in UTF-8
  std::vector<std::string_view> lines;
  size_t start = 0, p = 0;
  while (p < text.size()) {
    bool ls = text.substr(p, 3) == kLineSeparator;
    if (!ls && text[p] != '\r' && text[p] != '\n') {
      ++p;
      continue;
    }
    lines.push_back(text.substr(start, p - start));
    if (ls) p += 3;
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    start = p;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TKVLStringList::TItem& TKVLStringList::Item(int index) {
  if (index < 0 || index >= Count())
    throw SysUtils::EKVLInvalidOperation(SysUtils::Format("List index out of bounds (%d)", index));
  return items_[static_cast<size_t>(index)];
}

const TKVLStringList::TItem& TKVLStringList::Item(int index) const {
  return const_cast<TKVLStringList*>(this)->Item(index);
}

void TKVLStringList::Put(int index, std::string s) {
  Item(index).Str = std::move(s);
  Changed();
}

void TKVLStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

int TKVLStringList::Add(std::string s, void* object) {
  items_.push_back({std::move(s), 0, object});
  Changed();
  return Count() - 1;
}

void TKVLStringList::Insert(int index, std::string s, void* object) {
  if (index < 0 || index > Count())
    throw SysUtils::EKVLInvalidOperation(SysUtils::Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, {std::move(s), 0, object});
  Changed();
}

void TKVLStringList::Delete(int index) {
  Item(index);  // range check
  items_.erase(items_.begin() + index);
  Changed();
}

void TKVLStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

void TKVLStringList::Assign(const TKVLStringList& source) {
  if (&source == this) return;
  BeginUpdate();
  items_ = source.items_;
  Changed();
  EndUpdate();
}

int TKVLStringList::IndexOf(std::string_view s) const {
  for (int i = 0; i < Count(); ++i)
    if (SysUtils::SameText(items_[static_cast<size_t>(i)].Str, s)) return i;
  return -1;
}

int TKVLStringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (SysUtils::SameText(Name(i), name)) return i;
  return -1;
}

std::string TKVLStringList::Name(int index) const {
  const std::string& s = Strings(index);
  size_t eq = s.find(kNameValueSeparator);
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TKVLStringList::ValueFromIndex(int index) const {
  const std::string& s = Strings(index);
  size_t eq = s.find(kNameValueSeparator);
  return eq == std::string::npos ? s : s.substr(eq + 1);
}

std::string TKVLStringList::Value(std::string_view name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

std::string TKVLStringList::Text() const {
  std::string t;
  for (const TItem& it : items_) {
    t += it.Str;
    t += "\r\n";
  }
  return t;
}

void TKVLStringList::SetText(std::string_view text) {
  BeginUpdate();
  items_.clear();
  for (std::string_view line : SplitTextLines(text)) items_.push_back({std::string(line), 0, nullptr});
  Changed();
  EndUpdate();
}

void TKVLStringList::LoadFromStream(Streams::TKVLStream& stream) {
  SetText(Text::DecodeStream(stream).Text);
}

void TKVLStringList::SaveToStream(Streams::TKVLStream& stream, const Text::TTextEncoding& encoding) const {
  std::string bytes = Text::EncodeText(Text(), encoding);
  stream.WriteBuffer(bytes.data(), bytes.size());
}

void TKVLStringList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

} // namespace KVL::Classes
