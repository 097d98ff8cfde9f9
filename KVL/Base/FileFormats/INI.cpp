// TKVLIniFile: a literal INI document of named sections holding name=value lines.
#include "KVL/Base/FileFormats/INI.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::FileFormats::INI {

namespace {

constexpr size_t kReadChunk = 256 * 1024;

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

// The section name of a header line: without its first and its last character, whatever
// that last character is ("[Sec" gives "Se"). A multi-byte last character goes whole.
std::string HeaderName(std::string_view line) {
  std::string_view name = line.substr(1);
  if (name.empty()) return {};
  size_t end = name.size() - 1;
  size_t k = end;
  while (k > 0 && end - k < 3 && (static_cast<uint8_t>(name[k]) & 0xC0) == 0x80) --k;
  if (k < end && static_cast<uint8_t>(name[k]) >= 0xC0) end = k;
  return std::string(name.substr(0, end));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

} // namespace

uint32_t NameHash(std::string_view name) {
  uint32_t h = 0;
  auto add = [&h](uint32_t c) {
    h = (h << 4) + c;
    uint32_t g = h & 0xF0000000u;
    if (g) {
      h ^= g >> 24;
      h &= ~g;
    }
  };
  // Upper-casing must match SameText: ASCII-only text folds a-z only.
  if (IsAscii(name)) {
    for (char c : name) add(static_cast<uint32_t>(c >= 'a' && c <= 'z' ? c - 32 : c));
  } else {
    for (char16_t c : SysUtils::UpperCase(SysUtils::Utf8ToUtf16(name))) add(c);
  }
  return h == 0 ? 1 : h;
}

// --- TKVLIniFileSection ---

TKVLIniFileSection::TKVLIniFileSection(TKVLIniFile* owner, std::string name)
    : owner_(owner), name_(std::move(name)), hash_(NameHash(name_)) {}

uint32_t TKVLIniFileSection::LineHash(int index) const {
  const TItem& it = Item(index);
  if (it.Tag == 0) it.Tag = static_cast<int32_t>(NameHash(Name(index)));
  return static_cast<uint32_t>(it.Tag);
}

int TKVLIniFileSection::IndexOfName(std::string_view key) const {
  uint32_t h = NameHash(key);
  for (int i = 0; i < Count(); ++i)
    if (LineHash(i) == h && SysUtils::SameText(Name(i), key)) return i;
  return -1;
}

void TKVLIniFileSection::Put(int index, std::string s) {
  Item(index).Tag = 0;  // the name may have changed
  TKVLStringList::Put(index, std::move(s));
}

void TKVLIniFileSection::Changed() {
  if (UpdateCount() != 0) return;
  TKVLStringList::Changed();
  if (owner_) owner_->SectionChanged();
}

// --- TKVLIniFile ---

TKVLIniFile::TKVLIniFile() = default;

TKVLIniFile::TKVLIniFile(const std::string& fileName, bool autoSave) : autoSave_(autoSave), fileName_(fileName) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

TKVLIniFile::~TKVLIniFile() {
  // UpdateFile reports failure as false; a destructor has nobody to tell.
  if (autoSave_) UpdateFile();
}

void TKVLIniFile::SectionChanged() {
  modified_ = true;
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TKVLIniFile::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SectionChanged();
}

TKVLIniFileSection* TKVLIniFile::FindSection(std::string_view section) const {
  uint32_t h = NameHash(section);
  if (lastSection_ && lastSection_->Hash() == h && SysUtils::SameText(lastSection_->Name(), section))
    return lastSection_;
  for (const auto& s : sections_) {
    if (s->Hash() == h && SysUtils::SameText(s->Name(), section)) {
      lastSection_ = s.get();
      return lastSection_;
    }
  }
  return nullptr;
}

TKVLIniFileSection& TKVLIniFile::FindOrAddSection(std::string_view section) {
  if (TKVLIniFileSection* s = FindSection(section)) return *s;
  sections_.push_back(std::make_unique<TKVLIniFileSection>(this, std::string(section)));
  lastSection_ = sections_.back().get();
  SectionChanged();
  return *lastSection_;
}

// --- persistence ---

void TKVLIniFile::LoadFromFile(const std::string& fileName) {
  Clear();
  fileName_ = fileName;
  Platform::TPlatformFile file;
  if (file.TryOpen(fileName, Platform::TFileOpenMode::fomRead)) {
    std::string data;
    for (;;) {
      size_t old = data.size();
      data.resize(old + kReadChunk);
      size_t n = file.Read(data.data() + old, kReadChunk);
      data.resize(old + n);
      if (n < kReadChunk) break;
    }
    file.Close();
    Streams::TKVLReadOnlyMemoryStream stream(data.data(), data.size());
    LoadFromStream(stream);
  }
  modified_ = false;
}

void TKVLIniFile::LoadFromStream(Streams::TKVLStream& stream) {
  Text::TDecodedText decoded = Text::DecodeStream(stream);
  encoding_ = decoded.Encoding;
  LoadFromString(decoded.Text);
}

void TKVLIniFile::LoadFromString(std::string_view text) {
  BeginUpdate();
  Clear();
  TKVLIniFileSection* current = nullptr;
  for (std::string_view line : Classes::SplitTextLines(text)) {
    if (line.empty()) continue;
    if (line[0] == '[') current = &FindOrAddSection(HeaderName(line));
    else if (current) current->Add(std::string(line));
    // Lines before the first header belong to no section and are dropped.
  }
  EndUpdate();
}

std::string TKVLIniFile::Serialize(const TTextEncoding& encoding) const {
  std::string text;
  for (const auto& s : sections_) {
    if (s->IsEmpty()) continue;
    text += '[';
    text += s->Name();
    text += "]\r\n";
    text += s->Text();
    text += "\r\n";
  }
  return Text::EncodeText(text, encoding);
}

void TKVLIniFile::SaveToStream(Streams::TKVLStream& stream, std::optional<TTextEncoding> encoding) const {
  std::string bytes = Serialize(encoding.value_or(TTextEncoding::Utf16LE()));
  stream.WriteBuffer(bytes.data(), bytes.size());
}

bool TKVLIniFile::SaveToFile(const std::string& fileName, std::optional<TTextEncoding> encoding) const {
  // Everything is encoded before the old file is truncated.
  std::string bytes = Serialize(encoding.value_or(TTextEncoding::Utf16LE()));
  Platform::ClearFileAttributes(fileName);
  Platform::TPlatformFile file;
  if (!file.TryOpen(fileName, Platform::TFileOpenMode::fomCreate)) return false;
  return file.Write(bytes.data(), bytes.size()) == bytes.size();
}

bool TKVLIniFile::UpdateFile() {
  if (fileName_.empty() || !modified_) return true;
  if (!SaveToFile(fileName_, encoding_)) return false;
  modified_ = false;
  return true;
}

// --- reads ---

bool TKVLIniFile::TryReadString(std::string_view section, std::string_view key, std::string& value) const {
  TKVLIniFileSection* s = FindSection(section);
  if (!s) return false;
  int i = s->IndexOfName(key);
  if (i < 0) return false;
  value = s->ValueFromIndex(i);
  return true;
}

std::string TKVLIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  std::string value;
  return TryReadString(section, key, value) ? value : std::string(def);
}

