// XML node model: children, lookups, copying, moving and structural equality.
#include <gtest/gtest.h>

#include <functional>

#include "KVL/Base/FileFormats/XML.h"
#include "XMLTestUtil.h"

using namespace KVL::FileFormats::XML;
using XMLTestUtil::Dump;
using XMLTestUtil::DumpChildren;

TEST(XMLModel, ChildrenByIndexAndOwnership) {
  TKVLXMLNode root("root");
  TKVLXMLNode* a = root.Add("a");
  TKVLXMLNode* b = root.Add("b");
  EXPECT_EQ(root.Count(), 2u);
  EXPECT_EQ(root.Child(0), a);
  EXPECT_EQ(root.Child(1), b);
  EXPECT_EQ(root.Child(2), nullptr);
  EXPECT_EQ(root.Child(size_t(-1)), nullptr);
  EXPECT_EQ(a->Parent(), &root);
  EXPECT_EQ(root.Parent(), nullptr);
  root.Clear();
  EXPECT_EQ(root.Count(), 0u);
  EXPECT_EQ(root.Child(0), nullptr);
}

TEST(XMLModel, DocumentAllowsOneRootUnlessMultipleRootsIsSet) {
  TKVLXMLDocument doc;
  EXPECT_FALSE(doc.MultipleRoots());
  doc.Add("first");
  try {
    doc.Add("second");
    FAIL() << "second root accepted";
  } catch (const EKVLXMLDocument& e) {
    EXPECT_STREQ(e.what(), "Only one Root available");
  }
  EXPECT_EQ(DumpChildren(doc), "first");
  // Below the root any number of children is fine.
  doc.Child(0)->Add("x");
  doc.Child(0)->Add("y");
  doc.SetMultipleRoots(true);
  doc.Add("second");
  EXPECT_EQ(DumpChildren(doc), "first{x y} second");
}

TEST(XMLModel, FindNodeFoldsAsciiLettersOnly) {
  struct Case {
    const char* stored;
    const char* wanted;
    bool found;
  } cases[] = {
      {"Item", "ITEM", true},
      {"item", "iTeM", true},
      {"a-b_1", "A-B_1", true},
      {"item", "items", false},
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", false},  // "été" vs "ÉTÉ"
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9", true},   // only the ASCII letter differs
  };
  for (const auto& c : cases) {
    TKVLXMLNode root;
    TKVLXMLNode* child = root.Add(c.stored);
    TKVLXMLNode* node = &root;  // must be overwritten
    EXPECT_EQ(root.FindNode(c.wanted, node), c.found) << c.stored << " / " << c.wanted;
    EXPECT_EQ(node, c.found ? child : nullptr);
  }
}

TEST(XMLModel, FindNodeReturnsFirstMatchAmongDirectChildrenOnly) {
  TKVLXMLNode root;
  root.Add("deep")->Add("target");
  TKVLXMLNode* first = root.Add("Dup");
  root.Add("dup");
  TKVLXMLNode* node = nullptr;
  EXPECT_TRUE(root.FindNode("DUP", node));
  EXPECT_EQ(node, first);
  EXPECT_FALSE(root.FindNode("target", node));
  EXPECT_EQ(node, nullptr);
}

TEST(XMLModel, PathLookupCreatesMissingChainOnlyWhenAsked) {
  TKVLXMLNode root("root");
  TKVLXMLNode* setup = root.Add("Setup");
  setup->Add("Files");
  TKVLXMLNode* node = nullptr;

  EXPECT_TRUE(root.FindNode({"SETUP", "files"}, node, false));
  EXPECT_EQ(node, setup->Child(0));

  EXPECT_FALSE(root.FindNode({"setup", "Actions", "Run"}, node, false));
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(Dump(root), "root{Setup{Files}}");

  EXPECT_TRUE(root.FindNode({"setup", "Actions", "Run"}, node, true));
  EXPECT_EQ(Dump(root), "root{Setup{Files Actions{Run}}}");
  EXPECT_EQ(node, setup->Child(1)->Child(0));

  // The same walk again finds what it built instead of adding more.
  std::vector<std::string> path{"Setup", "actions", "RUN"};
  TKVLXMLNode* again = nullptr;
  EXPECT_TRUE(root.FindNode(path, again, true));
  EXPECT_EQ(again, node);
  EXPECT_EQ(Dump(root), "root{Setup{Files Actions{Run}}}");

  // An empty path is the node itself.
  EXPECT_TRUE(root.FindNode(std::vector<std::string>{}, node, false));
  EXPECT_EQ(node, &root);
}

