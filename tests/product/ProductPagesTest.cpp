// The player's wizard pages on the sample product: destination and kind, add-ons, integration, removal options.
#include <gtest/gtest.h>

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/product/ProductPages.h"
#include "setup/product/TextFormat.h"

using namespace KVL::UI;
using KVL::Platform::kPathDelim;
using Setup::Core::sfNoBackup;
using Setup::Core::sfPortable;
using Setup::Core::sfUpdate;
using Setup::Core::TSetup;
using Setup::Core::TSetupApplicationRepository;
using Setup::Product::ONDU::FormatText;
using Setup::Product::ONDU::TSetupPageAddons;
using Setup::Product::ONDU::TSetupPageIntegration;
using Setup::Product::ONDU::TSetupPageSetup;
using Setup::Product::ONDU::TSetupPageUninstallParams;
using Setup::UI::Pages::PageClass;
using Setup::UI::Pages::TSetupCustomPage;
using Setup::UI::Pages::TSetupPageClass;

namespace {

// The build's folders are POSIX paths; under wine the host's "/" is drive Z:.
std::string SampleSetupFile(const std::string& name) {
  std::string path = ONDU_SOURCE_DIR "/samples/ondu/SETUP/" + name;
#ifdef _WIN32
  path = "Z:" + path;
#endif
  for (char& c : path)
    if (KVL::Platform::IsPathDelimiter(c)) c = kPathDelim;
  return path;
}

// The sample's SETUP package as far as these pages read it.
SetupTest::TFiles SampleSetupFiles() {
  SetupTest::TFiles files;
  for (const char* name : {"Install.xml", "English.lng", "Russian.lng", "addons.ini", "addons.png", "License.rtf",
                           "wizard_light.png", "wizard_dark.png"})
    files.push_back({name, TestUtil::ReadWholeFile(SampleSetupFile(name))});
  return files;
}

// The sample's English.lng as the setup object reads it.
std::string EnglishText(const std::string& section, const std::string& key) {
  KVL::FileFormats::INI::TKVLIniFile ini;
  ini.LoadFromFile(SampleSetupFile("English.lng"));
  std::string text = ini.ReadString(section, key, "");
  const std::string var = "$NAME";
  for (size_t at = text.find(var); at != std::string::npos; at = text.find(var)) text.replace(at, var.size(), "ONDU");
  return text;
}

// Counts the button updates pages ask the wizard for.
class TUpdateCounter : public Setup::Core::IInstallerNotify {
public:
  void Notify(int32_t code, intptr_t) override {
    if (code == Setup::Core::snUpdateButtons) ++Count;
  }
  int Count = 0;
};

class ProductPages : public ::testing::Test {
protected:
  static void SetUpTestSuite() { TKVLApplication::SetHostFactory(CreateHeadlessHost); }
  void TearDown() override { SetHeadlessModalHandler(nullptr); }

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const std::string& params = "",
                                                      const SetupTest::TFiles& setupFiles = SampleSetupFiles(),
                                                      const SetupTest::TFiles& productFiles = {}) {
    auto f = std::make_unique<SetupTest::TSetupFixture>(setupFiles, productFiles, params, ProductTest::OnduClass());
    f->Setup().Resources().LoadLanguage("English.lng");
    return f;
  }
  template <class T>
  static std::unique_ptr<T> MakePage() {
    std::unique_ptr<TSetupCustomPage> page = PageClass<T>()();
    return std::unique_ptr<T>(dynamic_cast<T*>(page.release()));
  }
  std::string MakeFolder(const std::string& name) {
    std::string folder = machine_.Root().File(name + "/");
    EXPECT_TRUE(KVL::Platform::ForceDirectories(folder));
    return folder;
  }
  static std::vector<std::string> WarningTexts(const TSetupPageSetup& page) {
    std::vector<std::string> texts;
    for (const TKVLValidationLabel* w : page.Warnings) texts.push_back(w->Caption());
    return texts;
  }

