// The language dialog: list building from language files, sorting, icons and preselection.
#include "KVL/UI/Dialogs/LanguageDialog.h"

#include <algorithm>

#include "KVL/Base/MUI.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/ComboBox.h"

namespace KVL::UI::Dialogs {

namespace {

constexpr uint16_t kEnglishUS = 1033;
constexpr int kImageSize = 16;

// Display names ordered ignoring case in the user's locale.
bool NameBefore(const std::string& a, const std::string& b) {
  return KVL::SysUtils::Utf8ToUtf16(KVL::SysUtils::UpperCase(a)) < KVL::SysUtils::Utf8ToUtf16(KVL::SysUtils::UpperCase(b));
}

} // namespace

TKVLCustomLanguageDialog::TKVLCustomLanguageDialog(TKVLControl* owner) : TKVLForm(owner) {
  SetCaption("Select Language");
  SetPosition(TKVLPosition::poScreenCenter);
  SetBorderStyle(TKVLBorderStyle::bsDialog);
  SetTopMost(true);
  SetDoubleBuffered(true);
  SetClientSize96(220, 75);

  ok_ = CreateOwned<TKVLButton>();
  ok_->SetName("OkButton");
  ok_->SetCaption("OK");
  ok_->SetBounds(0, 0, Width(), ScaleValue(25, Dpi()));
  ok_->SetMargins({60, 0, 60, 8});
  ok_->SetModalResult(KVL::Platform::mrOk);
  ok_->SetTabOrder(1);
  ok_->SetParent(this);
  ok_->SetAlign(TKVLAlign::alBottom);
  SetDefaultButton(ok_);

  combo_ = CreateOwned<TKVLComboBox>();
  combo_->SetName("LangComboBox");
  combo_->SetBounds(0, 0, Width(), ScaleValue(22, Dpi()));
  combo_->SetMargins({8, 8, 8, 8});
  combo_->SetTabOrder(0);
  combo_->SetParent(this);
  combo_->SetAlign(TKVLAlign::alTop);
}

void TKVLCustomLanguageDialog::SetVisible(bool visible) {
  TKVLForm::SetVisible(visible);
  if (visible && !ActiveControl()) SetActiveControl(combo_);
}

void TKVLCustomLanguageDialog::Populate() { Populate(KVL::Platform::UserDefaultUILanguage()); }

void TKVLCustomLanguageDialog::Populate(uint16_t uiLanguage) {
  combo_->ClearItems();
  langIds_.clear();
  KVL::FileFormats::INI::TKVLIniFile file;
  KVL::MUI::TKVLIconData icon;
  EnumLangs(file, [&](int value) {
    KVL::MUI::TKVLLocalizationInfo info;
    KVL::MUI::LangGetInfo(file, info, &icon);
    TKVLComboItem item{info.Name, -1, value};
    if (!icon.IsEmpty()) {
      try {
        item.ImageIndex = combo_->AddImage(DecodeIcon(icon.Bytes(), kImageSize));
      } catch (const EKVLGraphics&) {
        // An icon that does not decode only costs the picture.
      }
    }
    // After every item whose name is not greater: equal names keep their enumeration order.
    int at = 0;
    while (at < combo_->ItemCount() && !NameBefore(item.Text, combo_->Items(at).Text)) ++at;
    combo_->InsertItem(at, std::move(item));
    langIds_.insert(langIds_.begin() + at, static_cast<uint16_t>(info.LangId));
  });

  int selected = combo_->ItemCount() > 0 ? 0 : -1;
  for (uint16_t wanted : {uiLanguage, kEnglishUS}) {
    auto it = std::find(langIds_.begin(), langIds_.end(), wanted);
    if (it != langIds_.end()) {
      selected = static_cast<int>(it - langIds_.begin());
      break;
    }
  }
  combo_->SetItemIndex(selected);
}

int TKVLCustomLanguageDialog::SelectedValue() const {
  const int index = combo_->ItemIndex();
  return index < 0 ? -1 : combo_->Items(index).Value;
}

void TKVLCustomLanguageDialog::SelectValue(int value) {
  for (int i = 0; i < combo_->ItemCount(); ++i)
    if (combo_->Items(i).Value == value) {
      combo_->SetItemIndex(i);
      return;
    }
}

} // namespace KVL::UI::Dialogs
