// The installation script Install.xml: license, components, actions, settings, shortcuts.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"

namespace KVL::FileFormats::XML {
class TKVLXMLNode;
}

namespace Setup::Core {

// One entry of a group: what its fields mean depends on the group.
class TSetupScriptFile {
public:
  std::string Name;
  std::string Source;
  std::string LangFamily;

  // True when the entry has no family or the family matches ignoring case.
  bool MatchFamily(std::string_view family) const;
  // Source, or when empty the part of Name after its last ':', '\' or '/'.
  std::string GetSourceName() const;
};

class TSetupScriptGroup {
public:
  int Count() const { return static_cast<int>(files_.size()); }
  const TSetupScriptFile& Files(int index) const { return *files_.at(static_cast<size_t>(index)); }
  TSetupScriptFile& Add();
  // The first entry, in script order, that matches the family; null when none does.
  const TSetupScriptFile* FindByFamily(std::string_view family) const;
  // Reads File children of a group element (or its bare text as one entry's Name).
  void LoadFromNode(const KVL::FileFormats::XML::TKVLXMLNode& group);

private:
  std::vector<std::unique_ptr<TSetupScriptFile>> files_;
};

class TSetupScript {
public:
  // Loads the XML script; a malformed document yields what was read before its fault.
  void LoadFromStream(KVL::Streams::TKVLStream& stream);
  // Why the document stopped loading early; empty when it loaded whole.
  const std::string& LoadError() const { return loadError_; }
  // The value of the last setting of that name (ignoring case); empty when missing.
  std::string GetSetting(std::string_view name) const;

  const TSetupScriptGroup& Actions() const { return actions_; }
  const TSetupScriptGroup& Components() const { return components_; }
  const TSetupScriptGroup& License() const { return license_; }
  const KVL::Classes::TKVLStringList& Settings() const { return settings_; }
  const TSetupScriptGroup& Shortcuts() const { return shortcuts_; }

private:
  TSetupScriptGroup actions_;
  TSetupScriptGroup components_;
  TSetupScriptGroup license_;
  KVL::Classes::TKVLStringList settings_;
  TSetupScriptGroup shortcuts_;
  std::string loadError_;
};

} // namespace Setup::Core
