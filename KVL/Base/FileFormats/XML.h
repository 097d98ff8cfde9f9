// XML document model: element nodes with name, text, attributes and children; loading and saving.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Streams {
class TKVLStream;
}

namespace KVL::FileFormats::XML {

// Misuse of the model ("Only one Root available") and unreadable binary documents.
class EKVLXMLDocument : public SysUtils::EKVLError {
public:
  using SysUtils::EKVLError::EKVLError;
};

// Deepest element nesting the loaders accept; keeps recursion over loaded trees bounded.
inline constexpr size_t kMaxXMLDepth = 1000;

struct TKVLXMLAttribute {
  std::string Name;
  std::string Value;
};

// Ordered attribute list in document order; names need not be unique.
class TKVLXMLAttributes {
public:
  size_t Count() const { return items_.size(); }
  // Index must be below Count().
  const TKVLXMLAttribute& operator[](size_t index) const { return items_.at(index); }
  TKVLXMLAttribute& operator[](size_t index) { return items_.at(index); }
  TKVLXMLAttribute& Add(std::string name, std::string value);
  // First attribute whose name matches under ASCII case folding, or null.
  const TKVLXMLAttribute* Find(std::string_view name) const;
  void Clear() { items_.clear(); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // Same attributes regardless of their order; names compared exactly, and values of
  // attributes sharing a name compared in their order.
  bool Equals(const TKVLXMLAttributes& other) const;

private:
  std::vector<TKVLXMLAttribute> items_;
};

class TKVLXMLNode {
public:
  explicit TKVLXMLNode(std::string name = {});
  virtual ~TKVLXMLNode();
  TKVLXMLNode(const TKVLXMLNode&) = delete;
  TKVLXMLNode& operator=(const TKVLXMLNode&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  TKVLXMLAttributes& Attributes() { return attributes_; }
  const TKVLXMLAttributes& Attributes() const { return attributes_; }
  // The owning node; null for a document or a node nobody owns.
  TKVLXMLNode* Parent() const { return parent_; }

  size_t Count() const { return children_.size(); }
  // Null when index is out of range.
  TKVLXMLNode* Child(size_t index) const;
  // Appends a child with this name and returns it.
  TKVLXMLNode* Add(std::string name);

  // First direct child whose name matches under ASCII case folding.
  bool FindNode(std::string_view name, TKVLXMLNode*& node) const;
  // Walks the path one child per name from this node; with create, missing steps are
  // added. Without create a missing step gives false and a null node.
  bool FindNode(std::span<const std::string> path, TKVLXMLNode*& node, bool create);
  bool FindNode(std::initializer_list<std::string_view> path, TKVLXMLNode*& node, bool create);
  // Value of the first attribute matching under ASCII case folding; empty when none.
  std::string GetAttribute(std::string_view name) const;

  // Becomes a deep copy of source (name, text, attributes, children). Safe when source
  // lies inside this node.
  virtual void Assign(const TKVLXMLNode& source);
  // Removes (and frees) every child.
  void Clear();
  // Moves this node, with its subtree, to the end of newParent's children. Refused (false)
  // when newParent is this node, its current parent or lies below this node, and for a
  // node without an owner.
  bool MoveTo(TKVLXMLNode& newParent);
  // True when this node lies anywhere below ancestor.
  bool IsChildOf(const TKVLXMLNode& ancestor) const;
  // Same class, name, text, attributes and children (in order); names and texts exact.
  bool Equals(const TKVLXMLNode& other) const;

protected:
  // Raised by subclasses that restrict how many children they hold.
  virtual void CheckChildCount(size_t newCount) const;

private:
  TKVLXMLNode* Adopt(std::unique_ptr<TKVLXMLNode> child);
  TKVLXMLNode* FindChild(std::string_view name) const;
  std::unique_ptr<TKVLXMLNode> Clone() const;

  std::vector<std::unique_ptr<TKVLXMLNode>> children_;
  TKVLXMLAttributes attributes_;
  std::string name_;
  std::string text_;
  TKVLXMLNode* parent_ = nullptr;
};

// A document: its children are the top-level elements.
class TKVLXMLDocument : public TKVLXMLNode {
public:
  TKVLXMLDocument();
  // Creates the document and loads the stream (see LoadFromStream).
  explicit TKVLXMLDocument(Streams::TKVLStream& stream);

  // Off by default: a second top-level element raises "Only one Root available".
  bool MultipleRoots() const { return multipleRoots_; }
  void SetMultipleRoots(bool value) { multipleRoots_ = value; }

  // Replaces the content with the stream's document: "SXML" binary form, or text XML
  // with its encoding detected. Malformed text ends loading quietly with the tree built
  // so far (LoadError tells why); a damaged binary document raises and leaves it empty.
  void LoadFromStream(Streams::TKVLStream& stream);
  // Writes the document in the "SXML" binary form.
  void SaveToStream(Streams::TKVLStream& stream) const;
  // Why the last text load stopped early; empty when it read the whole document.
  const std::string& LoadError() const { return loadError_; }

  void Assign(const TKVLXMLNode& source) override;

protected:
  void CheckChildCount(size_t newCount) const override;

private:
  std::string loadError_;
  bool multipleRoots_ = false;
};

} // namespace KVL::FileFormats::XML
