// Loading text XML: what the tree holds, the reader's checks, partial loads and encodings.
#include <gtest/gtest.h>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "XMLTestUtil.h"

using namespace KVL::FileFormats::XML;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;
using XMLTestUtil::DumpChildren;
using XMLTestUtil::Load;

namespace {

struct TLoadCase {
  const char* what;
  std::string xml;
  std::string tree;   // DumpChildren of the document
  std::string error;  // LoadError: "" when the whole document loads
};

void CheckCases(const std::vector<TLoadCase>& cases) {
  for (const auto& c : cases) {
    auto doc = Load(c.xml);
    EXPECT_EQ(DumpChildren(*doc), c.tree) << c.what;
    EXPECT_EQ(doc->LoadError(), c.error) << c.what;
  }
}

} // namespace

TEST(XMLReader, RootAttributesAnswerInAnyLetterCase) {
  auto doc = Load(R"(<root name="ONDU" value="5.39"/>)");
  ASSERT_EQ(doc->Count(), 1u);
  TKVLXMLNode* root = doc->Child(0);
  EXPECT_EQ(root->GetAttribute("NAME"), "ONDU");
  EXPECT_EQ(root->GetAttribute("Value"), "5.39");
  EXPECT_EQ(root->GetAttribute("other"), "");
}

TEST(XMLReader, TreeShapeAndText) {
  CheckCases({
      {"empty and open-close forms alike", "<r><a/><a></a><b x='1'/></r>", "r{a a b[x=1]}", ""},
      {"attributes in document order", R"(<r z="1" a="2" m="3"/>)", "r[z=1,a=2,m=3]", ""},
      {"sibling after a nested element", "<r><a><b/></a><c/></r>", "r{a{b} c}", ""},
      {"text, child, text keeps the final text", "<r>first<c>inner</c>last</r>",
       "r\"last\"{c\"inner\"}", ""},
      {"text before a child only", "<r>only<c/></r>", "r\"only\"{c}", ""},
      {"comment splits text into pieces", "<r>one<!-- c -->two</r>", "r\"two\"", ""},
      {"CDATA is a piece of its own", "<r>a<![CDATA[<b>&amp;]]>c</r>", "r\"c\"", ""},
      {"CDATA last", "<r>a<![CDATA[<b>&amp;]]></r>", "r\"<b>&amp;\"", ""},
      {"CDATA of white space counts", "<r>a<![CDATA[ ]]></r>", "r\" \"", ""},
      {"entities and character references resolved",
       R"(<r a="&lt;&amp;&gt;&quot;&apos;&#65;&#x42;">x &amp; y&#x263A;</r>)",
       "r[a=<&>\"'AB]\"x & y\xE2\x98\xBA\"", ""},
      {"attribute white space normalised", "<r a='x\ty\nz'/>", "r[a=x y z]", ""},
      {"line ends normalised", "<r>a\r\nb\rc</r>", "r\"a\nb\nc\"", ""},
      {"text keeps its own outer white space", "<r>  padded  </r>", "r\"  padded  \"", ""},
  });
}

TEST(XMLReader, CommentsInstructionsAndDeclarationsAddNothing) {
  CheckCases({
      {"everywhere",
       "<?xml version='1.0' encoding='UTF-8'?><!-- head --><?app go?>"
       "<!DOCTYPE r [<!ELEMENT r ANY>]>\n<r><!-- in --><a/><?pi data?></r><!-- tail --><?end?>",
       "r{a}", ""},
      {"DTD attribute defaults are not applied",
       "<!DOCTYPE r [<!ATTLIST r d CDATA 'def'><!ENTITY unused 'x'>]><r a='1'/>", "r[a=1]", ""},
  });
}

TEST(XMLReader, WhiteSpaceOnlyTextCountsOnlyUnderPreserve) {
  CheckCases({
      {"indentation skipped", "<r>\n  <a>\t</a>\n</r>", "r{a}", ""},
      {"preserve keeps it", "<r xml:space='preserve'>\n  <a/>  </r>",
       "r[xml:space=preserve]\"  \"{a}", ""},
      {"preserve is inherited", "<r xml:space='preserve'><a> </a></r>",
       "r[xml:space=preserve]{a\" \"}", ""},
      {"default switches it off again", "<r xml:space='preserve'><a xml:space='default'> </a></r>",
       "r[xml:space=preserve]{a[xml:space=default]}", ""},
      {"preserve ends with its element", "<r><a xml:space='preserve'/><b> </b></r>",
       "r{a[xml:space=preserve] b}", ""},
      {"white space after text does not erase it", "<r>text<!-- c -->\n</r>", "r\"text\"", ""},
  });
}

