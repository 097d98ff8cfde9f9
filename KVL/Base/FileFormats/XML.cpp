// XML document model: node operations and the loader that picks the stream's format.
#include "KVL/Base/FileFormats/XML.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "KVL/Base/FileFormats/XMLBinary.h"
#include "KVL/Base/FileFormats/XMLReader.h"
#include "KVL/Base/Streams.h"

namespace KVL::FileFormats::XML {

using SysUtils::SameTextAscii;

// --- TKVLXMLAttributes ---

TKVLXMLAttribute& TKVLXMLAttributes::Add(std::string name, std::string value) {
  items_.push_back({std::move(name), std::move(value)});
  return items_.back();
}

const TKVLXMLAttribute* TKVLXMLAttributes::Find(std::string_view name) const {
  for (const auto& a : items_)
    if (SameTextAscii(a.Name, name)) return &a;
  return nullptr;
}

bool TKVLXMLAttributes::Equals(const TKVLXMLAttributes& other) const {
  if (items_.size() != other.items_.size()) return false;
  // A stable sort by name keeps same-named attributes in their order, so lists that
  // answer every lookup alike compare equal whatever order the names came in.
  auto sorted = [](const std::vector<TKVLXMLAttribute>& v) {
    std::vector<const TKVLXMLAttribute*> p;
    p.reserve(v.size());
    for (const auto& a : v) p.push_back(&a);
    std::stable_sort(p.begin(), p.end(), [](auto* x, auto* y) { return x->Name < y->Name; });
    return p;
  };
  auto a = sorted(items_);
  auto b = sorted(other.items_);
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i]->Name != b[i]->Name || a[i]->Value != b[i]->Value) return false;
  return true;
}

// --- TKVLXMLNode ---

TKVLXMLNode::TKVLXMLNode(std::string name) : name_(std::move(name)) {}

TKVLXMLNode::~TKVLXMLNode() {
  // Frees the subtree without recursion so that a very deep tree cannot exhaust the stack.
  std::vector<std::unique_ptr<TKVLXMLNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TKVLXMLNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& c : node->children_) pending.push_back(std::move(c));
    node->children_.clear();
  }
}

TKVLXMLNode* TKVLXMLNode::Child(size_t index) const {
  return index < children_.size() ? children_[index].get() : nullptr;
}

void TKVLXMLNode::CheckChildCount(size_t) const {}

TKVLXMLNode* TKVLXMLNode::Adopt(std::unique_ptr<TKVLXMLNode> child) {
  CheckChildCount(children_.size() + 1);
  child->parent_ = this;
  children_.push_back(std::move(child));
  return children_.back().get();
}

TKVLXMLNode* TKVLXMLNode::Add(std::string name) {
  return Adopt(std::make_unique<TKVLXMLNode>(std::move(name)));
}

TKVLXMLNode* TKVLXMLNode::FindChild(std::string_view name) const {
  for (const auto& c : children_)
    if (SameTextAscii(c->name_, name)) return c.get();
  return nullptr;
}

bool TKVLXMLNode::FindNode(std::string_view name, TKVLXMLNode*& node) const {
  node = FindChild(name);
  return node != nullptr;
}

namespace {

template <typename Names>
bool WalkPath(TKVLXMLNode* start, const Names& path, TKVLXMLNode*& node, bool create) {
  TKVLXMLNode* cur = start;
  for (const auto& name : path) {
    TKVLXMLNode* next = nullptr;
    if (!cur->FindNode(name, next)) {
      if (!create) {
        node = nullptr;
        return false;
      }
      next = cur->Add(std::string(name));
    }
    cur = next;
  }
  node = cur;
  return true;
}

} // namespace

bool TKVLXMLNode::FindNode(std::span<const std::string> path, TKVLXMLNode*& node, bool create) {
  return WalkPath(this, path, node, create);
}

bool TKVLXMLNode::FindNode(std::initializer_list<std::string_view> path, TKVLXMLNode*& node,
                           bool create) {
  return WalkPath(this, path, node, create);
}

std::string TKVLXMLNode::GetAttribute(std::string_view name) const {
  const TKVLXMLAttribute* a = attributes_.Find(name);
  return a ? a->Value : std::string();
}

