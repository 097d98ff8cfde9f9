// TKVLIniFile: a literal INI document of named sections holding name=value lines.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/TextDecoder.h"

namespace KVL::FileFormats::INI {

using Classes::TKVLStringList;
using Text::TTextEncoding;

struct TKVLRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool operator==(const TKVLRect&) const = default;
};

// Case-insensitive hash of a name (upper-cased in the user's locale, then the classic
// shift-and-fold text hash); never 0, which marks a hash not yet computed.
uint32_t NameHash(std::string_view name);

class TKVLIniFile;

// One section: its lines, in file order, are kept exactly as read. Each line's tag caches
// the hash of its name.
class TKVLIniFileSection : public TKVLStringList {
public:
  TKVLIniFileSection(TKVLIniFile* owner, std::string name);

  using TKVLStringList::Name;  // Name(index): the name of a line
  const std::string& Name() const { return name_; }
  uint32_t Hash() const { return hash_; }
  // First line whose name matches key (hash first, then the name ignoring case); -1 if none.
  int IndexOfName(std::string_view key) const override;

protected:
  void Put(int index, std::string s) override;
  void Changed() override;

private:
  uint32_t LineHash(int index) const;

  TKVLIniFile* owner_;  // borrowed: the file that owns this section
  std::string name_;
  uint32_t hash_;
};

class TKVLIniFile {
public:
  TKVLIniFile();
  // Loads the file at once when the name is not empty; auto-save writes changes back
  // when the object is destroyed.
  explicit TKVLIniFile(const std::string& fileName, bool autoSave = false);
  virtual ~TKVLIniFile();
  TKVLIniFile(const TKVLIniFile&) = delete;
  TKVLIniFile& operator=(const TKVLIniFile&) = delete;

  // Persistence. A missing or unreadable file loads as an empty, unmodified object.
  virtual void LoadFromFile(const std::string& fileName);
  // Decodes the rest of the stream; the detected encoding becomes the object's encoding.
  virtual void LoadFromStream(Streams::TKVLStream& stream);
  void LoadFromString(std::string_view text);
  // No encoding means UTF-16LE.
  void SaveToStream(Streams::TKVLStream& stream, std::optional<TTextEncoding> encoding = {}) const;
  // False (no exception) when the file cannot be created or written.
  bool SaveToFile(const std::string& fileName, std::optional<TTextEncoding> encoding = {}) const;
  // Saves a modified object to its file in its encoding; false only when that fails.
  bool UpdateFile();
  // The serialised form: byte-order mark, then each section with lines.
  std::string Serialize(const TTextEncoding& encoding) const;

  // Typed reads: a missing section or key gives the default.
  virtual bool TryReadString(std::string_view section, std::string_view key, std::string& value) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def = {}) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  TKVLRect ReadRect(std::string_view section, std::string_view key, const TKVLRect& def) const;
  // Decodes the hexadecimal value into the stream at its position and moves back to where
  // the data begins; false (stream untouched) for a missing key or bad hexadecimal.
  bool ReadStream(std::string_view section, std::string_view key, Streams::TKVLStream& stream) const;

  // Typed writes: the section is appended when missing; the first line with the key is
  // replaced, or a line is appended.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteRect(std::string_view section, std::string_view key, const TKVLRect& value);
  // The whole stream as lowercase hexadecimal; an empty stream deletes the key.
  void WriteStream(std::string_view section, std::string_view key, Streams::TKVLStream& stream);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  bool IsEmpty() const { return sections_.empty(); }
  int SectionCount() const { return static_cast<int>(sections_.size()); }
  const std::string& SectionName(int index) const;
  TKVLIniFileSection* FindSection(std::string_view section) const;
  // The non-empty names of the section's lines, in order.
  void ReadKeys(std::string_view section, TKVLStringList& keys) const;
  std::string ReadSectionText(std::string_view section) const;
  void WriteSectionText(std::string_view section, std::string_view text);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);
  void Clear();

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  // Copies the sections of source: into a new section whole, into an existing one key by
  // key, keeping keys already here unless overwrite is set.
  void Merge(const TKVLIniFile& source, bool overwrite);
  // Becomes a copy of source (through its UTF-16LE form).
  void Assign(const TKVLIniFile& source);
  // Equal when the UTF-16LE forms are byte-identical.
  bool operator==(const TKVLIniFile& other) const;

  bool AutoSave() const { return autoSave_; }
  const TTextEncoding& Encoding() const { return encoding_; }
  void SetEncoding(const TTextEncoding& encoding) { encoding_ = encoding; }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  bool IsModified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  // Raised after each change while no update is in progress.
  std::function<void(TKVLIniFile&)> OnChange;

private:
  friend class TKVLIniFileSection;
  void SectionChanged();
  TKVLIniFileSection& FindOrAddSection(std::string_view section);

  bool autoSave_ = false;
  int updateCount_ = 0;
  TTextEncoding encoding_ = TTextEncoding::Utf16LE();
  std::string fileName_;
  mutable TKVLIniFileSection* lastSection_ = nullptr;  // lookup cache, not owned
  bool modified_ = false;
  std::vector<std::unique_ptr<TKVLIniFileSection>> sections_;
};

} // namespace KVL::FileFormats::INI
