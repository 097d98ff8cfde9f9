// A single-line text edit, optionally with buttons embedded at its right end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLEdit;

// A button drawn inside the edit's frame at its right end.
struct TKVLEditButton {
  std::string Caption;
  int Width = 0;  // at 96 dots per inch
  std::function<void(TKVLEdit&)> OnClick;
};

class TKVLEdit : public TKVLControl {
public:
  explicit TKVLEdit(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLEdit"; }
  const std::string& Text() const { return text_; }
  // From code as well as typing: OnChange runs whenever the text changes.
  void SetText(const std::string& text);
  std::function<void(TKVLEdit&)> OnChange;

  // Returns the button's index.
  int AddButton(TKVLEditButton button);
  TKVLEditButton& Buttons(int index) { return buttons_[index]; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  // The button's rectangle in the edit's coordinates.
  TKVLRect ButtonRect(int index) const;

  // Caret and selection, in bytes of Text (always on character boundaries).
  size_t CaretPos() const { return caret_; }
  void SetCaretPos(size_t pos);
  void SelectAll();

  // Read-only: the text can be selected and copied, not changed by the user.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // The most characters (not bytes) typing and pasting may make; 0 for no limit.
  size_t MaxLength() const { return maxLength_; }
  void SetMaxLength(size_t characters) { maxLength_ = characters; }

  // The clipboard (Ctrl+C or Ctrl+Insert, Ctrl+X or Shift+Delete, Ctrl+V or Shift+Insert,
  // Ctrl+A). Pasted line breaks become spaces, those at either end are dropped; a paste
  // too long for MaxLength is cut short. Changes run OnChange as typing does.
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();

  bool CanFocus() const override;
  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;
  bool KeyChar(const std::string& utf8) override;
  void MouseMove(TKVLPoint pt, TKVLShiftState shift) override;
  void MouseLeave() override;
  void FocusChanged(bool focused) override;

  // The selected bytes of Text (empty without a selection).
  std::string SelectedText() const;
  // The part of the edit the text is drawn in (inside the frame, left of the buttons).
  TKVLRect TextRect() const;
  // How far the text is scrolled to the left, in pixels.
  int ScrollOffset() const { return scrollX_; }

protected:
  void Resized() override;

private:
  void ReplaceSelection(const std::string& with);
  // Typed or pasted text: unless read-only, cut to MaxLength and put in place of the selection.
  void InsertText(const std::string& text);
  void MoveCaret(size_t pos, bool extend);
  size_t CaretFromX(int x) const;
  int TextWidth(size_t bytes) const;
  void ScrollToCaret();
  int ButtonAt(TKVLPoint pt) const;

  std::string text_;
  std::vector<TKVLEditButton> buttons_;
  size_t caret_ = 0;
  size_t selStart_ = 0;
  int pressedButton_ = -1;
  int hotButton_ = -1;
  int scrollX_ = 0;
  bool selecting_ = false;
  bool readOnly_ = false;
  size_t maxLength_ = 0;
};

} // namespace KVL::UI
