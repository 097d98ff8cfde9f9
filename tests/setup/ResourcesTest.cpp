// Setup resources: file lookup in both packages, languages, license choice, variable and path expansion.
#include <gtest/gtest.h>

#include <functional>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "tests/TestUtil.h"
#include "tests/setup/SetupFixture.h"

using namespace Setup::Core;
using KVL::Platform::kPathDelim;
using SetupTest::MakePackage;
using SetupTest::TFiles;

namespace {

const char kScript[] = "<x><product><Settings><s name='ProductName' value='ONDU'/></Settings></product></x>";
const char kEnglish[] = "[File]\r\nName=English\r\nLangId=1033\r\n[Common]\r\nA1=English one\r\nA2=English two\r\n";

std::unique_ptr<TSetupResources> MakeResources(const TFiles& setupFiles, const TFiles& productFiles = {}) {
  return std::make_unique<TSetupResources>(MakePackage(setupFiles), MakePackage(productFiles));
}

std::string Bytes(KVL::Streams::TKVLMemoryStream& s) {
  return std::string(reinterpret_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

// The message of whatever the call raises; "" when it returns.
template <class TException>
std::string RaisedMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const TException& e) {
    return e.what();
  }
  return "";
}

} // namespace

TEST(SetupResources, OpenStreamPrefersTheProductPackage) {
  auto r = MakeResources({{"Install.xml", kScript}, {"Shared.txt", "from setup"}, {"OnlySetup.txt", "S"}},
                         {{"shared.TXT", "from product"}, {"OnlyProduct.txt", "P"}});
  struct Case { const char* name; const char* bytes; };
  const Case cases[] = {
      {"Shared.txt", "from product"},
      {"ONLYSETUP.TXT", "S"},
      {"OnlyProduct.txt", "P"},
  };
  for (const Case& c : cases) {
    auto s = r->OpenStream(c.name);
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(s->Position(), 0) << c.name;
    EXPECT_EQ(Bytes(*s), c.bytes) << c.name;
  }
  EXPECT_EQ(RaisedMessage<EInstallerInstallError>([&] { r->OpenStream("Missing.txt"); }),
            "Cannot locate \"Missing.txt\" file in setup archive");
}

TEST(SetupResources, LoadStringListDecodesText) {
  // UTF-16LE with its mark, then UTF-8 with its mark: both split into the same lines.
  const std::string utf16 = "\xFF\xFE" + KVL::SysUtils::Utf16ToLEBytes(u"[Addons]\r\nL1=\u00E9t\u00E9\r\n");
  auto r = MakeResources({{"Install.xml", kScript}, {"a16.ini", utf16}, {"a8.ini", "\xEF\xBB\xBF[Addons]\nL1=\xC3\xA9t\xC3\xA9"}});
  for (const char* name : {"a16.ini", "a8.ini"}) {
    auto list = r->LoadStringList(name);
    ASSERT_EQ(list->Count(), 2) << name;
    EXPECT_EQ(list->Strings(0), "[Addons]") << name;
    EXPECT_EQ(list->Value("L1"), "\xC3\xA9t\xC3\xA9") << name;
  }
}

