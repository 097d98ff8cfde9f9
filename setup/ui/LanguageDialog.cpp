// The installer's language dialog and its installation as the language-selection hook.
#include "setup/ui/LanguageDialog.h"

#include "setup/core/Languages.h"
#include "setup/core/Resources.h"

namespace Setup::Core {

TSetupLanguageDialog::TSetupLanguageDialog(TSetupResources& resources) : resources_(resources) { Populate(); }

void TSetupLanguageDialog::EnumLangs(KVL::FileFormats::INI::TKVLIniFile& file, std::function<void(int value)> callback) {
  const auto& languages = resources_.Languages();
  for (int i = 0; i < languages.Count(); ++i) {
    auto stream = resources_.SetupPackage().Extract(languages.Strings(i));
    if (!stream) continue;
    file.LoadFromStream(*stream);
    callback(i);
  }
}

void InstallLanguageDialog() {
  SetLanguageDialog([](TSetupResources& resources, const std::vector<TSetupLanguageItem>& items, int preselected) {
    TSetupLanguageDialog dialog(resources);
    // The core's preselection, so that the dialog and an unattended run agree.
    if (preselected >= 0) dialog.SelectValue(items[static_cast<size_t>(preselected)].Value);
    // However the dialog was closed, its selection counts.
    dialog.ShowModal();
    const int value = dialog.SelectedValue();
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].Value == value) return static_cast<int>(i);
    return -1;
  });
}

} // namespace Setup::Core
