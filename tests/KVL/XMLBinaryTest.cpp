// "SXML" binary documents: exact layout, round trips and damaged input.
#include <gtest/gtest.h>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Streams.h"
#include "XMLTestUtil.h"

using namespace KVL::FileFormats::XML;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;
using XMLTestUtil::DumpChildren;
using XMLTestUtil::Load;

namespace {

std::string Save(const TKVLXMLDocument& doc) {
  TKVLMemoryStream m;
  doc.SaveToStream(m);
  return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
}

// Loads bytes into a fresh document; returns the message of the error raised, "" if none.
std::string TryLoad(const std::string& bytes, TKVLXMLDocument& doc) {
  TKVLReadOnlyMemoryStream s(bytes.data(), bytes.size());
  try {
    doc.LoadFromStream(s);
    return "";
  } catch (const EKVLXMLDocument& e) {
    return e.what();
  }
}

} // namespace

TEST(XMLBinary, LayoutOfASmallDocument) {
  TKVLXMLDocument doc;
  TKVLXMLNode* root = doc.Add("a");
  root->SetText("t");
  root->Attributes().Add("k", "v");
  using namespace std::string_literals;
  EXPECT_EQ(Save(doc),
            "SXML\x01"s                              // signature, version
            "\x00\x00\x00\x01"s                      // document: name, text, 0 attributes, 1 child
            "\x01" "a" "\x01" "t" "\x01\x01k\x01v"s  // a, "t", 1 attribute k=v
            "\x00"s);                                // no children
}

TEST(XMLBinary, LengthsAboveOneByteUseSevenBitGroups) {
  TKVLXMLDocument doc;
  doc.Add("r")->SetText(std::string(300, 'x'));
  std::string bytes = Save(doc);
  // document (4 bytes), then name "r", then the text's length 300 = 0xAC 0x02.
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(bytes.substr(9, 2), "\x01r");
  EXPECT_EQ(uint8_t(bytes[11]), 0xAC);
  EXPECT_EQ(uint8_t(bytes[12]), 0x02);
}

