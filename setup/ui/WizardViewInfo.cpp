// The wizard's regions at the window's scale, and the painting of header, strip and footer.
#include "setup/ui/WizardViewInfo.h"

#include <cmath>

#include "KVL/UI/Application.h"
#include "setup/ui/Main.h"
#include "setup/ui/StandardPages.h"

namespace Setup::UI::Dialogs::Main {

using Pages::WizardColors;

int TWizardCustomViewInfo::S(int value) const { return ScaleValue(value, owner_.CurrentDpi()); }

// ---- TWizardProgressViewInfo ----

void TWizardProgressViewInfo::Calculate(const TKVLRect& strip) {
  bounds_ = strip;
  contentBounds_ = {strip.Left, strip.Top + S(2), strip.Right, strip.Bottom - S(2)};
  // Two pages or fewer (an unattended run) keep the old width: the strip shows no steps.
  const int count = Owner().Pages().Count();
  if (count > 2) stepWidth_ = contentBounds_.Width() / (count - 1);
}

void TWizardProgressViewInfo::Draw(IKVLCanvas& canvas, Pages::TSetupCustomPage* activePage) const {
  canvas.FillRect(bounds_, WizardColors.StripBackground);
  const int index = Owner().Pages().IndexOf(activePage);
  if (index < 0) return;
  const int segmentLeft = contentBounds_.Left + index * stepWidth_;
  // Dash size and pitch stay in pixels at every scale.
  constexpr int kDashWidth = 3;
  constexpr int kDashPitch = 6;
  const int dashes = stepWidth_ / kDashPitch;
  for (int d = 0; d < dashes; ++d) {
    const int x = segmentLeft + d * kDashPitch;
    canvas.FillRect({x, contentBounds_.Top, x + kDashWidth, contentBounds_.Bottom}, WizardColors.Accent);
  }
  const int progress = activePage->GetProgress();
  const int fillRight = segmentLeft + static_cast<int>(std::lround(static_cast<double>(stepWidth_) * progress / 100.0));
  if (fillRight > contentBounds_.Left)
    canvas.FillRect({contentBounds_.Left, contentBounds_.Top, fillRight, contentBounds_.Bottom}, WizardColors.Accent);
}

// ---- TWizardFormViewInfo ----

TWizardFormViewInfo::TWizardFormViewInfo(TWizardForm& owner)
    : TWizardCustomViewInfo(owner),
      headerImage_(Pages::LoadSetupImage("header.png")),
      headerImageDark_(Pages::LoadSetupImage("header_dark.png")) {}

TKVLRect TWizardFormViewInfo::GetHeaderBounds() const { return {0, 0, Owner().ClientWidth(), S(53)}; }

TKVLRect TWizardFormViewInfo::GetProgressBounds() const {
  const TKVLRect header = GetHeaderBounds();
  return {0, header.Bottom, header.Right, header.Bottom + S(10)};
}

TKVLRect TWizardFormViewInfo::GetHeaderTextBounds() const {
  const TKVLRect header = GetHeaderBounds();
  return {header.Left + S(144), header.Top + S(6), header.Right - S(16), header.Bottom - S(12)};
}

TKVLRect TWizardFormViewInfo::GetFooterBounds() const {
  const int height = Owner().ClientHeight();
  return {0, height - S(44), Owner().ClientWidth(), height};
}

TKVLRect TWizardFormViewInfo::GetPageBounds(bool fullWindow) const {
  const TKVLRect footer = GetFooterBounds();
  const int top = fullWindow ? 0 : GetProgressBounds().Bottom + S(4);
  return {0, top, footer.Right, footer.Top};
}

void TWizardFormViewInfo::Draw(IKVLCanvas& canvas) const {
  const TKVLRect client = Owner().ClientRect();
  canvas.FillRect(client, WizardColors.PageBackground);

  const TKVLRect footer = GetFooterBounds();
  canvas.FillRect(footer, WizardColors.Accent);
  // Two lines along the footer's top edge, one pixel each at every scale.
  for (int i = 0; i < 2; ++i)
    canvas.DrawLine({footer.Left, footer.Top + i}, {footer.Right, footer.Top + i}, WizardColors.Accent);

  const TKVLRect header = GetHeaderBounds();
  canvas.DrawPicture(TKVLApplication::IsDarkMode() ? headerImageDark_ : headerImage_, header);
  canvas.FillRect({header.Left, header.Bottom - S(1), header.Right, header.Bottom}, WizardColors.Accent);

  Pages::TSetupCustomPage* active = Owner().ActivePage();
  auto* page = dynamic_cast<Pages::TSetupPage*>(active);
  if (!page) return;
  const TKVLRect text = GetHeaderTextBounds();
  TKVLFont font;
  font.Name = "Segoe UI";
  font.SizePt = 11;
  if (!page->Title.empty()) {
    const int h = canvas.MeasureText(page->Title, font).Height;
    canvas.DrawText(page->Title, {text.Left, text.Top, text.Right, text.Top + h}, font, WizardColors.HeaderText,
                    TKVLTextAlign::taRight);
  }
  font.SizePt = 8;
  if (!page->Description.empty()) {
    const int h = canvas.MeasureText(page->Description, font).Height;
    canvas.DrawText(page->Description, {text.Left, text.Bottom - h, text.Right, text.Bottom}, font,
                    WizardColors.HeaderText, TKVLTextAlign::taRight);
  }
}

} // namespace Setup::UI::Dialogs::Main