  ProductTest::TScratchMachine machine_;
};

TEST_F(ProductPages, SetupPageOffersTheUpdateOfAnUpdatableInstallation) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  const std::string dest = MakeFolder("Player");
  TestUtil::WriteWholeFile(dest + "ONDU.ini", "[System]\r\nVersion=5300\r\nUserMode=1\r\n");
  setup.SetDestPath(dest);
  ASSERT_TRUE(setup.HasFlag(sfUpdate));
  auto page = MakePage<TSetupPageSetup>();
  page->Prepare();
  EXPECT_EQ(page->PathEdit->Text(), setup.DestPath());
  EXPECT_TRUE(page->CB1->Visible());
  EXPECT_TRUE(page->CB1->Checked());
  EXPECT_TRUE(page->CB4->Visible());
  EXPECT_TRUE(page->CB4->Checked());
  EXPECT_FALSE(page->CB2->Enabled());
  EXPECT_FALSE(page->CB3->Enabled());
  EXPECT_TRUE(page->CB2->Checked());
  EXPECT_EQ(WarningTexts(*page), std::vector<std::string>{EnglishText("PageSetup", "W1")});

  // No backup: the box only sets the flag.
  page->CB4->Click();
  EXPECT_TRUE(setup.HasFlag(sfNoBackup));
  EXPECT_TRUE(setup.HasFlag(sfUpdate));

  page->CB1->Click();
  EXPECT_FALSE(setup.HasFlag(sfUpdate));
  EXPECT_TRUE(page->CB1->Visible());
  EXPECT_FALSE(page->CB1->Checked());
  EXPECT_FALSE(page->CB4->Visible());
  EXPECT_TRUE(page->CB2->Enabled());
  EXPECT_TRUE(page->CB3->Enabled());
  EXPECT_EQ(WarningTexts(*page), std::vector<std::string>{EnglishText("PageSetup", "W3")});
  // Warnings are owned by the page and replaced, not piled up.
  EXPECT_EQ(page->Warnings.size(), 1u);
  for (const TKVLValidationLabel* w : page->Warnings) {
    EXPECT_EQ(w->Parent(), page.get());
    EXPECT_EQ(w->Align(), TKVLAlign::alBottom);
    EXPECT_TRUE(w->Font().Bold);
  }
}

TEST_F(ProductPages, SetupPageWarnsOfAnotherInstallationOnlyWhenOneExists) {
  struct TCase {
    const char* name;
    const char* destIni;    // ONDU.ini in the destination; null: none
    bool registeredElsewhere;
    bool updateOffered;
    bool warnOther;
  };
  const TCase cases[] = {
      {"nothing installed", nullptr, false, false, false},
      {"3.40 in the destination", "[System]\r\nVersion=3400\r\n", false, false, true},
      {"5.40 in the destination", "[System]\r\nVersion=5400\r\n", false, false, true},
      {"registered elsewhere", nullptr, true, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup();
    TSetup& setup = f->Setup();
    const std::string dest = MakeFolder(std::string("dest-") + c.name);
    if (c.destIni) TestUtil::WriteWholeFile(dest + "ONDU.ini", c.destIni);
    const std::string other = MakeFolder("other");
    if (c.registeredElsewhere) TSetupApplicationRepository::Register("ONDU", other + "Uninstall.exe", "5.30", "", "");
    setup.SetDestPath(dest);
    auto page = MakePage<TSetupPageSetup>();
    page->Prepare();
    EXPECT_EQ(page->CB1->Visible(), c.updateOffered);
    EXPECT_FALSE(page->CB4->Visible());
    std::vector<std::string> expected;
    if (c.warnOther) expected.push_back(EnglishText("PageSetup", "W3"));
    EXPECT_EQ(WarningTexts(*page), expected);
    TSetupApplicationRepository::Unregister("ONDU");
  }
}

TEST_F(ProductPages, PortableMovesOnlyTheProgramFilesDestination) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  auto& info = setup.ProductInfo();
  const std::string standard = info.GetDefaultPath(), portable = info.GetDefaultPortablePath();
  ASSERT_TRUE(setup.IsInProgramFiles());
  auto page = MakePage<TSetupPageSetup>();
  page->Prepare();
  ASSERT_TRUE(page->CB2->Checked());

  page->CB3->Click();
  EXPECT_EQ(setup.DestPath(), portable);
  EXPECT_EQ(page->PathEdit->Text(), portable);
  EXPECT_TRUE(setup.HasFlag(sfPortable));
  EXPECT_TRUE(page->CB3->Checked());
  EXPECT_FALSE(page->CB2->Checked());

  page->CB2->Click();
  EXPECT_EQ(setup.DestPath(), standard);
  EXPECT_FALSE(setup.HasFlag(sfPortable));

  // A folder the user typed while portable stays when standard is chosen again.
  page->CB3->Click();
  const std::string typed = MakeFolder("Portable Players") + "ONDU";
  page->PathEdit->SetText(typed);
  EXPECT_EQ(setup.DestPath(), typed + kPathDelim);
  EXPECT_EQ(page->PathEdit->Text(), typed);  // the edit keeps what was typed
  EXPECT_TRUE(setup.HasFlag(sfPortable));
  page->CB2->Click();
  EXPECT_EQ(setup.DestPath(), typed + kPathDelim);
  EXPECT_FALSE(setup.HasFlag(sfPortable));

  // A portable choice outside program files keeps its folder.
  page->CB3->Click();
  EXPECT_EQ(setup.DestPath(), typed + kPathDelim);
  EXPECT_TRUE(setup.HasFlag(sfPortable));
}

