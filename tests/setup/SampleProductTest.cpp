// The sample product's data: script, languages, licenses, artwork, add-ons and stand-in programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"
#include "setup/core/Script.h"

#ifdef ONDU_SAMPLE_STAGE_DIR

namespace {

using KVL::Classes::TKVLStringList;
using KVL::FileFormats::INI::TKVLIniFile;
using KVL::Platform::TFileOpenMode;
using KVL::Streams::TKVLFileStream;
using KVL::Streams::TKVLMemoryStream;
using KVL::SysUtils::SameTextAscii;
using KVL::SysUtils::UpperCase;
using Setup::Core::TSetupScript;
using Setup::Core::TSetupScriptFile;

// The build's folders are POSIX paths; under wine the host's "/" is drive Z:.
std::string NativePath(std::string path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

const std::string& SourceDir() {
  static const std::string dir = NativePath(ONDU_SOURCE_DIR "/samples/ondu/");
  return dir;
}

const std::string& StageDir() {
  static const std::string dir = NativePath(ONDU_SAMPLE_STAGE_DIR "/");
  return dir;
}

// A package entry name ('\'-separated) inside a staged package folder.
std::string StagedEntry(const std::string& package, const std::string& entry) {
  std::string path = StageDir() + package + KVL::Platform::kPathDelim + entry;
  for (char& c : path)
    if (c == '\\' || c == '/') c = KVL::Platform::kPathDelim;
  return path;
}

bool InPackages(const std::string& entry) {
  return KVL::Platform::FileExists(StagedEntry("PRODUCT", entry)) || KVL::Platform::FileExists(StagedEntry("SETUP", entry));
}

const TSetupScript& Script() {
  static const std::unique_ptr<TSetupScript> script = [] {
    auto s = std::make_unique<TSetupScript>();
    TKVLFileStream stream(SourceDir() + "SETUP" + KVL::Platform::kPathDelim + "Install.xml", TFileOpenMode::fomRead);
    s->LoadFromStream(stream);
    return s;
  }();
  return *script;
}

std::unique_ptr<TKVLIniFile> LoadLanguage(const std::string& fileName) {
  auto ini = std::make_unique<TKVLIniFile>();
  const std::string path = SourceDir() + "SETUP" + KVL::Platform::kPathDelim + fileName;
  EXPECT_TRUE(KVL::Platform::FileExists(path)) << path;
  ini->LoadFromFile(path);
  return ini;
}

// Every .lng of the setup folder, English first.
std::vector<std::string> LanguageFiles() {
  std::vector<std::string> names{"English.lng"};
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(SourceDir()) / "SETUP")) {
    const std::string name = e.path().filename().string();
    if (e.path().extension() == ".lng" && name != "English.lng") names.push_back(name);
  }
  return names;
}

int CountFormatArgs(const std::string& text) {
  int n = 0;
  for (size_t i = text.find("%s"); i != std::string::npos; i = text.find("%s", i + 2)) ++n;
  return n;
}

bool HasExtension(const std::string& name, const std::string& ext) {
  return name.size() >= ext.size() && SameTextAscii(name.substr(name.size() - ext.size()), ext);
}

TEST(SampleProduct, SettingsDescribeTheVersionBeingInstalled) {
  const TSetupScript& s = Script();
  for (const char* name : {"ProductName", "Publisher", "ProductVersion", "ProductVersionId", "ProductVersionNo",
                           "BuildDate", "HomePage"})
    EXPECT_FALSE(s.GetSetting(name).empty()) << name;
  // The version id is major * 1000 + minor * 10, the number installations are compared by.
  const std::string version = s.GetSetting("ProductVersion");
  const size_t dot = version.find('.');
  ASSERT_NE(dot, std::string::npos) << version;
  int32_t major = 0, minor = 0, id = 0;
  ASSERT_TRUE(KVL::SysUtils::TryStrToInt(version.substr(0, dot), major)) << version;
  ASSERT_TRUE(KVL::SysUtils::TryStrToInt(version.substr(dot + 1), minor)) << version;
  ASSERT_TRUE(KVL::SysUtils::TryStrToInt(s.GetSetting("ProductVersionId"), id));
  EXPECT_EQ(id, major * 1000 + minor * 10);
  // Above every version an installed copy can be updated from, so an update is never a downgrade.
  EXPECT_GE(id, 5390);
  EXPECT_EQ(s.GetSetting("ProductVersionNo").rfind(version + ".", 0), 0u) << s.GetSetting("ProductVersionNo");
  const std::string date = s.GetSetting("BuildDate");
  EXPECT_EQ(date.size(), 10u) << date;
  EXPECT_TRUE(date.size() == 10 && date[4] == '-' && date[7] == '-') << date;
}

