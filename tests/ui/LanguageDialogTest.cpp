// The language dialog: list order and pictures, preselection, its window, and how closing keeps the choice.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/ComboBox.h"
#include "KVL/UI/Dialogs/LanguageDialog.h"
#include "tests/ui/DialogsTestUtil.h"
#include "tests/ui/ToolkitFixture.h"

using namespace KVL::UI;
using KVL::UI::Dialogs::TKVLCustomLanguageDialog;
using DialogsTest::HostOf;

namespace {

// Languages from texts of language files; each one's value is its index.
class TTestLanguageDialog : public TKVLCustomLanguageDialog {
public:
  explicit TTestLanguageDialog(std::vector<std::string> files) : files_(std::move(files)) {}
  void EnumLangs(KVL::FileFormats::INI::TKVLIniFile& file, std::function<void(int value)> callback) override {
    for (size_t i = 0; i < files_.size(); ++i) {
      file.LoadFromString(files_[i]);
      callback(static_cast<int>(i));
    }
  }

private:
  std::vector<std::string> files_;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[3];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

// An icon file with one 16 x 16 PNG entry.
std::string IconHex() {
  const std::vector<uint8_t> png = EncodePNG(TKVLBitmap(16, 16, 0xFF00FF00));
  const uint32_t size = static_cast<uint32_t>(png.size());
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0,
                              static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24), 22, 0, 0, 0};
  ico.insert(ico.end(), png.begin(), png.end());
  return Hex(ico);
}

std::string Lang(const std::string& name, int langId, const std::string& iconHex = {}) {
  std::string s = "[File]\r\n";
  if (!name.empty()) s += "Name=" + name + "\r\n";
  s += "LangId=" + std::to_string(langId) + "\r\n";
  if (!iconHex.empty()) s += "Icon=" + iconHex + "\r\n";
  return s;
}

std::vector<std::string> Texts(const TKVLCustomLanguageDialog& dialog) {
  std::vector<std::string> texts;
  for (int i = 0; i < dialog.ComboBox()->ItemCount(); ++i) texts.push_back(dialog.ComboBox()->Items(i).Text);
  return texts;
}

} // namespace

class ToolkitLanguageDialog : public ToolkitTest::TToolkitTest {};

TEST_F(ToolkitLanguageDialog, ListIsSortedIgnoringCaseWithPicturesWhereIconsDecode) {
  // Accepted as an icon file by the language layer, but its image data is no picture.
  const std::string brokenIcon = "000001000100101000000100200004000000160000007F7F7F7F";
  TTestLanguageDialog dialog({Lang("Russian", 1049, IconHex()), Lang("english", 1033), Lang("", 1031),
                              Lang("RUSSIAN", 1049, "zz"), Lang("Zulu", 1077, brokenIcon)});
  dialog.Populate(1033);
  const TKVLComboBox& combo = *dialog.ComboBox();
  // A missing Name lists as an empty text; the later of two equal names goes below.
  EXPECT_EQ(Texts(dialog), (std::vector<std::string>{"", "english", "Russian", "RUSSIAN", "Zulu"}));
  const int values[] = {2, 1, 0, 3, 4};
  for (int i = 0; i < combo.ItemCount(); ++i) EXPECT_EQ(combo.Items(i).Value, values[i]) << i;
  ASSERT_EQ(combo.Images().size(), 1u);
  EXPECT_EQ(combo.Images()[0].Width(), 16);
  EXPECT_EQ(combo.Images()[0].Height(), 16);
  for (int i = 0; i < combo.ItemCount(); ++i) EXPECT_EQ(combo.Items(i).ImageIndex, i == 2 ? 0 : -1) << i;
  EXPECT_EQ(dialog.LangIds(), (std::vector<uint16_t>{1031, 1033, 1049, 1049, 1077}));
  // Populating again starts afresh.
  dialog.Populate(1033);
  EXPECT_EQ(combo.ItemCount(), 5);
}

