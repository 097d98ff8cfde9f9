// The toolkit's control base: ownership, parent, name, caption, bounds, docking, fonts, focus and input.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVL/UI/Canvas.h"
#include "KVL/UI/Types.h"

namespace KVL::UI {

class TKVLForm;

// Every control is owned by its owner (freed with it) or, without an owner, by whoever made
// it (a std::unique_ptr). Parent and owner are separate: the parent shows the control.
// Bounds are pixels at the control's current dots per inch, relative to the parent's client
// area; callers that hold 96-dpi geometry scale it with ScaleRect(…, Dpi()).
class TKVLControl {
public:
  explicit TKVLControl(TKVLControl* owner = nullptr);
  virtual ~TKVLControl();
  TKVLControl(const TKVLControl&) = delete;
  TKVLControl& operator=(const TKVLControl&) = delete;

  // Makes a control of class T owned by this one (its owner is this), and returns it.
  template <class T, class... Args>
  T* CreateOwned(Args&&... args) {
    auto control = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = control.get();
    AdoptComponent(std::move(control));
    return raw;
  }
  // Takes ownership of a control whose owner is this one.
  void AdoptComponent(std::unique_ptr<TKVLControl> control);
  // Frees an owned control now (it leaves its parent first).
  void DestroyComponent(TKVLControl* control);
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TKVLControl* Components(int index) const { return components_[index].get(); }
  TKVLControl* Owner() const { return owner_; }

  TKVLControl* Parent() const { return parent_; }
  void SetParent(TKVLControl* parent);
  int ControlCount() const { return static_cast<int>(children_.size()); }
  TKVLControl* Controls(int index) const { return children_[index]; }
  // The form this control is shown in, if any.
  TKVLForm* FindForm();

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  // The class name as the wizard names pages and hosts name windows ("TKVLButton").
  virtual std::string ClassName() const { return "TKVLControl"; }

  // Whether the control has a caption that translation sets (labels, buttons, boxes, forms).
  virtual bool HasCaption() const { return false; }
  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& caption);

  const TKVLRect& BoundsRect() const { return bounds_; }
  void SetBounds(const TKVLRect& rect);
  void SetBounds(int left, int top, int width, int height) { SetBounds(TKVLRect::FromBounds(left, top, width, height)); }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  // (0, 0, width, height).
  TKVLRect ClientRect() const { return {0, 0, bounds_.Width(), bounds_.Height()}; }
  // The rectangle in the form's client coordinates.
  TKVLRect ScreenRectInForm() const;

  // Docking inside the parent: margins are given at 96 dpi and scaled when applied.
  TKVLAlign Align() const { return align_; }
  void SetAlign(TKVLAlign align);
  const TKVLMargins& Margins() const { return margins_; }
  void SetMargins(const TKVLMargins& margins);
  // Unscaled amounts by which this control's docking area is smaller than its client area.
  void SetAlignPadding(const TKVLMargins& padding);
  // Re-docks the children (also run after bounds, visibility or docking change).
  void Realign();

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and every parent up to the form.
  bool IsShowing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  bool IsEnabledInTree() const;

  // Fonts in points; with ParentFont the parent's font is used until SetFont.
  const TKVLFont& Font() const;
  void SetFont(const TKVLFont& font);
  bool ParentFont() const { return parentFont_; }
  // The text colour; without one the style's Text (or TextDisabled when disabled).
  std::optional<TKVLColor> FontColor() const { return fontColor_; }
  void SetFontColor(std::optional<TKVLColor> color);
  TKVLColor EffectiveTextColor() const;
  // Transparent controls paint nothing behind their content.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Dots per inch of the form the control is in; the application's screen value otherwise.
  int Dpi() const;

  // Keyboard focus and tab order (lower first among siblings).
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value) { tabStop_ = value; }
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }
  virtual bool CanFocus() const;
  void SetFocus();
  bool Focused() const;

  // Repaints (the whole window; the canvas backends are fast enough for that).
  void Invalidate();

  // Events for the owner's handlers.
  std::function<void(TKVLControl&)> OnClick;

  // Painting: Paint draws the control itself in its own coordinates; PaintTree draws it and
  // then its visible children, each translated and clipped to its bounds.
  virtual void Paint(IKVLCanvas& canvas);
  void PaintTree(IKVLCanvas& canvas);

  // Input, in the control's own coordinates. The form routes them: mouse to the deepest
  // enabled visible control under the pointer (or the one that took the press), keys to the
  // focused control. Return true when handled.
  virtual void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift);
  virtual void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift);
  virtual void MouseMove(TKVLPoint pt, TKVLShiftState shift);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual bool MouseWheel(int delta, TKVLPoint pt);  // delta: +1 per notch up
  virtual bool KeyDown(TKVLKey key, TKVLShiftState shift);
  virtual bool KeyChar(const std::string& utf8);
  // Whether Enter and Tab reach this control instead of the form (multi-line editors).
  virtual bool WantsKey(TKVLKey key) const;
  virtual void FocusChanged(bool focused);
  // A click of the control: runs OnClick.
  virtual void Click();
  bool MouseInside() const { return hot_; }
  bool MousePressed() const { return pressed_; }

  // Scaling by m/d after a change of dots per inch: bounds of the children; then every
  // control's ScaleChanged. Fonts in points need nothing.
  virtual void ChangeScale(int m, int d);
  virtual void ColorSchemeChanged();

  // The deepest visible, enabled child (or this) at pt, in this control's coordinates.
  TKVLControl* ControlAt(TKVLPoint pt);

protected:
  // After SetBounds, before children are re-docked.
  virtual void Resized();
  // This control's place on the form's window may have changed: its bounds or a parent's,
  // its visibility or a parent's, its parent, or the form's window itself. Controls that put
  // a system window over themselves follow here.
  virtual void PlacementChanged() {}
  // The area in which children are docked (the client area less the padding).
  virtual TKVLRect DockArea() const;
  // The box of a text field (edit, drop-down list): its background, and a border that shows
  // when the field is active (focused, or open) or under the pointer.
  void PaintFieldBox(IKVLCanvas& canvas, bool active) const;

private:
  friend class TKVLForm;
  void RemoveChild(TKVLControl* child);
  void DetachFromOwner();
  // PlacementChanged for this control and everything inside it.
  void NotifyPlacement();

  TKVLControl* owner_ = nullptr;
  TKVLControl* parent_ = nullptr;
  std::vector<std::unique_ptr<TKVLControl>> components_;
  std::vector<TKVLControl*> children_;
  std::string name_;
  std::string caption_;
  TKVLRect bounds_;
  TKVLAlign align_ = TKVLAlign::alNone;
  TKVLMargins margins_{3, 3, 3, 3};
  TKVLMargins alignPadding_;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentFont_ = true;
  TKVLFont font_;
  std::optional<TKVLColor> fontColor_;
  bool transparent_ = false;
  bool tabStop_ = false;
  int tabOrder_ = 0;
  bool hot_ = false;
  bool pressed_ = false;
  bool realigning_ = false;
};

} // namespace KVL::UI
