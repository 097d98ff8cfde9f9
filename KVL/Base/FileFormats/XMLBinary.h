// The "SXML" binary form of an XML document: a compact depth-first encoding of the tree.
#pragma once

#include <cstdint>

namespace KVL::Streams {
class TKVLStream;
}

namespace KVL::FileFormats::XML {
class TKVLXMLNode;
}

namespace KVL::FileFormats::XML::Binary {

inline constexpr uint8_t kSXMLVersion = 1;

// Writes "SXML", the version and root with its whole subtree. Raises EKVLXMLDocument for a
// tree the reader would refuse (text that is not UTF-8, nesting deeper than kMaxXMLDepth).
void SaveToStream(const TKVLXMLNode& root, Streams::TKVLStream& stream);

// Reads what follows the "SXML" signature into root (name, text, attributes, children).
// Damaged data raises EKVLXMLDocument "Invalid SXML document: ..."; lengths and counts are
// checked against the bytes left in the stream before anything is allocated.
void LoadFromStream(Streams::TKVLStream& stream, TKVLXMLNode& root);

} // namespace KVL::FileFormats::XML::Binary
