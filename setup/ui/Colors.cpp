// The wizard's colour table in its dark and light themes.
#include "KVL/UI/Application.h"
#include "setup/ui/Pages.h"

namespace Setup::UI::Pages {

TWizardColors WizardColors;

void UpdateColors() {
  if (TKVLApplication::IsDarkMode()) {
    WizardColors = {TKVLColor(0xAC671C), TKVLColor(0x262626), TKVLColor(0x2A2A2A), TKVLColor(0xFFFFFF),
                    TKVLColor(0xF0F0F0)};
  } else {
    WizardColors = {TKVLColor(0xDE8C33), TKVLColor(0xFFFFFF), TKVLColor(0xFFFFFF), TKVLColor(0x000000),
                    TKVLColor(0xF0F0F0)};
  }
}

} // namespace Setup::UI::Pages