int32_t TKVLIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  std::string text;
  int32_t value;
  return TryReadString(section, key, text) && SysUtils::TryStrToInt(text, value) ? value : def;
}

bool TKVLIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

TKVLRect TKVLIniFile::ReadRect(std::string_view section, std::string_view key, const TKVLRect& def) const {
  std::string text;
  if (!TryReadString(section, key, text)) return def;
  int32_t parts[4] = {0, 0, 0, 0};
  size_t start = 0;
  for (int n = 0;; ++n) {
    size_t comma = text.find(',', start);
    std::string_view part = std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    // More than four parts, or one that is not an integer, make the value unusable.
    if (n == 4 || !SysUtils::TryStrToInt(part, parts[n])) return def;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

bool TKVLIniFile::ReadStream(std::string_view section, std::string_view key, Streams::TKVLStream& stream) const {
  std::string text;
  if (!TryReadString(section, key, text) || text.size() % 2 != 0) return false;
  std::string bytes(text.size() / 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<char>(hi << 4 | lo);
  }
  int64_t start = stream.Position();
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.SetPosition(start);
  return true;
}

// --- writes ---

void TKVLIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TKVLIniFileSection& s = FindOrAddSection(section);
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append(1, TKVLStringList::kNameValueSeparator).append(value);
  int i = s.IndexOfName(key);
  if (i >= 0) s.SetString(i, std::move(line));
  else s.Add(std::move(line));
}

void TKVLIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TKVLIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TKVLIniFile::WriteRect(std::string_view section, std::string_view key, const TKVLRect& value) {
  WriteString(section, key, SysUtils::Format("%d,%d,%d,%d", value.Left, value.Top, value.Right, value.Bottom));
}

void TKVLIniFile::WriteStream(std::string_view section, std::string_view key, Streams::TKVLStream& stream) {
  int64_t size = stream.Size();
  if (size <= 0) {
    DeleteKey(section, key);
    return;
  }
  int64_t pos = stream.Position();
  std::string bytes(static_cast<size_t>(size), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), bytes.size());
  stream.SetPosition(pos);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(bytes.size() * 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<uint8_t>(bytes[i]);
    hex[2 * i] = kDigits[b >> 4];
    hex[2 * i + 1] = kDigits[b & 15];
  }
  WriteString(section, key, hex);
}

