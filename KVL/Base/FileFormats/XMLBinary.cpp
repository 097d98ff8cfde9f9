// The "SXML" binary form: writer and bounds-checked reader.
#include "KVL/Base/FileFormats/XMLBinary.h"

#include <algorithm>
#include <limits>
#include <string>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::FileFormats::XML::Binary {

namespace {

using Streams::TKVLStream;
using SysUtils::IsValidUtf8;

constexpr uint64_t kMaxNumber = std::numeric_limits<uint32_t>::max();
constexpr int kMaxVarintBytes = 5;  // 7 bits each: enough for 32 bits

class TWriter {
public:
  explicit TWriter(TKVLStream& stream) : stream_(stream) {}

  // Refuses what the reader would refuse before a byte is written.
  static void Check(const TKVLXMLNode& node, size_t depth) {
    if (depth > kMaxXMLDepth)
      throw EKVLXMLDocument(SysUtils::Format("Cannot save XML nested deeper than %u levels",
                                             unsigned(kMaxXMLDepth)));
    CheckString(node.Name());
    CheckString(node.Text());
    for (const auto& a : node.Attributes()) {
      CheckString(a.Name);
      CheckString(a.Value);
    }
    for (size_t i = 0; i < node.Count(); ++i) Check(*node.Child(i), depth + 1);
  }

  void Node(const TKVLXMLNode& node) {
    String(node.Name());
    String(node.Text());
    Number(node.Attributes().Count());
    for (const auto& a : node.Attributes()) {
      String(a.Name);
      String(a.Value);
    }
    Number(node.Count());
    for (size_t i = 0; i < node.Count(); ++i) Node(*node.Child(i));
  }

private:
  static void CheckString(const std::string& s) {
    if (s.size() > kMaxNumber) throw EKVLXMLDocument("Cannot save XML: a text is too long");
    if (!IsValidUtf8(s)) throw EKVLXMLDocument("Cannot save XML: a text is not valid UTF-8");
  }

  void Number(uint64_t v) {
    if (v > kMaxNumber) throw EKVLXMLDocument("Cannot save XML: a list is too long");
    uint8_t buf[kMaxVarintBytes];
    size_t n = 0;
    do {
      uint8_t b = v & 0x7F;
      v >>= 7;
      if (v) b |= 0x80;
      buf[n++] = b;
    } while (v);
    stream_.WriteBuffer(buf, n);
  }

  void String(const std::string& s) {
    Number(s.size());
    stream_.WriteBuffer(s.data(), s.size());
  }

  TKVLStream& stream_;
};

class TReader {
public:
  explicit TReader(TKVLStream& stream) : stream_(stream) {
    int64_t left = stream.Size() - stream.Position();
    left_ = left > 0 ? static_cast<uint64_t>(left) : 0;
  }

  uint8_t Byte() {
    if (left_ == 0) Fail("unexpected end of data");
    --left_;
    return stream_.ReadUInt8();
  }

  void Node(TKVLXMLNode& node, size_t depth) {
    node.SetName(String());
    node.SetText(String());
    // Every attribute takes at least two bytes and every node four: a count beyond what
    // the rest of the data could hold is damage, caught before any allocation.
    uint64_t attrs = Number();
    if (attrs > left_ / 2) Fail("attribute count exceeds the data");
    for (uint64_t i = 0; i < attrs; ++i) {
      std::string name = String();
      std::string value = String();
      node.Attributes().Add(std::move(name), std::move(value));
    }
    uint64_t children = Number();
    if (children > left_ / 4) Fail("child count exceeds the data");
    if (children > 0 && depth + 1 > kMaxXMLDepth) Fail("nesting too deep");
    for (uint64_t i = 0; i < children; ++i) Node(*node.Add({}), depth + 1);
  }

  [[noreturn]] static void Fail(const char* what) {
    throw EKVLXMLDocument(std::string("Invalid SXML document: ") + what);
  }

private:
  uint64_t Number() {
    uint64_t v = 0;
    for (int i = 0; i < kMaxVarintBytes; ++i) {
      uint8_t b = Byte();
      v |= uint64_t(b & 0x7F) << (7 * i);
      if (!(b & 0x80)) {
        if (v > kMaxNumber) break;
        return v;
      }
    }
    Fail("number out of range");
  }

  std::string String() {
    uint64_t len = Number();
    if (len > left_) Fail("text length exceeds the data");
    std::string s(static_cast<size_t>(len), '\0');
    stream_.ReadBuffer(s.data(), s.size());
    left_ -= len;
    if (!IsValidUtf8(s)) Fail("text is not valid UTF-8");
    return s;
  }

  TKVLStream& stream_;
  uint64_t left_ = 0;
};

} // namespace

void SaveToStream(const TKVLXMLNode& root, TKVLStream& stream) {
  TWriter::Check(root, 0);
  stream.WriteBuffer("SXML", 4);
  stream.WriteUInt8(kSXMLVersion);
  TWriter(stream).Node(root);
}

void LoadFromStream(TKVLStream& stream, TKVLXMLNode& root) {
  TReader reader(stream);
  uint8_t version = reader.Byte();
  if (version != kSXMLVersion)
    throw EKVLXMLDocument(SysUtils::Format("Unsupported SXML version %u", unsigned(version)));
  reader.Node(root, 0);
}

} // namespace KVL::FileFormats::XML::Binary
