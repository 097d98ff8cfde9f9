// The languages of the setup package, their preselection and the user's choice of one.
#include "setup/core/Languages.h"

#include <algorithm>
#include <mutex>

#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Resources.h"

namespace Setup::Core {

namespace {

constexpr uint16_t kEnglishUS = 1033;

std::mutex gDialogLock;
TSetupLanguageDialogHook gDialog;

// Orders display names ignoring case in the user's locale.
bool NameBefore(const std::string& a, const std::string& b) {
  return KVL::SysUtils::Utf8ToUtf16(KVL::SysUtils::UpperCase(a)) < KVL::SysUtils::Utf8ToUtf16(KVL::SysUtils::UpperCase(b));
}

} // namespace

std::vector<TSetupLanguageItem> EnumerateLanguages(TSetupResources& resources) {
  std::vector<TSetupLanguageItem> items;
  const auto& languages = resources.Languages();
  auto& package = resources.SetupPackage();
  for (int i = 0; i < languages.Count(); ++i) {
    auto stream = package.Extract(languages.Strings(i));
    if (!stream) continue;
    KVL::FileFormats::INI::TKVLIniFile file;
    file.LoadFromStream(*stream);
    TSetupLanguageItem item;
    KVL::MUI::TKVLLocalizationInfo info;
    KVL::MUI::LangGetInfo(file, info, &item.Icon);
    item.Name = info.Name;
    item.LangId = static_cast<uint16_t>(info.LangId);
    item.Value = i;
    // After every item whose name is not greater: equal names keep their enumeration order.
    auto at = std::find_if(items.begin(), items.end(),
                           [&](const TSetupLanguageItem& other) { return NameBefore(item.Name, other.Name); });
    items.insert(at, std::move(item));
  }
  return items;
}

int PreselectLanguage(const std::vector<TSetupLanguageItem>& items, uint16_t uiLanguage) {
  if (items.empty()) return -1;
  for (uint16_t wanted : {uiLanguage, kEnglishUS})
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].LangId == wanted) return static_cast<int>(i);
  return 0;
}

void SetLanguageDialog(TSetupLanguageDialogHook dialog) {
  std::lock_guard lock(gDialogLock);
  gDialog = std::move(dialog);
}

std::string SelectLanguage(TSetupResources& resources, bool autoRun) {
  std::vector<TSetupLanguageItem> items = EnumerateLanguages(resources);
  int selected = PreselectLanguage(items, KVL::Platform::UserDefaultUILanguage());
  TSetupLanguageDialogHook dialog;
  {
    std::lock_guard lock(gDialogLock);
    dialog = gDialog;
  }
  // However the dialog was closed, its selection counts.
  if (!autoRun && dialog) selected = dialog(resources, items, selected);
  if (selected < 0 || static_cast<size_t>(selected) >= items.size()) return "English.lng";
  return resources.Languages().Strings(items[static_cast<size_t>(selected)].Value);
}

} // namespace Setup::Core
