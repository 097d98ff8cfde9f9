// The control base: ownership and parent trees, docking, fonts, focus, painting and default input.
#include "KVL/UI/Control.h"

#include <algorithm>
#include <cmath>

#include "KVL/UI/Application.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

int MulDivRound(int value, int m, int d) {
  return static_cast<int>(std::lround(static_cast<double>(value) * m / d));
}

// Whether control is inside root's subtree (root included).
bool IsInside(const TKVLControl* control, const TKVLControl* root) {
  for (const TKVLControl* c = control; c != nullptr; c = c->Parent()) {
    if (c == root) return true;
  }
  return false;
}

} // namespace

TKVLControl::TKVLControl(TKVLControl* owner) : owner_(owner) {}

TKVLControl::~TKVLControl() {
  // Leave the form first, while the path up to it still exists, so it forgets focus,
  // capture and hover pointers into this subtree.
  if (TKVLForm* form = FindForm(); form != nullptr && form != this) form->ControlRemoved(this);
  if (parent_ != nullptr) parent_->RemoveChild(this);
  for (TKVLControl* child : children_) child->parent_ = nullptr;
  children_.clear();
  // Owned controls go last to first; each one's destructor finds nothing left to detach.
  auto owned = std::move(components_);
  while (!owned.empty()) owned.pop_back();
  DetachFromOwner();
}

void TKVLControl::AdoptComponent(std::unique_ptr<TKVLControl> control) {
  if (!control) return;
  control->owner_ = this;
  components_.push_back(std::move(control));
}

void TKVLControl::DestroyComponent(TKVLControl* control) {
  auto it = std::find_if(components_.begin(), components_.end(),
                         [control](const std::unique_ptr<TKVLControl>& c) { return c.get() == control; });
  if (it == components_.end()) return;
  std::unique_ptr<TKVLControl> doomed = std::move(*it);
  components_.erase(it);
  doomed->owner_ = nullptr;
  doomed.reset();
}

void TKVLControl::DetachFromOwner() {
  if (owner_ == nullptr) return;
  auto& list = owner_->components_;
  auto it = std::find_if(list.begin(), list.end(), [this](const std::unique_ptr<TKVLControl>& c) { return c.get() == this; });
  if (it != list.end()) {
    // Being destroyed by someone else: the owner must not free it again.
    (void)it->release();
    list.erase(it);
  }
  owner_ = nullptr;
}

void TKVLControl::SetParent(TKVLControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) {
    TKVLForm* oldForm = FindForm();
    if (oldForm != nullptr && oldForm != this) oldForm->ControlRemoved(this);
    TKVLControl* old = parent_;
    old->RemoveChild(this);
    old->Realign();
    old->Invalidate();
  }
  parent_ = parent;
  if (parent_ != nullptr) {
    parent_->children_.push_back(this);
    parent_->Realign();
    Invalidate();
  }
  NotifyPlacement();
}

void TKVLControl::NotifyPlacement() {
  PlacementChanged();
  for (TKVLControl* child : children_) child->NotifyPlacement();
}

void TKVLControl::RemoveChild(TKVLControl* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
  child->parent_ = nullptr;
}

TKVLForm* TKVLControl::FindForm() {
  for (TKVLControl* c = this; c != nullptr; c = c->parent_) {
    if (auto* form = dynamic_cast<TKVLForm*>(c)) return form;
  }
  return nullptr;
}

void TKVLControl::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Invalidate();
}

void TKVLControl::SetBounds(const TKVLRect& rect) {
  if (rect == bounds_) return;
  bounds_ = rect;
  Resized();
  Realign();
  // A docked control that changed its own size moves its siblings.
  if (parent_ != nullptr && align_ != TKVLAlign::alNone && !parent_->realigning_) parent_->Realign();
  NotifyPlacement();
  Invalidate();
}

TKVLRect TKVLControl::ScreenRectInForm() const {
  TKVLRect rect = bounds_;
  for (const TKVLControl* p = parent_; p != nullptr; p = p->parent_) {
    if (dynamic_cast<const TKVLForm*>(p) != nullptr) break;
    rect = rect.Offset(p->bounds_.Left, p->bounds_.Top);
  }
  return rect;
}

