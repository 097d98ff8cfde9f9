// The installer's language dialog: the setup package's languages, and the choice it gives SelectLanguage.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "KVL/Base/Platform/Shell.h"
#include "KVL/UI/ComboBox.h"
#include "setup/core/Languages.h"
#include "setup/core/Resources.h"
#include "setup/ui/LanguageDialog.h"
#include "tests/setup/SetupFixture.h"
#include "tests/ui/DialogsTestUtil.h"
#include "tests/ui/ToolkitFixture.h"

using namespace Setup::Core;
using namespace KVL::UI;
using DialogsTest::HostOf;
using SetupTest::MakePackage;

namespace {

std::unique_ptr<TSetupResources> MakeResources() {
  auto lang = [](const char* name, int id) {
    return std::string("[File]\r\nName=") + name + "\r\nLangId=" + std::to_string(id) + "\r\n";
  };
  return std::make_unique<TSetupResources>(
      MakePackage({{"Install.xml", "<x><product><Settings><s name='ProductName' value='ONDU'/></Settings></product></x>"},
                   {"English.lng", lang("English", 1033)},
                   {"German.lng", lang("Deutsch", 1031)},
                   {"Russian.lng", lang("Russian", 1049)},
                   {"Russian2.lng", lang("russian", 1049)}}),
      MakePackage({}));
}

// Installs the dialog for a test and takes it away again.
struct TInstalledDialog {
  TInstalledDialog() { InstallLanguageDialog(); }
  ~TInstalledDialog() { SetLanguageDialog(nullptr); }
  TInstalledDialog(const TInstalledDialog&) = delete;
  TInstalledDialog& operator=(const TInstalledDialog&) = delete;
};

} // namespace

class SetupLanguageDialog : public ToolkitTest::TToolkitTest {};

TEST_F(SetupLanguageDialog, ListsThePackagesLanguagesAsTheCoreOrdersThem) {
  auto resources = MakeResources();
  TSetupLanguageDialog dialog(*resources);
  const std::vector<TSetupLanguageItem> items = EnumerateLanguages(*resources);
  ASSERT_EQ(dialog.ComboBox()->ItemCount(), static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    const TKVLComboItem& item = dialog.ComboBox()->Items(static_cast<int>(i));
    EXPECT_EQ(item.Text, items[i].Name) << i;
    EXPECT_EQ(item.Value, items[i].Value) << i;
  }
  EXPECT_EQ(resources->Languages().Strings(dialog.ComboBox()->Items(0).Value), "German.lng");
}

TEST_F(SetupLanguageDialog, SelectLanguageTakesTheDialogsSelectionHoweverItCloses) {
  auto resources = MakeResources();
  // Deutsch, English, and the two Russian files in the order of the languages list.
  const std::vector<TSetupLanguageItem> items = EnumerateLanguages(*resources);
  const int pre = PreselectLanguage(items, KVL::Platform::UserDefaultUILanguage());
  const std::string preselected = resources->Languages().Strings(items[static_cast<size_t>(pre)].Value);
  const std::string last = resources->Languages().Strings(items.back().Value);
  TInstalledDialog installed;
  struct Case {
    const char* what;
    bool autoRun;
    std::function<void(TKVLForm&)> user;
    int shown;
    std::string file;
  };
  const auto pickLast = [](TKVLForm& f) { HostOf(f).Key(TKVLKey::kEnd); };
  const Case cases[] = {
      {"last item, then OK", false, [&](TKVLForm& f) { pickLast(f); HostOf(f).Key(TKVLKey::kEnter); }, 1, last},
      {"last item, then the close box", false, [&](TKVLForm& f) { pickLast(f); HostOf(f).RequestClose(); }, 1, last},
      {"first item through the popup", false,
       [](TKVLForm& f) {
         HostOf(f).Key(TKVLKey::kF4);
         HostOf(f).Key(TKVLKey::kHome);
         HostOf(f).Key(TKVLKey::kEnter);
         HostOf(f).Key(TKVLKey::kEnter);
       },
       1, "German.lng"},
      {"closed untouched: the preselection", false, [](TKVLForm& f) { HostOf(f).RequestClose(); }, 1, preselected},
      {"unattended: never shown", true, [](TKVLForm&) {}, 0, preselected},
  };
  for (const Case& c : cases) {
    int shown = 0;
    SetHeadlessModalHandler([&](TKVLForm& form) {
      ++shown;
      EXPECT_EQ(form.ClassName(), "TSetupLanguageDialog");
      c.user(form);
    });
    EXPECT_EQ(SelectLanguage(*resources, c.autoRun), c.file) << c.what;
    EXPECT_EQ(shown, c.shown) << c.what;
  }
}