TEST(XMLBinary, RoundTripKeepsEverything) {
  TKVLXMLDocument doc;
  TKVLXMLNode* root = doc.Add("p:Setup");
  root->SetText("root text");
  // Same-named attributes, empty names and values, non-ASCII text, long text.
  root->Attributes().Add("dup", "1");
  root->Attributes().Add("DUP", "2");
  root->Attributes().Add("dup", "3");
  root->Attributes().Add("", "");
  root->Add("File")->Attributes().Add("name", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\xB5.txt");
  root->Add("")->SetText(std::string(70000, 'z'));
  TKVLXMLNode* list = root->Add("list");
  for (int i = 0; i < 200; ++i) list->Add("item")->Attributes().Add("i", std::to_string(i));
  doc.SetName("doc");
  doc.SetText("document text");

  TKVLXMLDocument copy;
  EXPECT_EQ(TryLoad(Save(doc), copy), "");
  EXPECT_TRUE(copy.Equals(doc));
  EXPECT_EQ(DumpChildren(copy), DumpChildren(doc));
  EXPECT_EQ(copy.Name(), "doc");
}

TEST(XMLBinary, RoundTripOfTheLoadedScript) {
  auto text = Load(
      "<Setup Version='5.39'><Files dir='{app}'>ignored<File name='a.txt'/>kept</Files>"
      "<Empty/><x xml:space='preserve'>  </x></Setup>");
  ASSERT_EQ(text->LoadError(), "");
  TKVLXMLDocument copy;
  EXPECT_EQ(TryLoad(Save(*text), copy), "");
  EXPECT_TRUE(copy.Equals(*text));
  EXPECT_EQ(DumpChildren(copy),
            "Setup[Version=5.39]{Files[dir={app}]\"kept\"{File[name=a.txt]} Empty "
            "x[xml:space=preserve]\"  \"}");
}

TEST(XMLBinary, MultipleRootsNeedTheOptionWhenLoading) {
  TKVLXMLDocument multi;
  multi.SetMultipleRoots(true);
  multi.Add("a");
  multi.Add("b");
  std::string bytes = Save(multi);
  TKVLXMLDocument strict;
  EXPECT_EQ(TryLoad(bytes, strict), "Only one Root available");
  EXPECT_EQ(strict.Count(), 0u);
  TKVLXMLDocument lenient;
  lenient.SetMultipleRoots(true);
  EXPECT_EQ(TryLoad(bytes, lenient), "");
  EXPECT_EQ(DumpChildren(lenient), "a b");
}

TEST(XMLBinary, EveryTruncationIsRejected) {
  TKVLXMLDocument doc;
  TKVLXMLNode* r = doc.Add("root");
  r->Attributes().Add("name", "value");
  r->Add("child")->SetText("text");
  r->Add("other");
  std::string bytes = Save(doc);
  for (size_t len = 4; len < bytes.size(); ++len) {
    TKVLXMLDocument target;
    target.Add("previous");
    EXPECT_EQ(TryLoad(bytes.substr(0, len), target).rfind("Invalid SXML document: ", 0), 0u)
        << "length " << len;
    EXPECT_EQ(target.Count(), 0u) << "length " << len;  // nothing half-loaded stays
  }
}

TEST(XMLBinary, DamagedDataIsRejectedWithoutHugeAllocations) {
  using namespace std::string_literals;
  const std::string head = "SXML\x01"s;
  struct Case {
    const char* what;
    std::string bytes;
    std::string error;
  } cases[] = {
      {"unknown version", "SXML\x02"s + "\x00\x00\x00\x00"s, "Unsupported SXML version 2"},
      {"name length near 4 GiB", head + "\xFF\xFF\xFF\xFF\x0F"s + "abc",
       "Invalid SXML document: text length exceeds the data"},
      {"number beyond 32 bits", head + "\xFF\xFF\xFF\xFF\x1F"s,
       "Invalid SXML document: number out of range"},
      {"number of six bytes", head + "\x80\x80\x80\x80\x80\x00"s,
       "Invalid SXML document: number out of range"},
      {"attribute count beyond the data", head + "\x00\x00\xFF\xFF\xFF\xFF\x0F"s + "\x00\x00"s,
       "Invalid SXML document: attribute count exceeds the data"},
      {"child count beyond the data", head + "\x00\x00\x00\xFF\xFF\xFF\xFF\x0F"s + "\x00\x00\x00\x00"s,
       "Invalid SXML document: child count exceeds the data"},
      {"text not UTF-8", head + "\x00\x02\xC3\x28\x00\x00"s,
       "Invalid SXML document: text is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    TKVLXMLDocument doc;
    EXPECT_EQ(TryLoad(c.bytes, doc), c.error) << c.what;
    EXPECT_EQ(doc.Count(), 0u) << c.what;
  }
}

TEST(XMLBinary, NestingDepthIsLimitedBothWays) {
  // Each level: empty name, empty text, no attributes, one child.
  auto chain = [](size_t levels) {
    std::string s = "SXML\x01";
    for (size_t i = 0; i < levels; ++i) s += std::string("\x00\x00\x00\x01", 4);
    s += std::string("\x00\x00\x00\x00", 4);
    return s;
  };
  TKVLXMLDocument ok;
  EXPECT_EQ(TryLoad(chain(kMaxXMLDepth), ok), "");
  TKVLXMLDocument deep;
  EXPECT_EQ(TryLoad(chain(kMaxXMLDepth + 1), deep), "Invalid SXML document: nesting too deep");

  // The writer refuses what the reader would refuse, before writing anything.
  TKVLXMLNode* n = ok.Child(0);
  while (n->Count()) n = n->Child(0);
  n->Add("one too many");
  TKVLMemoryStream m;
  EXPECT_THROW(ok.SaveToStream(m), EKVLXMLDocument);
  EXPECT_EQ(m.Size(), 0);
}

TEST(XMLBinary, WriterRefusesTextThatIsNotUtf8) {
  TKVLXMLDocument doc;
  doc.Add("r")->Attributes().Add("k", "\xFF");
  TKVLMemoryStream m;
  EXPECT_THROW(doc.SaveToStream(m), EKVLXMLDocument);
  EXPECT_EQ(m.Size(), 0);
}