TEST(XMLReader, QualifiedNamesAsWritten) {
  CheckCases({
      {"prefixes kept, declarations become attributes",
       R"(<p:r xmlns:p="urn:p" xmlns="urn:d" a="1"><c p:x="2" y="3"/><p:c/></p:r>)",
       "p:r[xmlns:p=urn:p,xmlns=urn:d,a=1]{c[p:x=2,y=3] p:c}", ""},
      {"xml prefix needs no declaration", "<r xml:lang='de'/>", "r[xml:lang=de]", ""},
      {"unbound prefix stops loading", "<r><a/><q:b/></r>", "r{a}", "unbound prefix"},
      {"same attribute through two prefixes",
       R"(<r xmlns:a="urn:x" xmlns:b="urn:x"><e/><e a:k="1" b:k="2"/></r>)",
       "r[xmlns:a=urn:x,xmlns:b=urn:x]{e}", "duplicate attribute"},
  });
}

TEST(XMLReader, MalformedInputKeepsWhatWasBuilt) {
  CheckCases({
      {"second half malformed",
       "<r><a x='1'><b>t</b></a><c><d></c></r>", "r{a[x=1]{b\"t\"} c{d}}", "mismatched tag"},
      {"truncated document", "<r><a>text</a><b", "r{a\"text\"}", "unclosed token"},
      {"unfinished text is not kept", "<r><a/>partial", "r{a}", "no element found"},
      {"no element at all", "    ", "", "no element found"},
      {"not XML", "just text", "", "syntax error"},
      {"second root", "<a><x/></a><b/>", "a{x}", "There are multiple root elements."},
      {"text after the root", "<a/>junk", "a", "junk after document element"},
      {"invalid character", "<r><a/>\x01</r>", "r{a}", "not well-formed (invalid token)"},
  });
}

TEST(XMLReader, EntityReferencesAreRejectedWhereTheyOccur) {
  const std::string err = "Entity references are not implemented";
  CheckCases({
      {"undeclared in text", "<r><a/>x&foo;y</r>", "r{a}", err},
      {"undeclared in attribute", "<r><a/><b v='&foo;'/></r>", "r{a}", err},
      {"declared in the DTD, used in text",
       "<!DOCTYPE r [<!ENTITY e 'x'>]><r><a/>t&e;</r>", "r{a}", err},
      {"declared in the DTD, used in an attribute",
       "<!DOCTYPE r [<!ENTITY e 'x'>]><r><a/><b v='1&e;'/></r>", "r{a}", err},
      {"declared external entity",
       "<!DOCTYPE r [<!ENTITY e SYSTEM 'file:///etc/hostname'>]><r><a/>&e;</r>", "r{a}", err},
      {"external DTD, undeclared in text", "<!DOCTYPE r SYSTEM 'r.dtd'><r><a/>&e;</r>", "r{a}", err},
      {"external DTD, undeclared in attribute",
       "<!DOCTYPE r SYSTEM 'r.dtd'><r><a/><b v='&e;'/></r>", "r{a}", err},
      {"entity bomb never expands",
       "<!DOCTYPE r [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
       "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>]>"
       "<r><a/><b v='&d;'/>&d;</r>",
       "r{a}", err},
  });
}

TEST(XMLReader, NestingDepthIsLimited) {
  auto nested = [](size_t depth) {
    std::string s;
    for (size_t i = 0; i < depth; ++i) s += "<n>";
    for (size_t i = 0; i < depth; ++i) s += "</n>";
    return s;
  };
  auto depthOf = [](const TKVLXMLNode& doc) {
    size_t d = 0;
    for (const TKVLXMLNode* n = &doc; n->Count(); n = n->Child(0)) ++d;
    return d;
  };
  auto ok = Load(nested(kMaxXMLDepth));
  EXPECT_EQ(ok->LoadError(), "");
  EXPECT_EQ(depthOf(*ok), kMaxXMLDepth);
  auto deep = Load(nested(kMaxXMLDepth + 1));
  EXPECT_EQ(deep->LoadError(), "Elements are nested too deeply");
  EXPECT_EQ(depthOf(*deep), kMaxXMLDepth);
}

TEST(XMLReader, LongTextDeliveredInManyPiecesStaysOneText) {
  // Far beyond the reader's chunk size, with references that split expat's callbacks.
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "line &amp; more\n";
  auto doc = Load("<r>" + text + "</r>");
  ASSERT_EQ(doc->Count(), 1u);
  std::string expected;
  for (int i = 0; i < 30000; ++i) expected += "line & more\n";
  EXPECT_EQ(doc->Child(0)->Text(), expected);
  EXPECT_EQ(doc->LoadError(), "");
}

