// The installation script Install.xml.
#include "setup/core/Script.h"

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

using KVL::FileFormats::XML::TKVLXMLDocument;
using KVL::FileFormats::XML::TKVLXMLNode;
using KVL::SysUtils::SameText;
using KVL::SysUtils::SameTextAscii;

bool TSetupScriptFile::MatchFamily(std::string_view family) const {
  return LangFamily.empty() || SameText(LangFamily, family);
}

std::string TSetupScriptFile::GetSourceName() const {
  if (!Source.empty()) return Source;
  size_t cut = Name.find_last_of(":\\/");
  return cut == std::string::npos ? Name : Name.substr(cut + 1);
}

TSetupScriptFile& TSetupScriptGroup::Add() {
  files_.push_back(std::make_unique<TSetupScriptFile>());
  return *files_.back();
}

const TSetupScriptFile* TSetupScriptGroup::FindByFamily(std::string_view family) const {
  for (const auto& f : files_)
    if (f->MatchFamily(family)) return f.get();
  return nullptr;
}

void TSetupScriptGroup::LoadFromNode(const TKVLXMLNode& group) {
  if (group.Count() == 0) {
    // A bare file name inside the element: one entry for every family.
    if (!group.Text().empty()) Add().Name = group.Text();
    return;
  }
  for (size_t i = 0; i < group.Count(); ++i) {
    const TKVLXMLNode& node = *group.Child(i);
    if (!SameTextAscii(node.Name(), "File")) continue;
    TSetupScriptFile& f = Add();
    f.Name = node.GetAttribute("name");
    f.LangFamily = node.GetAttribute("lang-family");
    f.Source = node.Text();
  }
}

void TSetupScript::LoadFromStream(KVL::Streams::TKVLStream& stream) {
  TKVLXMLDocument doc(stream);
  loadError_ = doc.LoadError();
  TKVLXMLNode* root = doc.Child(0);  // only the first top-level element counts
  if (!root) return;
  TKVLXMLNode* node = nullptr;
  if (root->FindNode({"setup", "license"}, node, false)) license_.LoadFromNode(*node);
  if (!root->FindNode("product", node)) return;
  for (size_t i = 0; i < node->Count(); ++i) {
    const TKVLXMLNode& part = *node->Child(i);
    if (SameTextAscii(part.Name(), "Components")) {
      components_.LoadFromNode(part);
    } else if (SameTextAscii(part.Name(), "Actions")) {
      actions_.LoadFromNode(part);
    } else if (SameTextAscii(part.Name(), "Shortcuts")) {
      shortcuts_.LoadFromNode(part);
    } else if (SameTextAscii(part.Name(), "Settings")) {
      for (size_t k = 0; k < part.Count(); ++k) {
        const TKVLXMLNode& s = *part.Child(k);
        settings_.Add(s.GetAttribute("name") + "=" + s.GetAttribute("value"));
      }
    }
  }
}

std::string TSetupScript::GetSetting(std::string_view name) const {
  for (int i = settings_.Count() - 1; i >= 0; --i)
    if (SameText(settings_.Name(i), name)) return settings_.ValueFromIndex(i);
  return std::string();
}

} // namespace Setup::Core
