// TKVLStringList: an ordered list of text lines with a tag and an object per line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/Streams.h"
#include "KVL/Base/TextDecoder.h"

namespace KVL::Classes {

// Splits text into lines. A line ends at CR, LF or U+2028; at a break one U+2028, then
// one CR, then one LF are consumed, so CR LF, CR, LF, U+2028 and U+2028 CR LF each end
// one line while LF CR ends two. Empty lines are kept; the text after the last break is
// a line only when it is not empty.
std::vector<std::string_view> SplitTextLines(std::string_view text);

// Lines of the form name=value: the name is the text before the first "=", the value the
// text after it; a line without "=" has an empty name and its whole text as value.
// Name comparisons ignore case (SysUtils::SameText). Indexes are 0-based; -1 = not found.
class TKVLStringList {
public:
  static constexpr char kNameValueSeparator = '=';

  TKVLStringList() = default;
  virtual ~TKVLStringList() = default;
  TKVLStringList(const TKVLStringList&) = delete;
  TKVLStringList& operator=(const TKVLStringList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  const std::string& Strings(int index) const { return Item(index).Str; }
  void SetString(int index, std::string s) { Put(index, std::move(s)); }
  int32_t Tag(int index) const { return Item(index).Tag; }
  void SetTag(int index, int32_t tag) { Item(index).Tag = tag; }
  // The object of a line is borrowed: the list never frees it.
  void* Object(int index) const { return Item(index).Object; }
  void SetObject(int index, void* object) { Item(index).Object = object; }

  int Add(std::string s, void* object = nullptr);
  void Insert(int index, std::string s, void* object = nullptr);
  void Delete(int index);
  void Clear();
  // Copies the lines (text, tag and object) of another list.
  void Assign(const TKVLStringList& source);

  // First line equal to s ignoring case.
  int IndexOf(std::string_view s) const;
  // First line whose name equals name ignoring case.
  virtual int IndexOfName(std::string_view name) const;
  std::string Name(int index) const;
  std::string ValueFromIndex(int index) const;
  // Value of the first line with that name; empty when there is none.
  std::string Value(std::string_view name) const;

  // Every line followed by CR LF.
  std::string Text() const;
  // Replaces the lines by the text split with SplitTextLines.
  void SetText(std::string_view text);

  // Decodes the rest of the stream (byte-order mark or default code page) into lines.
  void LoadFromStream(Streams::TKVLStream& stream);
  void SaveToStream(Streams::TKVLStream& stream,
                    const Text::TTextEncoding& encoding = Text::TTextEncoding::Utf16LE()) const;

  // Changes inside a Begin/EndUpdate pair are reported once, when the count returns to 0.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Raised after each change while no update is in progress.
  std::function<void(TKVLStringList&)> OnChange;

protected:
  struct TItem {
    std::string Str;
    mutable int32_t Tag = 0;  // mutable: derived lists cache per-line values here
    void* Object = nullptr;
  };

  // Replaces the text of a line; derived lists keep per-line caches in step here.
  virtual void Put(int index, std::string s);
  // Called after every change; raises OnChange unless an update is in progress.
  virtual void Changed();

  TItem& Item(int index);
  const TItem& Item(int index) const;

  std::vector<TItem> items_;

private:
  int updateCount_ = 0;
};

} // namespace KVL::Classes