TEST_F(ProductPages, TypingAProgramFilesPathEndsPortable) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  const std::string programFiles = setup.Resources().ProgramFilesFolder();
  auto page = MakePage<TSetupPageSetup>();
  page->Prepare();
  page->CB3->Click();
  ASSERT_TRUE(setup.HasFlag(sfPortable));
  ASSERT_FALSE(setup.IsInProgramFiles());

  const std::string typed = programFiles + "Media";
  page->PathEdit->SetText(typed);
  EXPECT_EQ(setup.DestPath(), typed + kPathDelim);
  EXPECT_FALSE(setup.HasFlag(sfPortable));
  EXPECT_TRUE(page->CB2->Checked());
  EXPECT_FALSE(page->CB3->Checked());
  EXPECT_EQ(page->PathEdit->Text(), typed);
}

TEST_F(ProductPages, ClearingThePathDisablesNext) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  TUpdateCounter counter;
  setup.AddListener(&counter);
  auto page = MakePage<TSetupPageSetup>();
  page->Prepare();
  EXPECT_TRUE(page->CanGoNext());

  const int before = counter.Count;
  page->PathEdit->SetText("");
  EXPECT_EQ(setup.DestPath(), "");
  EXPECT_FALSE(page->CanGoNext());
  // The wizard hears about it, so its Next button follows.
  EXPECT_GT(counter.Count, before);

  const std::string folder = MakeFolder("Typed");
  page->PathEdit->SetText(folder);
  EXPECT_EQ(setup.DestPath(), folder);
  EXPECT_TRUE(page->CanGoNext());
  setup.RemoveListener(&counter);
}

