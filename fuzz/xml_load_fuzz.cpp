// Fuzz target: loading any bytes as an XML document never crashes, and what loads survives an SXML round trip.
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Streams.h"

using namespace KVL::FileFormats::XML;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKVLXMLDocument doc;
  // The first byte picks the document option, so both settings meet binary input.
  if (size > 0) {
    doc.SetMultipleRoots(data[0] & 1);
    ++data;
    --size;
  }
  TKVLReadOnlyMemoryStream in(data, size);
  try {
    doc.LoadFromStream(in);
  } catch (const KVL::SysUtils::EKVLError&) {
    return 0;  // short stream, unsupported or damaged binary document
  }

  TKVLMemoryStream saved;
  doc.SaveToStream(saved);  // anything a loader accepted must be savable
  saved.SetPosition(0);
  TKVLXMLDocument again;
  again.SetMultipleRoots(doc.MultipleRoots());
  again.LoadFromStream(saved);
  if (!again.Equals(doc) || !again.LoadError().empty()) abort();
  return 0;
}