TEST(SetupResources, InstallScriptProblemsFailConstruction) {
  struct Case { const char* what; TFiles setup, product; const char* message; };
  const Case cases[] = {
      {"no script anywhere", {{"English.lng", kEnglish}}, {}, "Cannot locate \"Install.xml\" file in setup archive"},
      {"script shorter than its magic", {{"Install.xml", "<x>"}}, {}, "Stream read error"},
      {"empty script", {{"Install.xml", ""}}, {}, "Stream read error"},
      {"script in the product package only", {}, {{"Install.xml", kScript}}, ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TSetupResources> r;
    EXPECT_EQ(RaisedMessage<KVL::SysUtils::EKVLError>([&] { r = MakeResources(c.setup, c.product); }), c.message)
        << c.what;
    if (r) {
      EXPECT_EQ(r->Script().GetSetting("ProductName"), "ONDU") << c.what;
    }
  }
}

TEST(SetupResources, LanguagesAreTheSetupPackagesLanguageFilesInNaturalOrder) {
  auto r = MakeResources({{"Install.xml", kScript}, {"Lang10.lng", ""}, {"readme.txt", ""}, {"lang9.LNG", ""},
                          {"English.lng", kEnglish}, {"Lang9.lng.txt", ""}, {"Lang2.lng", ""}},
                         {{"Product.lng", ""}});
  std::vector<std::string> names;
  for (int i = 0; i < r->Languages().Count(); ++i) names.push_back(r->Languages().Strings(i));
  EXPECT_EQ(names, (std::vector<std::string>{"English.lng", "Lang2.lng", "lang9.LNG", "Lang10.lng"}));
}

TEST(SetupResources, SystemFoldersEndWithASeparator) {
  TestUtil::TTempDir root;
  KVL::Platform::TEnvironmentOverride rootVar("KVL_SYSTEM_ROOT", root.Path());
  auto r = MakeResources({{"Install.xml", kScript}});
  for (const std::string* folder : {&r->DesktopFolder(), &r->ProgramFilesFolder(), &r->StartMenuFolder()}) {
    ASSERT_FALSE(folder->empty());
    EXPECT_EQ(folder->back(), kPathDelim) << *folder;
  }
  const std::string& pf = r->ProgramFilesFolder();
  EXPECT_EQ(r->ProgramFilesX86Folder(), pf.substr(0, pf.size() - 1) + " (x86)" + kPathDelim);
#ifndef _WIN32
  EXPECT_EQ(pf, root.Path() + "opt/");
#endif
}

TEST(SetupResources, ChosenLanguageOverridesEnglishKeyByKey) {
  const TFiles files = {{"Install.xml", kScript},
                        {"English.lng", kEnglish},
                        {"German.lng", "[File]\r\nName=Deutsch\r\n[Common]\r\nA1=Deutsch eins\r\nA3=Nur deutsch\r\n"},
                        {"Langs\\Russian.lng", "\xEF\xBB\xBF[Common]\r\nA2=\xD0\xB4\xD0\xB2\xD0\xB0\r\n"}};
  struct Case { const char* file; const char* language; const char* a1; const char* a2; const char* a3; };
  const Case cases[] = {
      {"German.lng", "German", "Deutsch eins", "English two", "Nur deutsch"},
      {"Langs\\Russian.lng", "Russian", "English one", "\xD0\xB4\xD0\xB2\xD0\xB0", ""},
      {"English.lng", "English", "English one", "English two", ""},
  };
  auto r = MakeResources(files);
  for (const Case& c : cases) {
    r->LoadLanguage(c.file);  // each load starts again from English
    EXPECT_EQ(r->Language(), c.language);
    EXPECT_EQ(r->Texts().ReadString("Common", "A1"), c.a1) << c.file;
    EXPECT_EQ(r->Texts().ReadString("Common", "A2"), c.a2) << c.file;
    EXPECT_EQ(r->Texts().ReadString("Common", "A3"), c.a3) << c.file;
    EXPECT_EQ(r->Texts().ReadString("File", "Name"), c.file[0] == 'G' ? "Deutsch" : "English") << c.file;
  }
  EXPECT_EQ(RaisedMessage<EInstallerInstallError>([&] { r->LoadLanguage("French.lng"); }),
            "Cannot locate \"French.lng\" file in setup archive");

  auto noEnglish = MakeResources({{"Install.xml", kScript}, {"German.lng", "[Common]\r\nA1=x\r\n"}});
  EXPECT_EQ(RaisedMessage<EInstallerInstallError>([&] { noEnglish->LoadLanguage("German.lng"); }),
            "Cannot locate \"English.lng\" file in setup archive");
}

TEST(SetupResources, LanguageFamilyOfChosenFileThenEnglishThenEN) {
  struct Case { const char* englishFamily; const char* chosenFamily; const char* family; };
  const Case cases[] = {
      {"", "", "EN"},
      {"", "Family=DE\r\n", "DE"},
      {"Family=XX\r\n", "", "XX"},
      {"Family=XX\r\n", "Family=RU\r\n", "RU"},
  };
  for (const Case& c : cases) {
    auto r = MakeResources({{"Install.xml", kScript},
                            {"English.lng", std::string("[File]\r\n") + c.englishFamily},
                            {"Other.lng", std::string("[File]\r\nName=Other\r\n") + c.chosenFamily}});
    r->LoadLanguage("Other.lng");
    EXPECT_EQ(r->GetLanguageFamily(), c.family) << c.englishFamily << "/" << c.chosenFamily;
  }
}

TEST(SetupResources, LicenseFollowsTheLanguageFamily) {
  const char* enRu = "<File name='License.rtf' lang-family='EN'/><File name='License.ru.rtf' lang-family='RU'/>";
  struct Case { const char* what; const char* licenseXml; const char* family; const char* license; };
  const Case cases[] = {
      {"own family", enRu, "RU", "ru text"},
      {"family case ignored", enRu, "ru", "ru text"},
      {"other family falls back to EN", enRu, "DE", "en text"},
      {"no EN entry: none", "<File name='License.ru.rtf' lang-family='RU'/>", "DE", nullptr},
      {"bare name serves every family", "License.rtf", "DE", "en text"},
      {"entry without family serves every family", "<File name='License.rtf'/>", "RU", "en text"},
      {"no license element", nullptr, "EN", nullptr},
  };
  for (const Case& c : cases) {
    std::string script = "<x>";
    if (c.licenseXml) script += std::string("<setup><license>") + c.licenseXml + "</license></setup>";
    script += "</x>";
    auto r = MakeResources({{"Install.xml", script},
                            {"English.lng", "[File]\r\nName=English\r\n"},
                            {"Chosen.lng", std::string("[File]\r\nFamily=") + c.family + "\r\n"},
                            {"License.rtf", "en text"},
                            {"License.ru.rtf", "ru text"}});
    r->LoadLanguage("Chosen.lng");
    auto s = r->GetLicenseStream();
    if (!c.license) {
      EXPECT_EQ(s, nullptr) << c.what;
    } else {
      ASSERT_NE(s, nullptr) << c.what;
      EXPECT_EQ(Bytes(*s), c.license) << c.what;
    }
  }
}

TEST(SetupResources, RunningExecutableSuppliesThePackages) {
  const std::string setupPackage = PackageTestUtil::BuildPackage({{"Install.xml", kScript}, {"Which.txt", "setup"}}, 1);
  const std::string productPackage = PackageTestUtil::BuildPackage({{"Which.txt", "product resource"}}, 1);
  const std::string dataPackage = PackageTestUtil::BuildPackage({{"Which.txt", "uninstall data"}}, 1);
  struct Case { const char* exe; bool productResource; const char* dat; std::string want; };
  const Case cases[] = {
      {"setup.exe", true, "setup.dat", "product resource"},
      {"Uninstall.exe", true, "Uninstall.dat", "uninstall data"},
      {"UNINSTALL.EXE", true, "UNINSTALL.dat", "uninstall data"},
      {"Uninstall.exe", true, nullptr, "error: "},  // the file layer's error, naming the data file
      {"setup.exe", false, nullptr, "error: Resource PRODUCT not found"},
  };
  TestUtil::TTempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = dir.File(std::to_string(++n));
    ASSERT_TRUE(KVL::Platform::ForceDirectories(folder));
    const std::string exe = folder + kPathDelim + c.exe;
    TestUtil::CopyChildProgram(exe);
    std::vector<KVL::Platform::TResourceItem> resources = {{"SETUP", setupPackage}};
    if (c.productResource) resources.push_back({"PRODUCT", productPackage});
    KVL::Platform::UpdateResources(exe, resources);
    if (c.dat) TestUtil::WriteWholeFile(folder + kPathDelim + c.dat, dataPackage);
    const std::string out = folder + kPathDelim + "out.txt";
    KVL::Platform::TProcess child = KVL::Platform::StartProcess(exe, {"--setup-resources", out});
    ASSERT_TRUE(child.WaitForExit(60000)) << c.exe;
    const std::string got = TestUtil::ReadWholeFile(out);
    if (c.dat) {
      EXPECT_EQ(got, c.want) << c.exe;
    } else {
      EXPECT_TRUE(got.starts_with(c.want)) << c.exe << ": " << got;
    }
    if (c.productResource && !c.dat) {
      EXPECT_NE(got.find("Uninstall.dat"), std::string::npos) << got;
    }
  }
}

