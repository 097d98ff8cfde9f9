// Helpers of the XML tests: loading from bytes and a compact dump of a node tree.
#pragma once

#include <memory>
#include <string>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Streams.h"

namespace XMLTestUtil {

inline std::unique_ptr<KVL::FileFormats::XML::TKVLXMLDocument> Load(const std::string& bytes) {
  KVL::Streams::TKVLReadOnlyMemoryStream s(bytes.data(), bytes.size());
  return std::make_unique<KVL::FileFormats::XML::TKVLXMLDocument>(s);
}

// name[attr=value,...]"text"{children}, with empty parts left out; the children of the
// node itself are listed space-separated.
inline std::string Dump(const KVL::FileFormats::XML::TKVLXMLNode& node);

inline std::string DumpChildren(const KVL::FileFormats::XML::TKVLXMLNode& node) {
  std::string s;
  for (size_t i = 0; i < node.Count(); ++i) {
    if (i) s += ' ';
    s += Dump(*node.Child(i));
  }
  return s;
}

inline std::string Dump(const KVL::FileFormats::XML::TKVLXMLNode& node) {
  std::string s = node.Name();
  if (node.Attributes().Count()) {
    s += '[';
    bool first = true;
    for (const auto& a : node.Attributes()) {
      if (!first) s += ',';
      first = false;
      s += a.Name + '=' + a.Value;
    }
    s += ']';
  }
  if (!node.Text().empty()) s += '"' + node.Text() + '"';
  if (node.Count()) s += '{' + DumpChildren(node) + '}';
  return s;
}

} // namespace XMLTestUtil