TEST_F(ProductPages, BrowsingAppendsTheProductNameUnlessTheFolderCarriesIt) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  const std::string start = setup.DestPath();
  struct TCase {
    const char* folder;  // below the scratch root; null: the dialog is cancelled
    const char* expected;
  };
  const TCase cases[] = {
      {"Apps", "Apps/ONDU/"},
      {"Apps/ondu", "Apps/ondu/"},
      {"Apps/Ondu", "Apps/Ondu/"},
      {"Apps/ONDU Player", "Apps/ONDU Player/ONDU/"},
      {nullptr, nullptr},
  };
  auto page = MakePage<TSetupPageSetup>();
  page->Prepare();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.folder ? c.folder : "cancelled");
    setup.SetDestPath(start);
    page->Prepare();
    std::string chosen, shownAt;
    if (c.folder) chosen = MakeFolder(c.folder);
    // The user picks the folder by typing it into the dialog's path box and confirming.
    SetHeadlessModalHandler([&](TKVLForm& form) {
      shownAt = "shown";
      if (chosen.empty()) return;
      for (int i = 0; i < form.ComponentCount(); ++i)
        if (auto* edit = dynamic_cast<TKVLEdit*>(form.Components(i))) {
          edit->SetFocus();
          edit->SetText(chosen);
        }
      HeadlessHostOf(form)->Key(TKVLKey::kEnter);
    });
    page->PathEdit->Buttons(0).OnClick(*page->PathEdit);
    EXPECT_EQ(shownAt, "shown");
    const std::string expected = c.expected ? machine_.Root().File(c.expected) : start;
    EXPECT_EQ(setup.DestPath(), expected);
    EXPECT_EQ(page->PathEdit->Text(), expected);
  }
}

TEST_F(ProductPages, IntegrationBoxesStartFromTheEarlierChoicesAndStoreInOrder) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  auto& settings = setup.Settings();
  auto page = MakePage<TSetupPageIntegration>();
  const std::string portableDest = MakeFolder("Portable");
  struct TCase {
    const char* name;
    bool portable;
    const char* integration;  // the Integration section before the page is entered
    bool boxes[5];            // CB1..CB5
  };
  const TCase cases[] = {
      {"standard, fresh", false, "", {true, true, true, true, true}},
      {"portable, fresh", true, "", {false, false, false, false, false}},
      {"standard, earlier choices", false, "ShortcutDesktop=0\r\nRegisterContextMenu=0\r\n",
       {false, true, true, true, false}},
      {"portable, earlier choices", true, "AssociateWithFiles=1\r\n", {false, false, true, false, false}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.portable) {
      setup.SetDestPath(portableDest);
      setup.SetFlag(sfPortable, true);
    } else {
      setup.SetDestPath(setup.ProductInfo().GetDefaultPath());
      setup.SetFlag(sfPortable, false);
    }
    EXPECT_EQ(page->IsAvailable(), !c.portable);
    settings.WriteSectionText("Integration", c.integration);
    page->Prepare();
    const TKVLCheckBox* boxes[] = {page->CB1, page->CB2, page->CB3, page->CB4, page->CB5};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(boxes[i]->Checked(), c.boxes[i]) << "CB" << i + 1;
    // Entering writes nothing.
    EXPECT_EQ(settings.ReadSectionText("Integration"), c.integration);
  }

  settings.WriteSectionText("Integration", "");
  setup.SetDestPath(setup.ProductInfo().GetDefaultPath());
  page->Prepare();
  page->CB3->Click();
  EXPECT_EQ(settings.ReadSectionText("Integration"),
            "ShortcutDesktop=1\r\nShortcutStartMenu=1\r\nAssociateWithFiles=0\r\nIntegrateToWindows=1\r\n"
            "RegisterContextMenu=1\r\n");

  // An update keeps the earlier integration: the page is skipped.
  const std::string installed = MakeFolder("Installed");
  TestUtil::WriteWholeFile(installed + "ONDU.ini", "[System]\r\nVersion=5300\r\n");
  setup.SetDestPath(installed);
  ASSERT_TRUE(setup.HasFlag(sfUpdate));
  EXPECT_FALSE(page->IsAvailable());
}