namespace {

std::string Utf16(const std::string& utf8, bool bigEndian, bool bom) {
  std::u16string u = KVL::SysUtils::Utf8ToUtf16(utf8);
  if (bom) u.insert(u.begin(), u'\xFEFF');
  std::string bytes;
  for (char16_t c : u) {
    char lo = char(c & 0xFF), hi = char(c >> 8);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return bytes;
}

} // namespace

TEST(XMLReader, EncodingsByMarkDeclarationOrDefault) {
  // "Grüße ☺" in the attribute and the text.
  const std::string body = "<r a=\"Gr\xC3\xBC\xC3\x9F" "e\">\xE2\x98\xBA</r>";
  const std::string tree = "r[a=Gr\xC3\xBC\xC3\x9F" "e]\"\xE2\x98\xBA\"";
  CheckCases({
      {"UTF-8 without anything", body, tree, ""},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + body, tree, ""},
      {"UTF-16LE with BOM", Utf16(body, false, true), tree, ""},
      {"UTF-16BE with BOM", Utf16(body, true, true), tree, ""},
      {"UTF-16LE declared, no BOM",
       Utf16("<?xml version='1.0' encoding='UTF-16'?>" + body, false, false), tree, ""},
      {"UTF-16BE with BOM and an entity in an attribute",
       Utf16("<r><a/><b v='&e;'/></r>", true, true), "r{a}",
       "Entity references are not implemented"},
      {"UTF-16LE second root", Utf16("<a/><b/>", false, true), "a",
       "There are multiple root elements."},
      {"ISO-8859-1 declared",
       "<?xml version='1.0' encoding='ISO-8859-1'?><r a='Gr\xFC\xDF" "e'/>",
       "r[a=Gr\xC3\xBC\xC3\x9F" "e]", ""},
      {"UTF-8 bytes invalid", "<r>\xC3\x28</r>", "r", "not well-formed (invalid token)"},
      {"unknown encoding name", "<?xml version='1.0' encoding='x-nothing'?><r/>", "",
       "unknown encoding"},
  });
}

TEST(XMLReader, EightBitCodePagesThroughThePlatform) {
  // "Привет" in windows-1251, KOI8-R and the DOS Cyrillic page.
  const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  const std::string tree = "r[a=" + utf8 + "]\"" + utf8 + "\"";
  auto doc = [](const char* encoding, const std::string& word) {
    return std::string("<?xml version='1.0' encoding='") + encoding + "'?><r a='" + word + "'>" +
           word + "</r>";
  };
  CheckCases({
      {"windows-1251", doc("windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2"), tree, ""},
      {"name case ignored", doc("Windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2"), tree, ""},
      {"KOI8-R", doc("KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4"), tree, ""},
      {"cp866", doc("cp866", "\x8F\xE0\xA8\xA2\xA5\xE2"), tree, ""},
      {"multi-byte page refused", doc("cp932", "x"), "", "unknown encoding"},
      {"UTF-8 under another name refused", doc("cp65001", "x"), "", "unknown encoding"},
      {"no such page", doc("windows-77777", "x"), "", "unknown encoding"},
  });
}

TEST(XMLReader, StreamSignatures) {
  // Shorter than a signature: the stream's own read error.
  for (std::string tiny : {std::string(), std::string("<a>"), std::string("SXM")}) {
    TKVLReadOnlyMemoryStream s(tiny.data(), tiny.size());
    try {
      TKVLXMLDocument doc(s);
      FAIL() << "loaded " << tiny.size() << " bytes";
    } catch (const KVL::SysUtils::EKVLReadError& e) {
      EXPECT_STREQ(e.what(), "Stream read error");
    }
  }
  // Exactly a signature's length of text XML.
  EXPECT_EQ(DumpChildren(*Load("<a/>")), "a");

  std::string old = "BXML\x01\x02\x03";
  TKVLReadOnlyMemoryStream s(old.data(), old.size());
  try {
    TKVLXMLDocument doc(s);
    FAIL();
  } catch (const EKVLXMLDocument& e) {
    EXPECT_STREQ(e.what(), "BXML documents are not supported");
  }
}

TEST(XMLReader, TextLoadsFromTheStreamPosition) {
  TKVLMemoryStream s;
  s.WriteBuffer("skip", 4);
  s.WriteBuffer("<r/>", 4);
  s.SetPosition(4);
  TKVLXMLDocument doc(s);
  EXPECT_EQ(DumpChildren(doc), "r");
}

TEST(XMLReader, LoadingReplacesEarlierContent) {
  auto doc = Load("<first a='1'/>");
  std::string second = "<second/>";
  TKVLReadOnlyMemoryStream s(second.data(), second.size());
  doc->LoadFromStream(s);
  EXPECT_EQ(DumpChildren(*doc), "second");
  std::string bad = "<x><y></x>";
  TKVLReadOnlyMemoryStream b(bad.data(), bad.size());
  doc->LoadFromStream(b);
  EXPECT_EQ(DumpChildren(*doc), "x{y}");
  EXPECT_EQ(doc->LoadError(), "mismatched tag");
  TKVLReadOnlyMemoryStream again(second.data(), second.size());
  doc->LoadFromStream(again);
  EXPECT_EQ(doc->LoadError(), "");
}
