// Unit Setup.UI.Dialogs.Main: layout and painting of the wizard's header, step strip and footer.
#pragma once

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/Types.h"

namespace Setup::UI::Pages {
class TSetupCustomPage;
}

namespace Setup::UI::Dialogs::Main {

using namespace KVL::UI;

class TWizardForm;

// Reads the window's dots per inch, client area, page list and active page through Owner.
class TWizardCustomViewInfo {
public:
  explicit TWizardCustomViewInfo(TWizardForm& owner) : owner_(owner) {}
  virtual ~TWizardCustomViewInfo() = default;
  TWizardForm& Owner() const { return owner_; }

protected:
  // S(v): v given at 96 dots per inch, at the window's current value.
  int S(int value) const;

private:
  TWizardForm& owner_;
};

// The step strip under the header: solid up to the current step, dashed across it.
class TWizardProgressViewInfo : public TWizardCustomViewInfo {
public:
  using TWizardCustomViewInfo::TWizardCustomViewInfo;
  void Calculate(const TKVLRect& strip);
  void Draw(IKVLCanvas& canvas, Pages::TSetupCustomPage* activePage) const;

  const TKVLRect& Bounds() const { return bounds_; }
  const TKVLRect& ContentBounds() const { return contentBounds_; }
  int StepWidth() const { return stepWidth_; }

private:
  TKVLRect bounds_;
  TKVLRect contentBounds_;
  int stepWidth_ = 0;
};

// The regions of the window, the header with the page's title, and the footer.
class TWizardFormViewInfo : public TWizardCustomViewInfo {
public:
  // Loads "header.png" and "header_dark.png"; a missing one raises.
  explicit TWizardFormViewInfo(TWizardForm& owner);

  TKVLRect GetHeaderBounds() const;
  TKVLRect GetProgressBounds() const;
  TKVLRect GetHeaderTextBounds() const;
  TKVLRect GetFooterBounds() const;
  TKVLRect GetPageBounds(bool fullWindow) const;
  void Draw(IKVLCanvas& canvas) const;

  const TKVLBitmap& HeaderImage() const { return headerImage_; }
  const TKVLBitmap& HeaderImageDark() const { return headerImageDark_; }

private:
  TKVLBitmap headerImage_;
  TKVLBitmap headerImageDark_;
};

} // namespace Setup::UI::Dialogs::Main
