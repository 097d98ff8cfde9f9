// The toolkit's colour roles in a light and a dark style; controls draw only from these.
#pragma once

#include "KVL/UI/Types.h"

namespace KVL::UI {

struct TKVLStyleColors {
  TKVLColor Window;            // form and dialog background
  TKVLColor Text;              // labels, captions, edit text
  TKVLColor TextDisabled;      // greyed captions and hints
  TKVLColor ButtonFace;
  TKVLColor ButtonFaceHot;     // under the mouse
  TKVLColor ButtonFacePressed;
  TKVLColor ButtonBorder;
  TKVLColor ButtonText;
  TKVLColor FocusFrame;        // keyboard focus and the default button's frame
  TKVLColor EditBackground;    // edits, memos, drop-down lists, the rich viewer
  TKVLColor EditBorder;
  TKVLColor EditBorderHot;
  TKVLColor Selection;         // selected text and list items
  TKVLColor SelectionText;
  TKVLColor CheckBoxFace;      // the box and the radio circle
  TKVLColor CheckBoxBorder;
  TKVLColor CheckMark;
  TKVLColor ProgressTrack;
  TKVLColor ProgressFill;
  TKVLColor ScrollTrack;
  TKVLColor ScrollThumb;
  TKVLColor ScrollThumbHot;
  TKVLColor Link;              // addresses in labels and documents
  TKVLColor WarningIcon;
  TKVLColor ErrorIcon;         // the message dialog's error sign
  TKVLColor InfoIcon;          // its information and question signs
};

// The two styles, each filling the whole table.
void FillLightStyle(TKVLStyleColors& colors);
void FillDarkStyle(TKVLStyleColors& colors);

// The style of the current mode (TKVLApplication::IsDarkMode), program-wide, main thread.
const TKVLStyleColors& StyleColors();

} // namespace KVL::UI