TEST(SampleProduct, EveryComponentComesFromAPackageOnce) {
  const auto& components = Script().Components();
  ASSERT_GT(components.Count(), 0);
  std::set<std::string> sources;
  for (int i = 0; i < components.Count(); ++i) {
    const TSetupScriptFile& f = components.Files(i);
    EXPECT_EQ(f.Name.rfind("$DEST\\", 0), 0u) << f.Name;
    EXPECT_TRUE(InPackages(f.GetSourceName())) << f.Name << " <- " << f.GetSourceName();
    sources.insert(UpperCase(f.GetSourceName()));
  }
  // Per language family each target is written once; an unknown family gets the shared files.
  for (const char* family : {"EN", "RU", "DE", "FR"}) {
    std::set<std::string> targets;
    for (int i = 0; i < components.Count(); ++i)
      if (components.Files(i).MatchFamily(family)) {
        EXPECT_TRUE(targets.insert(UpperCase(components.Files(i).Name)).second)
            << family << ": " << components.Files(i).Name << " twice";
      }
    EXPECT_TRUE(targets.count("$DEST\\ONDU.EXE")) << family;
  }
  // Nothing in the product package goes uninstalled.
  const std::filesystem::path product(StagedEntry("PRODUCT", ""));
  for (const auto& e : std::filesystem::recursive_directory_iterator(product)) {
    if (!e.is_regular_file()) continue;
    std::string entry = e.path().lexically_relative(product).string();
    for (char& c : entry)
      if (c == '/') c = '\\';
    EXPECT_TRUE(sources.count(UpperCase(entry))) << entry << " is packed but never installed";
  }
}

TEST(SampleProduct, ActionsAndShortcutsStartInstalledPrograms) {
  const TSetupScript& s = Script();
  std::set<std::string> installed{"$DEST\\UNINSTALL.EXE"};
  for (int i = 0; i < s.Components().Count(); ++i) installed.insert(UpperCase(s.Components().Files(i).Name));
  const auto english = LoadLanguage("English.lng");

  ASSERT_GT(s.Actions().Count(), 0);
  for (int i = 0; i < s.Actions().Count(); ++i) {
    const TSetupScriptFile& a = s.Actions().Files(i);
    EXPECT_TRUE(installed.count(UpperCase(a.Name))) << a.Name;
    // The finish page captions the program's box with this key.
    EXPECT_FALSE(english->ReadString("PageFinish", a.GetSourceName()).empty()) << a.GetSourceName();
  }
  ASSERT_GT(s.Shortcuts().Count(), 0);
  bool desktop = false, startMenu = false;
  for (int i = 0; i < s.Shortcuts().Count(); ++i) {
    const TSetupScriptFile& l = s.Shortcuts().Files(i);
    desktop |= l.Name.find("$DESKTOP") != std::string::npos;
    startMenu |= l.Name.find("$STARTMENU") != std::string::npos;
    EXPECT_TRUE(HasExtension(l.Name, ".lnk")) << l.Name;
    // Newer Windows versions only get shortcuts to programs.
    EXPECT_TRUE(HasExtension(l.GetSourceName(), ".exe")) << l.GetSourceName();
    EXPECT_TRUE(installed.count(UpperCase(l.GetSourceName()))) << l.GetSourceName();
  }
  EXPECT_TRUE(desktop && startMenu);
}

TEST(SampleProduct, LicensesExistForEnglishAndRussian) {
  const auto& license = Script().License();
  const TSetupScriptFile* en = license.FindByFamily("EN");
  const TSetupScriptFile* ru = license.FindByFamily("RU");
  ASSERT_NE(en, nullptr);
  ASSERT_NE(ru, nullptr);
  EXPECT_NE(en->Name, ru->Name);
  for (const TSetupScriptFile* f : {en, ru}) {
    ASSERT_TRUE(KVL::Platform::FileExists(StagedEntry("SETUP", f->Name))) << f->Name;
    const std::string rtf = TestUtil::ReadWholeFile(StagedEntry("SETUP", f->Name));
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << f->Name;
    EXPECT_NE(rtf.find("HYPERLINK"), std::string::npos) << f->Name;
    // Groups balance (escaped braces aside) and close at the very end.
    int depth = 0;
    size_t closedAt = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
      if (rtf[i] == '\\') { ++i; continue; }
      if (rtf[i] == '{') ++depth;
      if (rtf[i] == '}' && --depth == 0) closedAt = i;
      ASSERT_GE(depth, 0) << f->Name << " at " << i;
    }
    EXPECT_EQ(depth, 0) << f->Name;
    EXPECT_EQ(rtf.find_first_not_of("\r\n", closedAt + 1), std::string::npos) << f->Name;
  }
}