TEST_F(ToolkitLanguageDialog, PreselectsTheUsersLanguageThenUSEnglishThenTheFirst) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    uint16_t ui;
    int value;
  };
  const Case cases[] = {
      {"Russian user", {Lang("English", 1033), Lang("Russian", 1049)}, 1049, 1},
      {"German user, no German", {Lang("English", 1033), Lang("Russian", 1049)}, 1031, 0},
      {"no US English: the first by name", {Lang("Russian", 1049), Lang("Deutsch", 1031)}, 1040, 1},
      {"British English is not US English", {Lang("Russian", 1049), Lang("English (UK)", 2057)}, 1040, 1},
      {"the first of two in list order", {Lang("Russisch", 1049), Lang("English", 1033), Lang("Russian", 1049)}, 1049, 2},
      {"nothing to select", {}, 1049, -1},
  };
  for (const Case& c : cases) {
    TTestLanguageDialog dialog(c.files);
    dialog.Populate(c.ui);
    EXPECT_EQ(dialog.SelectedValue(), c.value) << c.what;
  }
}

TEST_F(ToolkitLanguageDialog, WindowLayoutAtTwoResolutions) {
  struct Case { int dpi; TKVLSize client; TKVLRect ok; TKVLRect combo; };
  const Case cases[] = {
      {96, {220, 75}, {60, 42, 160, 67}, {8, 8, 212, 30}},
      {144, {330, 113}, {90, 63, 240, 101}, {12, 12, 318, 45}},
  };
  for (const Case& c : cases) {
    TKVLApplication::SetScreenDpi(c.dpi);
    TTestLanguageDialog dialog({Lang("English", 1033)});
    dialog.Populate(1033);
    dialog.HandleNeeded();
    EXPECT_EQ(dialog.Caption(), "Select Language");
    EXPECT_EQ(dialog.BorderStyle(), TKVLBorderStyle::bsDialog);
    EXPECT_EQ(dialog.Position(), TKVLPosition::poScreenCenter);
    EXPECT_TRUE(HostOf(dialog).TopMost());
    EXPECT_EQ((TKVLSize{dialog.ClientWidth(), dialog.ClientHeight()}), c.client) << c.dpi;
    EXPECT_EQ(dialog.OkButton()->BoundsRect(), c.ok) << c.dpi;
    EXPECT_EQ(dialog.OkButton()->Caption(), "OK");
    EXPECT_EQ(dialog.ComboBox()->BoundsRect(), c.combo) << c.dpi;
    EXPECT_EQ(dialog.DefaultButton(), dialog.OkButton());
  }
}

TEST_F(ToolkitLanguageDialog, EveryWayOfClosingKeepsTheSelection) {
  struct Case {
    const char* what;
    std::function<void(TKVLForm&, TTestLanguageDialog&)> close;
    int result;
  };
  const Case cases[] = {
      {"close box", [](TKVLForm& f, TTestLanguageDialog&) { HostOf(f).RequestClose(); }, KVL::Platform::mrCancel},
      {"OK button", [](TKVLForm& f, TTestLanguageDialog& d) { HostOf(f).ClickControl(*d.OkButton()); },
       KVL::Platform::mrOk},
      {"Enter", [](TKVLForm& f, TTestLanguageDialog&) { HostOf(f).Key(TKVLKey::kEnter); }, KVL::Platform::mrOk},
  };
  for (const Case& c : cases) {
    TTestLanguageDialog dialog({Lang("English", 1033), Lang("Russian", 1049), Lang("Deutsch", 1031)});
    dialog.Populate(1033);
    ASSERT_EQ(dialog.SelectedValue(), 0);
    bool handled = false;
    SetHeadlessModalHandler([&](TKVLForm& form) {
      handled = true;
      // Deutsch, English, Russian: Down moves from English to Russian.
      HostOf(form).Key(TKVLKey::kDown);
      c.close(form, dialog);
    });
    EXPECT_EQ(dialog.ShowModal(), c.result) << c.what;
    EXPECT_TRUE(handled);
    EXPECT_EQ(dialog.SelectedValue(), 1) << c.what;
  }
}