void TKVLControl::SetAlign(TKVLAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void TKVLControl::SetMargins(const TKVLMargins& margins) {
  if (margins == margins_) return;
  margins_ = margins;
  if (parent_ != nullptr && align_ != TKVLAlign::alNone) parent_->Realign();
}

void TKVLControl::SetAlignPadding(const TKVLMargins& padding) {
  alignPadding_ = padding;
  Realign();
}

TKVLRect TKVLControl::DockArea() const {
  TKVLRect r = ClientRect();
  return {r.Left + alignPadding_.Left, r.Top + alignPadding_.Top, r.Right - alignPadding_.Right,
          r.Bottom - alignPadding_.Bottom};
}

void TKVLControl::Realign() {
  if (realigning_) return;
  realigning_ = true;
  TKVLRect area = DockArea();
  const int dpi = Dpi();
  std::vector<TKVLControl*> clients;
  for (TKVLControl* child : children_) {
    if (!child->visible_ || child->align_ == TKVLAlign::alNone) continue;
    const TKVLMargins& m96 = child->margins_;
    const int ml = ScaleValue(m96.Left, dpi), mt = ScaleValue(m96.Top, dpi);
    const int mr = ScaleValue(m96.Right, dpi), mb = ScaleValue(m96.Bottom, dpi);
    const int w = child->Width(), h = child->Height();
    switch (child->align_) {
    case TKVLAlign::alTop:
      child->SetBounds({area.Left + ml, area.Top + mt, area.Right - mr, area.Top + mt + h});
      area.Top += mt + h + mb;
      break;
    case TKVLAlign::alBottom:
      child->SetBounds({area.Left + ml, area.Bottom - mb - h, area.Right - mr, area.Bottom - mb});
      area.Bottom -= mt + h + mb;
      break;
    case TKVLAlign::alLeft:
      child->SetBounds({area.Left + ml, area.Top + mt, area.Left + ml + w, area.Bottom - mb});
      area.Left += ml + w + mr;
      break;
    case TKVLAlign::alRight:
      child->SetBounds({area.Right - mr - w, area.Top + mt, area.Right - mr, area.Bottom - mb});
      area.Right -= ml + w + mr;
      break;
    case TKVLAlign::alClient:
      clients.push_back(child);
      break;
    case TKVLAlign::alNone:
      break;
    }
  }
  for (TKVLControl* child : clients) {
    const TKVLMargins& m96 = child->margins_;
    child->SetBounds({area.Left + ScaleValue(m96.Left, dpi), area.Top + ScaleValue(m96.Top, dpi),
                      std::max(area.Left, area.Right - ScaleValue(m96.Right, dpi)),
                      std::max(area.Top, area.Bottom - ScaleValue(m96.Bottom, dpi))});
  }
  realigning_ = false;
}

void TKVLControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible) {
    // A hidden control keeps neither focus nor the pointer.
    if (TKVLForm* form = FindForm(); form != nullptr && form != this) {
      if (form->activeControl_ != nullptr && IsInside(form->activeControl_, this)) form->SetActiveControl(nullptr);
      if (form->mouseControl_ != nullptr && IsInside(form->mouseControl_, this)) {
        form->mouseControl_->hot_ = false;
        form->mouseControl_ = nullptr;
      }
    }
  }
  visible_ = visible;
  if (parent_ != nullptr) {
    if (align_ != TKVLAlign::alNone) parent_->Realign();
    parent_->Invalidate();
  }
  NotifyPlacement();
}

bool TKVLControl::IsShowing() const {
  for (const TKVLControl* c = this; c != nullptr; c = c->parent_) {
    if (dynamic_cast<const TKVLForm*>(c) != nullptr) return true;
    if (!c->visible_) return false;
  }
  return true;
}

void TKVLControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) {
    if (TKVLForm* form = FindForm(); form != nullptr && form != this && form->activeControl_ != nullptr &&
                                     IsInside(form->activeControl_, this)) {
      form->SetActiveControl(nullptr);
    }
  }
  Invalidate();
}

bool TKVLControl::IsEnabledInTree() const {
  for (const TKVLControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->enabled_) return false;
  }
  return true;
}

const TKVLFont& TKVLControl::Font() const {
  if (parentFont_ && parent_ != nullptr) return parent_->Font();
  return font_;
}

void TKVLControl::SetFont(const TKVLFont& font) {
  font_ = font;
  parentFont_ = false;
  Invalidate();
}

void TKVLControl::SetFontColor(std::optional<TKVLColor> color) {
  fontColor_ = color;
  Invalidate();
}

TKVLColor TKVLControl::EffectiveTextColor() const {
  if (fontColor_) return *fontColor_;
  return IsEnabledInTree() ? StyleColors().Text : StyleColors().TextDisabled;
}

void TKVLControl::SetTransparent(bool value) {
  transparent_ = value;
  Invalidate();
}

