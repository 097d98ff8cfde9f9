// The languages of the setup package, their preselection and the choice of one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KVL/Base/MUI.h"

namespace Setup::Core {

class TSetupResources;

struct TSetupLanguageItem {
  std::string Name;          // the language's Name (may be empty)
  uint16_t LangId = 0;
  int Value = -1;            // index of its file in TSetupResources::Languages()
  KVL::MUI::TKVLIconData Icon;  // empty when the language has no usable icon
};

// Every language file of the setup package, sorted by name ignoring case; a later file with
// an equal name goes after the earlier one. Files missing from the package are left out.
std::vector<TSetupLanguageItem> EnumerateLanguages(TSetupResources& resources);
// The index of the first item of uiLanguage, else of 1033, else 0; -1 for an empty list.
int PreselectLanguage(const std::vector<TSetupLanguageItem>& items, uint16_t uiLanguage);

// The dialog that lets the user choose; given the resources the items come from, the items
// and the preselected index, returns the selected index. The user-interface layer installs it.
using TSetupLanguageDialogHook =
    std::function<int(TSetupResources& resources, const std::vector<TSetupLanguageItem>& items, int preselected)>;
void SetLanguageDialog(TSetupLanguageDialogHook dialog);

// The chosen language file name: the preselection, shown in the dialog unless autoRun or
// no dialog is installed. "English.lng" when there is no language at all.
std::string SelectLanguage(TSetupResources& resources, bool autoRun);

} // namespace Setup::Core