TEST(XMLModel, GetAttributeFoldsCaseAndDefaultsToEmpty) {
  TKVLXMLNode node("n");
  node.Attributes().Add("name", "first");
  node.Attributes().Add("Value", "42");
  node.Attributes().Add("NAME", "second");  // names are not forced unique; first wins
  EXPECT_EQ(node.GetAttribute("NAME"), "first");
  EXPECT_EQ(node.GetAttribute("value"), "42");
  EXPECT_EQ(node.GetAttribute("missing"), "");
  EXPECT_EQ(node.Attributes().Count(), 3u);
}

TEST(XMLModel, AssignCopiesDeeplyAndIndependently) {
  TKVLXMLNode src("src");
  src.SetText("t");
  src.Attributes().Add("k", "v");
  src.Add("a")->Add("b")->SetText("deep");
  TKVLXMLNode dst("old");
  dst.Add("stale");
  dst.Attributes().Add("gone", "1");
  dst.Assign(src);
  EXPECT_EQ(Dump(dst), "src[k=v]\"t\"{a{b\"deep\"}}");
  EXPECT_TRUE(dst.Equals(src));
  EXPECT_EQ(dst.Child(0)->Parent(), &dst);
  EXPECT_EQ(dst.Child(0)->Child(0)->Parent(), dst.Child(0));
  src.Child(0)->SetText("changed");
  EXPECT_EQ(dst.Child(0)->Text(), "");
}

TEST(XMLModel, AssignFromOwnDescendantIsSafe) {
  TKVLXMLNode root("root");
  TKVLXMLNode* inner = root.Add("a")->Add("inner");
  inner->Add("leaf");
  root.Assign(*inner);
  EXPECT_EQ(Dump(root), "inner{leaf}");
  EXPECT_EQ(root.Child(0)->Parent(), &root);
}

TEST(XMLModel, DocumentAssignKeepsTheOneRootRule) {
  TKVLXMLNode two("two");
  two.Add("a");
  two.Add("b");
  TKVLXMLDocument doc;
  doc.Add("kept");
  EXPECT_THROW(doc.Assign(two), EKVLXMLDocument);
  EXPECT_EQ(DumpChildren(doc), "kept");

  TKVLXMLDocument multi;
  multi.SetMultipleRoots(true);
  multi.Assign(two);
  doc.Assign(multi);  // the option comes along with a document's content
  EXPECT_TRUE(doc.MultipleRoots());
  EXPECT_EQ(DumpChildren(doc), "a b");
}

TEST(XMLModel, MoveToRefusesCyclesAndNoOps) {
  TKVLXMLNode root("root");
  TKVLXMLNode* a = root.Add("a");
  TKVLXMLNode* b = a->Add("b");
  TKVLXMLNode* c = b->Add("c");
  TKVLXMLNode unowned("unowned");
  struct Case {
    const char* what;
    TKVLXMLNode* node;
    TKVLXMLNode* target;
  } refused[] = {
      {"itself", a, a},
      {"current parent", b, a},
      {"own child", a, b},
      {"own grandchild", a, c},
      {"node without owner", &unowned, a},
  };
  for (const auto& r : refused) EXPECT_FALSE(r.node->MoveTo(*r.target)) << r.what;
  EXPECT_EQ(Dump(root), "root{a{b{c}}}");

  EXPECT_TRUE(c->MoveTo(root));
  EXPECT_EQ(c->Parent(), &root);
  EXPECT_EQ(Dump(root), "root{a{b} c}");
  EXPECT_TRUE(a->MoveTo(*c));  // the subtree travels along
  EXPECT_EQ(Dump(root), "root{c{a{b}}}");
}

TEST(XMLModel, MoveToDocumentWithRootRaisesAndChangesNothing) {
  TKVLXMLDocument doc;
  doc.Add("root");
  TKVLXMLNode other("other");
  TKVLXMLNode* x = other.Add("x");
  EXPECT_THROW(x->MoveTo(doc), EKVLXMLDocument);
  EXPECT_EQ(Dump(other), "other{x}");
  EXPECT_EQ(x->Parent(), &other);
}