TEST(SampleProduct, EnglishHasEveryTextTheInstallerReads) {
  const std::map<std::string, std::vector<std::string>> keys = {
      {"File", {"Name", "LangId", "Author", "VersionId", "Icon", "Family"}},
      {"Common", {"Caption", "bBack", "bNext", "bInstall", "bUninstall", "bFinish", "lBrowse", "lNewFolder", "lOk",
                  "lCancel", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9", "A9Protected", "E1", "E2", "E3", "E4", "QM",
                  "QM2"}},
      {"PageWelcome", {"Title", "Description", "L1", "L2"}},
      {"PageLicense", {"Title", "Description", "L1"}},
      {"PageSetup", {"Title", "Description", "LB1", "Browse", "CB1", "CB4", "LB2", "CB3", "CB3Hint", "CB2", "W1",
                     "W3"}},
      {"PageAddons", {"Title", "Description", "L0", "CB1", "CB2", "CB3", "L1", "L2"}},
      {"PageIntegration", {"Title", "Description", "LB1", "CB1", "CB2", "LB2", "CB4", "CB4Hint", "CB3", "CB5"}},
      {"PageReadyToInstall", {"Title", "Description"}},
      {"PageInstall", {"Title", "Description", "L1"}},
      {"PageFinish", {"Title", "Description", "L1", "L2", "L3", "E1", "E2", "CB1"}},
      {"PageUninstallParams", {"Title", "Description", "CB1", "CB2"}},
      {"PageUninstall", {"Title", "Description", "L1"}},
      {"PageUninstallFinish", {"Title", "Description", "L1", "L2", "E1", "E2"}},
  };
  const auto english = LoadLanguage("English.lng");
  for (const auto& [section, names] : keys)
    for (const auto& key : names) EXPECT_FALSE(english->ReadString(section, key).empty()) << section << "/" << key;
  EXPECT_EQ(english->ReadString("File", "Family"), "EN");
  EXPECT_EQ(english->ReadInteger("File", "LangId", 0), 1033);

  // Texts used as formats take exactly the arguments their callers pass.
  const std::vector<std::tuple<std::string, std::string, int>> formats = {
      {"Common", "E1", 1}, {"Common", "E3", 1}, {"Common", "QM2", 1}, {"PageAddons", "L1", 1}, {"PageAddons", "L2", 2}};
  for (const auto& [section, key, args] : formats)
    EXPECT_EQ(CountFormatArgs(english->ReadString(section, key)), args) << section << "/" << key;
}

TEST(SampleProduct, EveryLanguageTranslatesEveryEnglishText) {
  const std::vector<std::string> files = LanguageFiles();
  ASSERT_GE(files.size(), 3u);
  const auto english = LoadLanguage("English.lng");
  std::set<int32_t> langIds;
  std::set<std::string> families;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const auto lang = LoadLanguage(file);
    for (int s = 0; s < english->SectionCount(); ++s) {
      const std::string& section = english->SectionName(s);
      if (section == "File") continue;
      TKVLStringList keys;
      english->ReadKeys(section, keys);
      for (int k = 0; k < keys.Count(); ++k) {
        const std::string en = english->ReadString(section, keys.Strings(k));
        const std::string text = lang->ReadString(section, keys.Strings(k));
        EXPECT_TRUE(en.empty() || !text.empty()) << section << "/" << keys.Strings(k) << " is not translated";
        EXPECT_EQ(CountFormatArgs(text), CountFormatArgs(en)) << section << "/" << keys.Strings(k);
        EXPECT_EQ(text.find('%') != std::string::npos, en.find('%') != std::string::npos)
            << section << "/" << keys.Strings(k);
      }
    }
    // The language list shows a name and an icon; the family picks licenses and files.
    EXPECT_FALSE(lang->ReadString("File", "Name").empty());
    EXPECT_TRUE(langIds.insert(lang->ReadInteger("File", "LangId", 0)).second);
    EXPECT_TRUE(families.insert(lang->ReadString("File", "Family")).second);
    TKVLMemoryStream icon;
    ASSERT_TRUE(lang->ReadStream("File", "Icon", icon));
    const auto* ico = static_cast<const unsigned char*>(icon.Memory());
    ASSERT_GE(icon.Size(), 22);
    // Icon file header: reserved 0, type 1, one image of 16 x 16 whose data fits the file.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ico), 4), std::string("\0\0\1\0", 4));
    EXPECT_EQ(ico[4] | ico[5] << 8, 1);
    EXPECT_EQ(ico[6], 16);
    EXPECT_EQ(ico[7], 16);
    const uint32_t bytes = ico[14] | ico[15] << 8 | ico[16] << 16 | uint32_t(ico[17]) << 24;
    const uint32_t offset = ico[18] | ico[19] << 8 | ico[20] << 16 | uint32_t(ico[21]) << 24;
    EXPECT_EQ(int64_t(offset) + bytes, icon.Size());
  }
  EXPECT_TRUE(families.count("RU"));
}

