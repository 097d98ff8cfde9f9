// The installer's language dialog: the setup package's language files in the toolkit's dialog.
#pragma once

#include "KVL/UI/Dialogs/LanguageDialog.h"

namespace Setup::Core {

class TSetupResources;

// Lists the language files of the resources' languages list that the setup package holds;
// an item's value is the file's index in that list. Populated on construction.
class TSetupLanguageDialog : public KVL::UI::Dialogs::TKVLCustomLanguageDialog {
public:
  explicit TSetupLanguageDialog(TSetupResources& resources);
  std::string ClassName() const override { return "TSetupLanguageDialog"; }
  void EnumLangs(KVL::FileFormats::INI::TKVLIniFile& file, std::function<void(int value)> callback) override;

private:
  TSetupResources& resources_;
};

// Makes SelectLanguage ask the user through TSetupLanguageDialog.
void InstallLanguageDialog();

} // namespace Setup::Core