TEST(SetupResources, ExpansionWithoutSetupObjectRaises) {
  auto r = MakeResources({{"Install.xml", kScript}});
  ASSERT_EQ(Setup::Core::Setup, nullptr);
  EXPECT_THROW(r->ExpandVariables("$DEST"), KVL::SysUtils::EKVLInvalidOperation);
}

namespace {

// A setup object whose destination is dest (inside a temporary folder) and whose product is
// named ONDU, with the home page given.
class SetupResourcesExpansion : public ::testing::Test {
protected:
  void Build(const std::string& homePage, const TFiles& extra = {}) {
    TFiles files = {{"Install.xml", "<x><product><Settings>"
                                    "<s name='ProductName' value='ONDU'/>"
                                    "<s name='HomePage' value='" + homePage + "'/>"
                                    "<s name='ProductVersion' value='5.30'/>"
                                    "<s name='BuildDate' value='2024-01-31'/>"
                                    "</Settings></product></x>"},
                    {"English.lng", "[Common]\r\nTwo=Line one\\nLine two\r\nCaption=$NAME Setup\r\n"
                                    "Path=$DEST\\nvidia\r\n"}};
    files.insert(files.end(), extra.begin(), extra.end());
    fixture_ = std::make_unique<SetupTest::TSetupFixture>(files, TFiles{},
                                                          "/AUTO=\"" + dir_.File("dest") + "\"");
  }
  TSetupResources& Res() { return fixture_->Setup().Resources(); }
  const std::string& Dest() { return fixture_->Setup().DestPath(); }