TEST_F(ProductPages, AddonsPageFillsItsFormatsAndStoresAllThreeOptions) {
  auto f = MakeSetup();
  TSetup& setup = f->Setup();
  setup.Resources().LoadLanguage("Russian.lng");
  auto page = MakePage<TSetupPageAddons>();

  KVL::FileFormats::INI::TKVLIniFile russian;
  russian.LoadFromFile(SampleSetupFile("Russian.lng"));
  std::string l1 = FormatText(russian.ReadString("PageAddons", "L1", ""), {"ONDU Image Viewer"});
  l1.replace(l1.find("$NAME"), 5, "ONDU");
  EXPECT_EQ(page->Label1->Caption(), l1);
  EXPECT_NE(page->Label2->Caption().find("[URL=https://www.ondu-player.example/addons/license]"), std::string::npos);
  EXPECT_NE(page->Label2->Caption().find("ONDU Team"), std::string::npos);

  auto& settings = setup.Settings();
  EXPECT_FALSE(settings.ValueExists("Common", "AddonsViewer"));
  page->Prepare();
  for (const char* key : {"AddonsViewer", "AddonsExtensions", "AddonsShortcuts"}) {
    EXPECT_TRUE(settings.ValueExists("Common", key)) << key;
    EXPECT_TRUE(settings.ReadBool("Common", key, false)) << key;
  }

  page->CB2->Click();
  EXPECT_TRUE(settings.ReadBool("Common", "AddonsViewer", false));
  EXPECT_FALSE(settings.ReadBool("Common", "AddonsExtensions", true));
  EXPECT_TRUE(settings.ReadBool("Common", "AddonsShortcuts", false));
  // Coming back keeps the choice.
  page->Prepare();
  EXPECT_FALSE(page->CB2->Checked());
  EXPECT_TRUE(page->CB1->Checked());
  EXPECT_TRUE(page->CB3->Checked());
}

TEST_F(ProductPages, AddonsPictureSitsInTheTopRightCorner) {
  auto f = MakeSetup();
  auto page = MakePage<TSetupPageAddons>();
  const TKVLBitmap& picture = page->Picture();
  ASSERT_FALSE(picture.IsEmpty());
  page->SetBounds(0, 0, 600, 380);
  const TKVLRect rect = page->PictureRect();
  EXPECT_EQ(rect, TKVLRect::FromBounds(590 - picture.Width(), 0, picture.Width(), picture.Height()));

  // Drawn there: an opaque pixel of the picture shows up unchanged at 96 dpi.
  TKVLBitmap target(600, 380);
  std::unique_ptr<IKVLCanvas> canvas = CreateBitmapCanvas(target, 96);
  page->Paint(*canvas);
  int checked = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      if ((picture.Pixel(x, y) >> 24) == 0xFF && checked < 20) {
        EXPECT_EQ(target.ColorAt(rect.Left + x, y), picture.ColorAt(x, y)) << x << "," << y;
        ++checked;
      }
  EXPECT_GT(checked, 0);
}

