// Text XML reader: builds the node tree from an XML 1.0 document with namespaces (expat).
#pragma once

#include <string>

namespace KVL::Streams {
class TKVLStream;
}

namespace KVL::FileFormats::XML {
class TKVLXMLNode;
}

namespace KVL::FileFormats::XML::Reader {

// Parses the stream from its position to its end and adds the document's element to root
// (which must have no children yet). Encoding: byte-order mark, else the declaration, else
// UTF-8. Malformed XML stops loading where it is found and the tree keeps everything built
// before; the reason is returned ("" when the whole document was read). Failures of the
// stream or of the tree itself are raised.
std::string LoadFromText(Streams::TKVLStream& stream, TKVLXMLNode& root);

} // namespace KVL::FileFormats::XML::Reader