int TKVLControl::Dpi() const {
  for (const TKVLControl* c = this; c != nullptr; c = c->parent_) {
    if (auto* form = dynamic_cast<const TKVLForm*>(c)) return form->CurrentDpi();
  }
  // Not shown yet: a control made for a form scales like that form.
  for (const TKVLControl* o = owner_; o != nullptr; o = o->owner_) {
    for (const TKVLControl* c = o; c != nullptr; c = c->parent_) {
      if (auto* form = dynamic_cast<const TKVLForm*>(c)) return form->CurrentDpi();
    }
  }
  return TKVLApplication::ScreenDpi();
}

bool TKVLControl::CanFocus() const { return IsShowing() && IsEnabledInTree(); }

void TKVLControl::SetFocus() {
  if (TKVLForm* form = FindForm(); form != nullptr && form != this) form->SetActiveControl(this);
}

bool TKVLControl::Focused() const {
  TKVLForm* form = const_cast<TKVLControl*>(this)->FindForm();
  return form != nullptr && form->ActiveControl() == this;
}

void TKVLControl::Invalidate() {
  TKVLForm* form = FindForm();
  if (form != nullptr && form->Host() != nullptr) form->Host()->Invalidate();
}

void TKVLControl::Paint(IKVLCanvas& canvas) {
  if (!transparent_) canvas.FillRect(ClientRect(), StyleColors().Window);
}

void TKVLControl::PaintTree(IKVLCanvas& canvas) {
  Paint(canvas);
  for (TKVLControl* child : children_) {
    if (!child->visible_ || child->bounds_.IsEmpty()) continue;
    canvas.Save();
    canvas.IntersectClip(child->bounds_);
    canvas.Translate(child->bounds_.Left, child->bounds_.Top);
    child->PaintTree(canvas);
    canvas.Restore();
  }
}

void TKVLControl::MouseDown(TKVLMouseButton, TKVLPoint, TKVLShiftState) {}

void TKVLControl::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState) {
  if (button == TKVLMouseButton::mbLeft && pressed_ && ClientRect().Contains(pt)) Click();
}

void TKVLControl::MouseMove(TKVLPoint, TKVLShiftState) {}
void TKVLControl::MouseEnter() { Invalidate(); }
void TKVLControl::MouseLeave() { Invalidate(); }
bool TKVLControl::MouseWheel(int, TKVLPoint) { return false; }
bool TKVLControl::KeyDown(TKVLKey, TKVLShiftState) { return false; }
bool TKVLControl::KeyChar(const std::string&) { return false; }
bool TKVLControl::WantsKey(TKVLKey) const { return false; }
void TKVLControl::FocusChanged(bool) { Invalidate(); }

void TKVLControl::Click() {
  if (OnClick) OnClick(*this);
}

void TKVLControl::ChangeScale(int m, int d) {
  if (m == d || d == 0) return;
  // Siblings are re-docked once at the end, not after every single child.
  const bool wasRealigning = realigning_;
  realigning_ = true;
  for (TKVLControl* child : children_) {
    const TKVLRect& b = child->bounds_;
    child->SetBounds({MulDivRound(b.Left, m, d), MulDivRound(b.Top, m, d), MulDivRound(b.Right, m, d),
                      MulDivRound(b.Bottom, m, d)});
    child->ChangeScale(m, d);
  }
  realigning_ = wasRealigning;
  Realign();
}

void TKVLControl::ColorSchemeChanged() {
  for (TKVLControl* child : children_) child->ColorSchemeChanged();
  Invalidate();
}

TKVLControl* TKVLControl::ControlAt(TKVLPoint pt) {
  // Later children lie above earlier ones.
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    TKVLControl* child = *it;
    if (!child->visible_ || !child->bounds_.Contains(pt)) continue;
    if (!child->enabled_) return this;
    return child->ControlAt({pt.X - child->bounds_.Left, pt.Y - child->bounds_.Top});
  }
  return this;
}

void TKVLControl::Resized() {}

void TKVLControl::PaintFieldBox(IKVLCanvas& canvas, bool active) const {
  const TKVLStyleColors& colors = StyleColors();
  const TKVLRect client = ClientRect();
  const bool enabled = IsEnabledInTree();
  canvas.FillRect(client, enabled ? colors.EditBackground : colors.Window);
  TKVLColor border = colors.EditBorder;
  if (active)
    border = colors.FocusFrame;
  else if (MouseInside() && enabled)
    border = colors.EditBorderHot;
  canvas.FrameRect(client, border);
}

} // namespace KVL::UI