TEST_F(ProductPages, AddonsPageFailsWhileBuildingOnBadResources) {
  struct TCase {
    const char* name;
    const char* l1;      // PageAddons/L1 of the language; null: the sample's
    const char* l2;
    bool dropAddonsIni, dropPicture;
    const char* message;
  };
  const TCase cases[] = {
      {"L1 asks for two", "%s and %s", nullptr, false, false, "asks for more than 1 argument"},
      {"L2 asks for three", nullptr, "%s %s %s", false, false, "asks for more than 2 arguments"},
      {"L1 asks for a number", "%d items", nullptr, false, false, "other than %s"},
      {"no addons.ini", nullptr, nullptr, true, false, "Cannot locate \"addons.ini\" file in setup archive"},
      {"no picture", nullptr, nullptr, false, true, "Cannot locate \"addons.png\" file in setup archive"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetupTest::TFiles files;
    for (auto& file : SampleSetupFiles()) {
      if ((c.dropAddonsIni && file.first == "addons.ini") || (c.dropPicture && file.first == "addons.png")) continue;
      files.push_back(file);
    }
    std::string lng = "[File]\r\nName=Russian\r\n[PageAddons]\r\n";
    if (c.l1) lng += std::string("L1=") + c.l1 + "\r\n";
    if (c.l2) lng += std::string("L2=") + c.l2 + "\r\n";
    files.push_back({"Test.lng", lng});
    auto f = MakeSetup("", files);
    f->Setup().Resources().LoadLanguage("Test.lng");
    try {
      MakePage<TSetupPageAddons>();
      ADD_FAILURE() << "no exception";
    } catch (const Setup::Core::EInstallerGeneralError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(ProductPagesFormat, FillsStringPlaceholdersOnly) {
  struct TCase {
    const char* format;
    std::vector<std::string> args;
    const char* expected;  // null: raises
  };
  const TCase cases[] = {
      {"[B]%s[/B] is offered", {"Viewer"}, "[B]Viewer[/B] is offered"},
      {"%s by %s", {"a", "b"}, "a by b"},
      {"100%% of %s", {"it"}, "100% of it"},
      {"no placeholder", {"unused"}, "no placeholder"},
      {"%s uses %s", {"%s", "x"}, "%s uses x"},  // arguments are not formats
      {"", {}, ""},
      {"%s and %s", {"one"}, nullptr},
      {"%d", {"1"}, nullptr},
      {"%5s", {"1"}, nullptr},
      {"%0:s", {"1"}, nullptr},
      {"ends with %", {}, nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.format);
    if (c.expected)
      EXPECT_EQ(FormatText(c.format, c.args), c.expected);
    else
      EXPECT_THROW(FormatText(c.format, c.args), Setup::Core::EInstallerGeneralError);
  }
}

TEST_F(ProductPages, UninstallOptionsWriteOnlyWhenTouched) {
  auto f = MakeSetup("", SampleSetupFiles(), ProductTest::UninstallData("[Files]\r\n"));
  TSetup& setup = f->Setup();
  ASSERT_EQ(setup.Mode(), Setup::Core::smUninstall);
  auto page = MakePage<TSetupPageUninstallParams>();
  page->Prepare();
  EXPECT_FALSE(page->CB1->Checked());
  EXPECT_FALSE(page->CB2->Checked());
  auto& settings = setup.Settings();
  EXPECT_FALSE(settings.ValueExists("Common", "RemoveBackups"));
  EXPECT_FALSE(settings.ValueExists("Common", "RemoveContent"));

  page->CB2->Click();
  EXPECT_TRUE(settings.ValueExists("Common", "RemoveBackups"));
  EXPECT_FALSE(settings.ReadBool("Common", "RemoveBackups", true));
  EXPECT_TRUE(settings.ReadBool("Common", "RemoveContent", false));
  page->Prepare();
  EXPECT_TRUE(page->CB2->Checked());
}

TEST_F(ProductPages, PopulatePagesListsThePagesOfTheRun) {
  struct TCase {
    const char* name;
    const char* language;  // null: English
    bool uninstall;
    std::vector<std::string> pages;
  };
  const TCase cases[] = {
      {"install", nullptr, false,
       {"TSetupPageWelcome", "TSetupPageLicense", "TSetupPageSetup", "TSetupPageIntegration",
        "TSetupPageReadyToInstall"}},
      {"install with add-ons", "Russian.lng", false,
       {"TSetupPageWelcome", "TSetupPageLicense", "TSetupPageSetup", "TSetupPageAddons", "TSetupPageIntegration",
        "TSetupPageReadyToInstall"}},
      {"uninstall", nullptr, true, {"TSetupPageUninstallParams"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup("", SampleSetupFiles(), c.uninstall ? ProductTest::UninstallData("[Files]\r\n") : SetupTest::TFiles{});
    if (c.language) f->Setup().Resources().LoadLanguage(c.language);
    std::vector<std::string> names;
    f->Setup().ProductInfo().PopulatePages([&](const std::any& pageClass) {
      const auto* cls = std::any_cast<TSetupPageClass>(&pageClass);
      ASSERT_NE(cls, nullptr);
      std::unique_ptr<TSetupCustomPage> page = (*cls)();
      names.push_back(page->ClassName());
    });
    EXPECT_EQ(names, c.pages);
  }
}

} // namespace
