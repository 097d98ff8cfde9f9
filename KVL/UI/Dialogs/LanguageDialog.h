// The language dialog: a drop-down list of languages with their icons and an OK button.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/UI/Form.h"

namespace KVL::UI {
class TKVLButton;
class TKVLComboBox;
} // namespace KVL::UI

namespace KVL::UI::Dialogs {

// Subclasses say where the languages come from (EnumLangs); Populate lists them sorted by
// name and preselects the user's language, else US English (1033), else the first.
class TKVLCustomLanguageDialog : public KVL::UI::TKVLForm {
public:
  explicit TKVLCustomLanguageDialog(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLCustomLanguageDialog"; }

  // Loads each language file into file and then calls callback with that language's value.
  virtual void EnumLangs(KVL::FileFormats::INI::TKVLIniFile& file, std::function<void(int value)> callback) = 0;

  // Shown with the focus in the list.
  void SetVisible(bool visible) override;

  // Fills the list from EnumLangs and preselects for the user's interface language.
  void Populate();
  void Populate(uint16_t uiLanguage);

  // The value of the selected language, -1 when nothing is selected.
  int SelectedValue() const;
  // Selects the item with that value (nothing when there is none).
  void SelectValue(int value);

  KVL::UI::TKVLComboBox* ComboBox() const { return combo_; }
  KVL::UI::TKVLButton* OkButton() const { return ok_; }
  // Language identifiers of the items, in list order.
  const std::vector<uint16_t>& LangIds() const { return langIds_; }

private:
  KVL::UI::TKVLComboBox* combo_ = nullptr;
  KVL::UI::TKVLButton* ok_ = nullptr;
  std::vector<uint16_t> langIds_;
};

} // namespace KVL::UI::Dialogs
