// Language selection: the list of the setup package's languages, its preselection and the choice.
#include <gtest/gtest.h>

#include <optional>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Shell.h"
#include "setup/core/Languages.h"
#include "setup/core/Resources.h"
#include "tests/setup/SetupFixture.h"

using namespace Setup::Core;
using SetupTest::MakePackage;
using SetupTest::TFiles;

namespace {

// One 16 x 16 entry pointing at four bytes of image data: the smallest file taken as an icon.
const char kIconHex[] = "000001000100101000000100200004000000160000007F7F7F7F";

std::string LanguageFile(const std::string& name, int langId, bool icon = false) {
  std::string s = "[File]\r\nName=" + name + "\r\nLangId=" + std::to_string(langId) + "\r\n";
  if (icon) s += std::string("Icon=") + kIconHex + "\r\n";
  return s + "[Common]\r\nA1=" + name + " one\r\n";
}

std::unique_ptr<TSetupResources> MakeResources(const TFiles& languageFiles) {
  TFiles files = {{"Install.xml", "<x><product><Settings><s name='ProductName' value='ONDU'/></Settings></product></x>"}};
  files.insert(files.end(), languageFiles.begin(), languageFiles.end());
  return std::make_unique<TSetupResources>(MakePackage(files), MakePackage({}));
}

// Installs a dialog that records what it was shown and answers with a fixed index.
class TDialogProbe {
public:
  explicit TDialogProbe(int answer) {
    SetLanguageDialog([this, answer](TSetupResources&, const std::vector<TSetupLanguageItem>& items,
                                     int preselected) {
      ++Calls;
      Shown = items.size();
      Preselected = preselected;
      return answer;
    });
  }
  ~TDialogProbe() { SetLanguageDialog(nullptr); }
  TDialogProbe(const TDialogProbe&) = delete;
  TDialogProbe& operator=(const TDialogProbe&) = delete;

  int Calls = 0;
  size_t Shown = 0;
  int Preselected = -2;
};

TSetupLanguageItem Item(const char* name, uint16_t langId) {
  TSetupLanguageItem item;
  item.Name = name;
  item.LangId = langId;
  return item;
}

} // namespace

TEST(SetupLanguages, ListIsSortedByNameIgnoringCaseKeepingEqualNamesInOrder) {
  auto r = MakeResources({{"English.lng", LanguageFile("English", 1033, true)},
                          {"b.lng", LanguageFile("deutsch", 1031)},
                          {"Lang10.lng", LanguageFile("Russian", 1049)},
                          {"Lang9.lng", LanguageFile("russian", 1049)},
                          {"NoName.lng", "[Common]\r\nA1=x\r\n"},
                          {"BadIcon.lng", "[File]\r\nName=Zulu\r\nLangId=1077\r\nIcon=zz\r\n"}});
  // Languages(): b, BadIcon, English, Lang9, Lang10, NoName.
  struct Want { const char* name; uint16_t langId; const char* file; bool icon; };
  const Want want[] = {
      {"", 0, "NoName.lng", false},
      {"deutsch", 1031, "b.lng", false},
      {"English", 1033, "English.lng", true},
      {"russian", 1049, "Lang9.lng", false},  // enumerated before Lang10, so listed first
      {"Russian", 1049, "Lang10.lng", false},
      {"Zulu", 1077, "BadIcon.lng", false},
  };
  std::vector<TSetupLanguageItem> items = EnumerateLanguages(*r);
  ASSERT_EQ(items.size(), std::size(want));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].Name, want[i].name) << i;
    EXPECT_EQ(items[i].LangId, want[i].langId) << i;
    ASSERT_GE(items[i].Value, 0);
    EXPECT_EQ(r->Languages().Strings(items[i].Value), want[i].file) << i;
    EXPECT_EQ(!items[i].Icon.IsEmpty(), want[i].icon) << i;
  }
}