TEST(SampleProduct, AddonsOfferNamesItsPictureAndInstaller) {
  TKVLStringList list;
  TKVLFileStream stream(SourceDir() + "SETUP" + KVL::Platform::kPathDelim + "addons.ini", TFileOpenMode::fomRead);
  list.LoadFromStream(stream);
  for (const char* name : {"I0", "L0", "L1", "L2", "P1", "P2", "P3", "P4", "CL"})
    EXPECT_FALSE(list.Value(name).empty()) << name;
  EXPECT_TRUE(InPackages(list.Value("I0"))) << list.Value("I0");
  EXPECT_TRUE(KVL::Platform::FileExists(StagedEntry("SETUP", list.Value("P4")))) << list.Value("P4");
  EXPECT_EQ(CountFormatArgs(list.Value("CL")), 1) << list.Value("CL");
}

TEST(SampleProduct, ArtworkHasTheSizesTheWizardDrawsItAt) {
  struct TCase {
    std::string name;
    uint32_t width, height;
  };
  const TCase cases[] = {{"header.png", 640, 53},
                         {"header_dark.png", 640, 53},
                         {"wizard_light.png", 188, 435},
                         {"wizard_dark.png", 188, 435},
                         {"addons.png", 160, 96}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string png = TestUtil::ReadWholeFile(StagedEntry("SETUP", c.name));
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    auto be32 = [&](size_t at) {
      return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
             uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    };
    EXPECT_EQ(be32(16), c.width);
    EXPECT_EQ(be32(20), c.height);
    EXPECT_LT(png.size(), 16u * 1024);
  }
}

// Each stand-in appends one line per start next to itself: time, its path, its arguments.
TEST(SampleProduct, StandInProgramsRecordEachStart) {
  struct TCase {
    std::string program, package, log;
    bool acceptsTheSwitches;  // the companion refuses switches it does not know, after the record
  };
  const TCase cases[] = {{"ONDU.exe", "PRODUCT", "started.log", true},
                         {"Elevator.exe", "PRODUCT", "elevator.log", false},
                         {"ONDUAddonsSetup.exe", "SETUP", "addons.log", true}};
  // With a display the player would stay open with its window until closed.
  KVL::Platform::TEnvironmentOverride noDisplay{"DISPLAY", std::nullopt};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.program);
    TestUtil::TTempDir dir;
    const std::string exe = dir.File(c.program);
    std::filesystem::copy_file(StagedEntry(c.package, c.program), exe);
    EXPECT_EQ(std::system((exe + " /SILENT /VIEWER \"two words\"").c_str()) == 0, c.acceptsTheSwitches);
    ASSERT_EQ(std::system(exe.c_str()), 0);
    const std::string log = TestUtil::ReadWholeFile(dir.File(c.log));
    TKVLStringList lines;
    lines.SetText(log);
    ASSERT_EQ(lines.Count(), 2) << log;
    const std::string expected[] = {"/SILENT /VIEWER \"two words\"", ""};
    for (int i = 0; i < 2; ++i) {
      const std::string& line = lines.Strings(i);
      const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
      ASSERT_NE(tab2, std::string::npos) << line;
      EXPECT_EQ(tab1, 20u) << line;  // 2026-12-09T23:18:19Z
      EXPECT_TRUE(SameTextAscii(line.substr(tab1 + 1, tab2 - tab1 - 1), exe)) << line;
      EXPECT_EQ(line.substr(tab2 + 1), expected[i]);
    }
  }
}

} // namespace

#endif // ONDU_SAMPLE_STAGE_DIR
