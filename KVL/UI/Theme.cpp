// The toolkit's light and dark colour tables and the one the current mode selects.
#include "KVL/UI/Theme.h"

#include "KVL/UI/Application.h"

namespace KVL::UI {

void FillLightStyle(TKVLStyleColors& c) {
  c.Window = TKVLColor(0xFFFFFF);
  c.Text = TKVLColor(0x1F1F1F);
  c.TextDisabled = TKVLColor(0xA0A0A0);
  c.ButtonFace = TKVLColor(0xF0F0F0);
  c.ButtonFaceHot = TKVLColor(0xE3E3E3);
  c.ButtonFacePressed = TKVLColor(0xD2D2D2);
  c.ButtonBorder = TKVLColor(0xB4B4B4);
  c.ButtonText = TKVLColor(0x1F1F1F);
  c.FocusFrame = TKVLColor(0xDE8C33);
  c.EditBackground = TKVLColor(0xFFFFFF);
  c.EditBorder = TKVLColor(0xB4B4B4);
  c.EditBorderHot = TKVLColor(0xDE8C33);
  c.Selection = TKVLColor(0xDE8C33);
  c.SelectionText = TKVLColor(0xFFFFFF);
  c.CheckBoxFace = TKVLColor(0xFFFFFF);
  c.CheckBoxBorder = TKVLColor(0x8A8A8A);
  c.CheckMark = TKVLColor(0xDE8C33);
  c.ProgressTrack = TKVLColor(0xE6E6E6);
  c.ProgressFill = TKVLColor(0xDE8C33);
  c.ScrollTrack = TKVLColor(0xF0F0F0);
  c.ScrollThumb = TKVLColor(0xC2C2C2);
  c.ScrollThumbHot = TKVLColor(0xA6A6A6);
  c.Link = TKVLColor(0x0066CC);
  c.WarningIcon = TKVLColor(0xE0A000);
  c.ErrorIcon = TKVLColor(0xD83B3B);
  c.InfoIcon = TKVLColor(0x2F7FD0);
}

void FillDarkStyle(TKVLStyleColors& c) {
  c.Window = TKVLColor(0x262626);
  c.Text = TKVLColor(0xF0F0F0);
  c.TextDisabled = TKVLColor(0x7A7A7A);
  c.ButtonFace = TKVLColor(0x3A3A3A);
  c.ButtonFaceHot = TKVLColor(0x474747);
  c.ButtonFacePressed = TKVLColor(0x2F2F2F);
  c.ButtonBorder = TKVLColor(0x5A5A5A);
  c.ButtonText = TKVLColor(0xF0F0F0);
  c.FocusFrame = TKVLColor(0xAC671C);
  c.EditBackground = TKVLColor(0x1E1E1E);
  c.EditBorder = TKVLColor(0x5A5A5A);
  c.EditBorderHot = TKVLColor(0xAC671C);
  c.Selection = TKVLColor(0xAC671C);
  c.SelectionText = TKVLColor(0xFFFFFF);
  c.CheckBoxFace = TKVLColor(0x1E1E1E);
  c.CheckBoxBorder = TKVLColor(0x8A8A8A);
  c.CheckMark = TKVLColor(0xDE8C33);
  c.ProgressTrack = TKVLColor(0x3A3A3A);
  c.ProgressFill = TKVLColor(0xAC671C);
  c.ScrollTrack = TKVLColor(0x2E2E2E);
  c.ScrollThumb = TKVLColor(0x555555);
  c.ScrollThumbHot = TKVLColor(0x6A6A6A);
  c.Link = TKVLColor(0x4DA3FF);
  c.WarningIcon = TKVLColor(0xF0B400);
  c.ErrorIcon = TKVLColor(0xE05555);
  c.InfoIcon = TKVLColor(0x4DA3FF);
}

const TKVLStyleColors& StyleColors() {
  static const TKVLStyleColors light = [] {
    TKVLStyleColors c;
    FillLightStyle(c);
    return c;
  }();
  static const TKVLStyleColors dark = [] {
    TKVLStyleColors c;
    FillDarkStyle(c);
    return c;
  }();
  return TKVLApplication::IsDarkMode() ? dark : light;
}

} // namespace KVL::UI