TEST(XMLModel, IsChildOfMeansAnywhereBelow) {
  TKVLXMLNode root;
  TKVLXMLNode* a = root.Add("a");
  TKVLXMLNode* b = a->Add("b");
  TKVLXMLNode* sibling = root.Add("s");
  EXPECT_TRUE(b->IsChildOf(root));
  EXPECT_TRUE(b->IsChildOf(*a));
  EXPECT_FALSE(a->IsChildOf(*b));
  EXPECT_FALSE(b->IsChildOf(*sibling));
  EXPECT_FALSE(root.IsChildOf(root));
}

TEST(XMLModel, StructuralEquality) {
  auto make = [] {
    auto n = std::make_unique<TKVLXMLNode>("n");
    n->SetText("text");
    n->Attributes().Add("a", "1");
    n->Attributes().Add("b", "2");
    n->Add("c1")->Attributes().Add("x", "y");
    n->Add("c2");
    return n;
  };
  // Strings are assigned as std::string: GCC 12 at -O3 misreports -Wrestrict for a literal.
  struct Case {
    const char* change;
    std::function<void(TKVLXMLNode&)> apply;
    bool equal;
  } cases[] = {
      {"nothing", [](TKVLXMLNode&) {}, true},
      {"attribute order", [](TKVLXMLNode& n) {
         n.Attributes().Clear();
         n.Attributes().Add("b", "2");
         n.Attributes().Add("a", "1");
       }, true},
      {"name case", [](TKVLXMLNode& n) { n.SetName("N"); }, false},
      {"text case", [](TKVLXMLNode& n) { n.SetText("Text"); }, false},
      {"attribute value", [](TKVLXMLNode& n) { n.Attributes()[1].Value = std::string("3"); }, false},
      {"attribute name case", [](TKVLXMLNode& n) { n.Attributes()[0].Name = std::string("A"); }, false},
      {"extra attribute", [](TKVLXMLNode& n) { n.Attributes().Add("c", "3"); }, false},
      {"grandchild attribute", [](TKVLXMLNode& n) { n.Child(0)->Attributes()[0].Value = std::string("z"); },
       false},
      {"extra child", [](TKVLXMLNode& n) { n.Add("c3"); }, false},
      {"child order", [](TKVLXMLNode& n) {
         n.Clear();
         n.Add("c2");
         n.Add("c1")->Attributes().Add("x", "y");
       }, false},
  };
  for (const auto& c : cases) {
    auto a = make();
    auto b = make();
    c.apply(*b);
    EXPECT_EQ(a->Equals(*b), c.equal) << c.change;
    EXPECT_EQ(b->Equals(*a), c.equal) << c.change;
  }
}

TEST(XMLModel, EqualityTellsSameNamedAttributesApart) {
  // Lookups see the first of same-named attributes, so their order matters.
  TKVLXMLNode a, b;
  a.Attributes().Add("k", "1");
  a.Attributes().Add("k", "2");
  b.Attributes().Add("k", "2");
  b.Attributes().Add("k", "1");
  EXPECT_FALSE(a.Equals(b));
  TKVLXMLNode c;
  c.Attributes().Add("k", "1");
  c.Attributes().Add("k", "1");
  EXPECT_FALSE(a.Equals(c));
  EXPECT_FALSE(c.Equals(a));
}

TEST(XMLModel, EqualityRequiresTheSameClass) {
  TKVLXMLDocument doc;
  TKVLXMLNode node;
  EXPECT_FALSE(doc.Equals(node));
  EXPECT_FALSE(node.Equals(doc));
  TKVLXMLDocument other;
  EXPECT_TRUE(doc.Equals(other));
}

TEST(XMLModel, VeryDeepTreeIsFreedWithoutRecursion) {
  auto root = std::make_unique<TKVLXMLNode>("root");
  TKVLXMLNode* cur = root.get();
  for (int i = 0; i < 200000; ++i) cur = cur->Add("n");
  root.reset();  // would overflow the stack if freed recursively
  SUCCEED();
}