// --- other operations ---

bool TKVLIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TKVLIniFile::ValueExists(std::string_view section, std::string_view key) const {
  TKVLIniFileSection* s = FindSection(section);
  return s && s->IndexOfName(key) >= 0;
}

const std::string& TKVLIniFile::SectionName(int index) const {
  if (index < 0 || index >= SectionCount())
    throw SysUtils::EKVLInvalidOperation(SysUtils::Format("List index out of bounds (%d)", index));
  return sections_[static_cast<size_t>(index)]->Name();
}

void TKVLIniFile::ReadKeys(std::string_view section, TKVLStringList& keys) const {
  keys.BeginUpdate();
  keys.Clear();
  if (TKVLIniFileSection* s = FindSection(section)) {
    for (int i = 0; i < s->Count(); ++i) {
      std::string name = s->Name(i);
      if (!name.empty()) keys.Add(std::move(name));
    }
  }
  keys.EndUpdate();
}

std::string TKVLIniFile::ReadSectionText(std::string_view section) const {
  TKVLIniFileSection* s = FindSection(section);
  return s ? s->Text() : std::string();
}

void TKVLIniFile::WriteSectionText(std::string_view section, std::string_view text) {
  TKVLIniFileSection& s = FindOrAddSection(section);
  s.BeginUpdate();
  s.Clear();
  for (std::string_view line : Classes::SplitTextLines(text)) s.Add(std::string(line));
  s.EndUpdate();
}

void TKVLIniFile::DeleteKey(std::string_view section, std::string_view key) {
  TKVLIniFileSection* s = FindSection(section);
  if (!s) return;
  int i = s->IndexOfName(key);
  if (i >= 0) s->Delete(i);
}

void TKVLIniFile::DeleteSection(std::string_view section) {
  TKVLIniFileSection* s = FindSection(section);
  if (!s) return;
  if (lastSection_ == s) lastSection_ = nullptr;
  std::erase_if(sections_, [s](const auto& p) { return p.get() == s; });
  SectionChanged();
}

void TKVLIniFile::Clear() {
  lastSection_ = nullptr;
  if (sections_.empty()) return;
  sections_.clear();
  SectionChanged();
}

void TKVLIniFile::Merge(const TKVLIniFile& source, bool overwrite) {
  if (&source == this) return;
  for (const auto& src : source.sections_) {
    if (TKVLIniFileSection* dst = FindSection(src->Name())) {
      for (int i = 0; i < src->Count(); ++i) {
        std::string key = src->Name(i);
        if (key.empty() || (!overwrite && dst->IndexOfName(key) >= 0)) continue;
        WriteString(src->Name(), key, src->ValueFromIndex(i));
      }
    } else {
      WriteSectionText(src->Name(), src->Text());
    }
  }
}

void TKVLIniFile::Assign(const TKVLIniFile& source) {
  if (&source == this) return;
  std::string bytes = source.Serialize(TTextEncoding::Utf16LE());
  Streams::TKVLReadOnlyMemoryStream stream(bytes.data(), bytes.size());
  LoadFromStream(stream);
}

bool TKVLIniFile::operator==(const TKVLIniFile& other) const {
  return Serialize(TTextEncoding::Utf16LE()) == other.Serialize(TTextEncoding::Utf16LE());
}

} // namespace KVL::FileFormats::INI