TEST(SetupLanguages, PreselectionPrefersTheUsersLanguageThenUSEnglishThenTheFirst) {
  const std::vector<TSetupLanguageItem> all = {Item("Deutsch", 1031), Item("English", 1033), Item("Russian", 1049),
                                               Item("Russian copy", 1049)};
  const std::vector<TSetupLanguageItem> noEnglish = {Item("Deutsch", 1031), Item("Russian", 1049)};
  struct Case { const std::vector<TSetupLanguageItem>* items; uint16_t ui; int want; };
  const std::vector<TSetupLanguageItem> none;
  const Case cases[] = {
      {&all, 1049, 2},        // Russian user: the first Russian entry
      {&all, 1031, 0},
      {&all, 1040, 1},        // Italian user, no Italian: English (1033)
      {&all, 2057, 1},        // British English is another language
      {&noEnglish, 1040, 0},  // neither: the first in list order
      {&noEnglish, 1049, 1},
      {&none, 1033, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(PreselectLanguage(*c.items, c.ui), c.want) << c.ui;
}

TEST(SetupLanguages, SelectionAsksTheDialogUnlessUnattended) {
  // Russian user interface where the platform takes it from the environment.
  KVL::Platform::TEnvironmentOverride lcAll("LC_ALL", "ru_RU.UTF-8");
  auto r = MakeResources({{"English.lng", LanguageFile("English", 1033)},
                          {"German.lng", LanguageFile("Deutsch", 1031)},
                          {"Russian.lng", LanguageFile("Russian", 1049)}});
  std::vector<TSetupLanguageItem> items = EnumerateLanguages(*r);  // Deutsch, English, Russian
  const int pre = PreselectLanguage(items, KVL::Platform::UserDefaultUILanguage());
  const std::string preselected = r->Languages().Strings(items[static_cast<size_t>(pre)].Value);
#ifndef _WIN32
  EXPECT_EQ(preselected, "Russian.lng");
#endif
  struct Case { const char* what; bool install; int answer; bool autoRun; int calls; std::string file; };
  const Case cases[] = {
      {"dialog's choice", true, 0, false, 1, "German.lng"},
      {"nothing selected", true, -1, false, 1, "English.lng"},
      {"answer out of range", true, 3, false, 1, "English.lng"},
      {"unattended: no dialog", true, 0, true, 0, preselected},
      {"no dialog installed", false, 0, false, 0, preselected},
  };
  for (const Case& c : cases) {
    std::optional<TDialogProbe> probe;
    if (c.install) probe.emplace(c.answer);
    EXPECT_EQ(SelectLanguage(*r, c.autoRun), c.file) << c.what;
    if (probe) {
      EXPECT_EQ(probe->Calls, c.calls) << c.what;
      if (probe->Calls) {
        EXPECT_EQ(probe->Shown, 3u) << c.what;
        EXPECT_EQ(probe->Preselected, pre) << c.what;
      }
    }
  }
}

TEST(SetupLanguages, WithoutLanguageFilesTheAnswerIsEnglish) {
  auto r = MakeResources({{"readme.txt", ""}});
  EXPECT_TRUE(EnumerateLanguages(*r).empty());
  TDialogProbe probe(0);
  EXPECT_EQ(SelectLanguage(*r, false), "English.lng");
  EXPECT_EQ(SelectLanguage(*r, true), "English.lng");
}

TEST(SetupLanguages, InitializeLanguagesMergesTheChoiceOverEnglish) {
  const TFiles files = {{"Install.xml", "<x><product><Settings><s name='ProductName' value='ONDU'/></Settings></product></x>"},
                        {"English.lng", "[File]\r\nName=English\r\nLangId=1033\r\n[Common]\r\nA1=One\r\nA2=Two for $NAME\r\n"},
                        {"Russian.lng", "[File]\r\nName=Russian\r\nLangId=1049\r\nFamily=RU\r\n[Common]\r\nA1=Odin\r\n"}};
  // Interactive: the dialog picks Russian (the second item).
  {
    TDialogProbe probe(1);
    SetupTest::TSetupFixture f(files, {}, "");
    f.Setup().Resources().InitializeLanguages();
    EXPECT_EQ(probe.Calls, 1);
    TSetupResources& r = f.Setup().Resources();
    EXPECT_EQ(r.Language(), "Russian");
    EXPECT_EQ(r.GetText("Common", "A1"), "Odin");
    EXPECT_EQ(r.GetText("Common", "A2"), "Two for ONDU");
    EXPECT_EQ(r.GetLanguageFamily(), "RU");
  }
  // Unattended: the dialog stays shut and the preselection is loaded.
  {
    TDialogProbe probe(1);
    SetupTest::TSetupFixture f(files, {}, "/AUTO");
    f.Setup().Resources().InitializeLanguages();
    EXPECT_EQ(probe.Calls, 0);
    const std::string& language = f.Setup().Resources().Language();
    EXPECT_TRUE(language == "English" || language == "Russian") << language;
  }
}