  TestUtil::TTempDir dir_;
  KVL::Platform::TEnvironmentOverride root_{"KVL_SYSTEM_ROOT", dir_.Path()};
  std::unique_ptr<SetupTest::TSetupFixture> fixture_;
};

} // namespace

TEST_F(SetupResourcesExpansion, VariablesExpandInOrderWithCaseSignificant) {
  Build("https://$NAME.example/$DEST");
  ASSERT_TRUE(Dest().ends_with(std::string("dest") + kPathDelim)) << Dest();
  const std::string temp = KVL::Platform::TempDirectory();
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"$DEST", Dest()},
      {"$dest and $Dest", "$dest and $Dest"},
      {"$DEST$DEST", Dest() + Dest()},
      {"$TEMP", temp},
      // $LINK comes after $DEST: its $DEST stays, its $NAME is expanded by the later step.
      {"$LINK", "https://ONDU.example/$DEST"},
      {"$NAME $VERSION", "ONDU 5.30, 2024-01-31"},
      {"$NAMES", "ONDUS"},
      {"$DESKTOP|$STARTMENU|$PROGRAMS",
       Res().DesktopFolder() + "|" + Res().StartMenuFolder() + "|" + Res().ProgramFilesFolder()},
      {"a\\nb\\n", "a\r\nb\r\n"},
      {"\\\\n", "\\\r\n"},
      {"no variables", "no variables"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Res().ExpandVariables(c.in), c.out) << c.in;
}

TEST_F(SetupResourcesExpansion, PathsKeepBackslashNAndComeOutCanonical) {
  Build("https://ondu.example/");
  const std::string d(1, kPathDelim);
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"$DEST\\ONDU.exe", Dest() + "ONDU.exe"},
      {"$DEST\\Plugins\\nvidia.dll", Dest() + "Plugins" + d + "nvidia.dll"},
      {"$DEST\\Langs\\", Dest() + "Langs" + d},
      {"$DEST\\a?b\\ c. \\\"q\"", Dest() + "ab" + d + "c" + d + "'q'"},
      {"$DEST\\..\\..\\x", Dest() + "x"},
      {"$DESKTOP\\$NAME.lnk", Res().DesktopFolder() + "ONDU.lnk"},
      {"$dest\\x", "$dest" + d + "x"},
      {"rel\\\\dir/", "rel" + d + "dir" + d},
  };
  for (const Case& c : cases) EXPECT_EQ(Res().ExpandPath(c.in), c.out) << c.in;
}

TEST_F(SetupResourcesExpansion, TextsExpandVariablesAndLineBreaks) {
  Build("https://ondu.example/");
  Res().LoadLanguage("English.lng");
  EXPECT_EQ(Res().GetText("Common", "Two"), "Line one\r\nLine two");
  EXPECT_EQ(Res().GetText("Common", "Caption"), "ONDU Setup");
  EXPECT_EQ(Res().GetText("Common", "Missing"), "");
  EXPECT_EQ(Res().GetText("Nowhere", "Two"), "");
  // A text is not a path: its "\n" becomes a line break even after a folder.
  EXPECT_EQ(Res().GetText("Common", "Path"), Dest() + "\r\nvidia");
}