std::unique_ptr<TKVLXMLNode> TKVLXMLNode::Clone() const {
  auto copy = std::make_unique<TKVLXMLNode>(name_);
  copy->text_ = text_;
  copy->attributes_ = attributes_;
  for (const auto& c : children_) {
    auto child = c->Clone();
    child->parent_ = copy.get();
    copy->children_.push_back(std::move(child));
  }
  return copy;
}

void TKVLXMLNode::Assign(const TKVLXMLNode& source) {
  if (&source == this) return;
  CheckChildCount(source.children_.size());
  // Copy first, then take over: source may be one of our own descendants.
  std::unique_ptr<TKVLXMLNode> copy = source.Clone();
  for (auto& c : copy->children_) c->parent_ = this;
  // The old children are destroyed with copy after the swap.
  std::swap(children_, copy->children_);
  attributes_ = std::move(copy->attributes_);
  name_ = std::move(copy->name_);
  text_ = std::move(copy->text_);
}

void TKVLXMLNode::Clear() {
  std::vector<std::unique_ptr<TKVLXMLNode>> old = std::move(children_);
  children_.clear();
}

bool TKVLXMLNode::MoveTo(TKVLXMLNode& newParent) {
  if (&newParent == this || &newParent == parent_ || parent_ == nullptr ||
      newParent.IsChildOf(*this))
    return false;
  newParent.CheckChildCount(newParent.children_.size() + 1);
  auto& siblings = parent_->children_;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [this](const auto& p) { return p.get() == this; });
  std::unique_ptr<TKVLXMLNode> self = std::move(*it);
  siblings.erase(it);
  self->parent_ = &newParent;
  newParent.children_.push_back(std::move(self));
  return true;
}

bool TKVLXMLNode::IsChildOf(const TKVLXMLNode& ancestor) const {
  for (const TKVLXMLNode* p = parent_; p; p = p->parent_)
    if (p == &ancestor) return true;
  return false;
}

bool TKVLXMLNode::Equals(const TKVLXMLNode& other) const {
  if (this == &other) return true;
  if (typeid(*this) != typeid(other)) return false;
  if (name_ != other.name_ || text_ != other.text_ || children_.size() != other.children_.size())
    return false;
  if (!attributes_.Equals(other.attributes_)) return false;
  for (size_t i = 0; i < children_.size(); ++i)
    if (!children_[i]->Equals(*other.children_[i])) return false;
  return true;
}

// --- TKVLXMLDocument ---

TKVLXMLDocument::TKVLXMLDocument() = default;

TKVLXMLDocument::TKVLXMLDocument(Streams::TKVLStream& stream) { LoadFromStream(stream); }

void TKVLXMLDocument::CheckChildCount(size_t newCount) const {
  if (!multipleRoots_ && newCount > 1) throw EKVLXMLDocument("Only one Root available");
}

void TKVLXMLDocument::Assign(const TKVLXMLNode& source) {
  bool multiple = multipleRoots_;
  if (auto* doc = dynamic_cast<const TKVLXMLDocument*>(&source)) multiple = doc->multipleRoots_;
  if (!multiple && source.Count() > 1) throw EKVLXMLDocument("Only one Root available");
  multipleRoots_ = multiple;
  TKVLXMLNode::Assign(source);
}

void TKVLXMLDocument::LoadFromStream(Streams::TKVLStream& stream) {
  Clear();
  Attributes().Clear();
  SetText({});
  loadError_.clear();

  char magic[4];
  stream.ReadBuffer(magic, sizeof magic);
  if (std::memcmp(magic, "SXML", 4) == 0) {
    try {
      Binary::LoadFromStream(stream, *this);
    } catch (...) {
      Clear();
      Attributes().Clear();
      SetText({});
      throw;
    }
    return;
  }
  if (std::memcmp(magic, "BXML", 4) == 0)
    throw EKVLXMLDocument("BXML documents are not supported");
  stream.Seek(-4, Streams::TSeekOrigin::soCurrent);
  loadError_ = Reader::LoadFromText(stream, *this);
}

void TKVLXMLDocument::SaveToStream(Streams::TKVLStream& stream) const {
  Binary::SaveToStream(*this, stream);
}

} // namespace KVL::FileFormats::XML
