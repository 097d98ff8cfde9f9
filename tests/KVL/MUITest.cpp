// Language files: description and icon, English completion, ANSICP, listeners, LangFile.
#include <gtest/gtest.h>

#include <cctype>

#include "KVL/Base/MUI.h"
#include "KVL/Base/TextDecoder.h"
#include "TestUtil.h"

using namespace KVL::MUI;
using KVL::Classes::TKVLStringList;
using TestUtil::TTempDir;

namespace {

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

struct TIconShape {
  uint32_t reserved = 0, type = 1, count = 1, bytes = 4, offset = 22;
  size_t total = 26;
};

// An icon file of one directory entry followed by its (dummy) image.
std::string IconFile(const TIconShape& shape) {
  std::string s(shape.total, '\x7F');
  Put16(s, 0, shape.reserved);
  Put16(s, 2, shape.type);
  Put16(s, 4, shape.count);
  if (shape.total >= 22) {
    Put32(s, 6 + 8, shape.bytes);
    Put32(s, 6 + 12, shape.offset);
  }
  return s;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string h;
  for (char c : bytes) {
    h.push_back(digits[static_cast<uint8_t>(c) >> 4]);
    h.push_back(digits[static_cast<uint8_t>(c) & 15]);
  }
  return h;
}

std::unique_ptr<TKVLIniFile> Parse(std::string_view text) {
  auto ini = std::make_unique<TKVLIniFile>();
  ini->LoadFromString(text);
  return ini;
}

// A scratch Langs folder; the process-wide settings a test touches are put back afterwards.
class MUITest : public ::testing::Test {
protected:
  void SetUp() override {
    savedFolder_ = LangsFolder();
    savedCodePage_ = KVL::Text::DefaultCodePage();
    SetLangsFolder(dir_.Path());
    KVL::Text::SetDefaultCodePage(0);
  }
  void TearDown() override {
    SetLangBroadcast(nullptr);
    SetLocalizationFactory(nullptr);
    FreeLangFile();
    SetLangsFolder(savedFolder_);
    KVL::Text::SetDefaultCodePage(savedCodePage_);
  }
  void WriteLang(const std::string& name, const std::string& text) { TestUtil::WriteWholeFile(dir_.File(name), text); }

  TTempDir dir_;

private:
  std::string savedFolder_;
  unsigned savedCodePage_ = 0;
};

} // namespace

TEST(LangGetInfo, ReadsTheDescription) {
  TKVLLocalizationInfo info;
  EXPECT_TRUE(LangGetInfo(*Parse("[File]\r\nName=Deutsch\r\nLangId=1031\r\nAuthor=Jemand\r\nVersionId=3\r\n"
                                 "Family=DE"),
                          info));
  EXPECT_EQ(info.Name, "Deutsch");
  EXPECT_EQ(info.LangId, 1031);
  EXPECT_EQ(info.Author, "Jemand");
  EXPECT_EQ(info.VersionId, 3);

  EXPECT_TRUE(LangGetInfo(*Parse("[File]\r\nLangId=x\r\n[Other]\r\nName=No"), info));
  EXPECT_EQ(info.Name, "");
  EXPECT_EQ(info.LangId, 0);
  EXPECT_EQ(info.Author, "");
  EXPECT_EQ(info.VersionId, 0);
}

TEST(LangGetInfo, TakesTheIconOnlyWhenItIsOne) {
  const std::string valid = IconFile({});
  struct {
    const char* label;
    std::string iconLine;  // the Icon line of section File; empty = none
    bool loads;
  } cases[] = {
      {"valid", "Icon=" + Hex(valid), true},
      {"lowercase hex", "Icon=" + [&] {
         std::string h = Hex(valid);
         for (char& c : h) c = static_cast<char>(std::tolower(c));
         return h;
       }(),
       true},
      {"missing", "", false},
      {"empty", "Icon=", false},
      {"not hexadecimal", "Icon=zz", false},
      {"odd length", "Icon=0", false},
      {"arbitrary bytes", "Icon=" + Hex("GIF89a..."), false},
      {"reserved not 0", "Icon=" + Hex(IconFile({.reserved = 1})), false},
      {"cursor, not icon", "Icon=" + Hex(IconFile({.type = 2})), false},
      {"no images", "Icon=" + Hex(IconFile({.count = 0})), false},
      {"header only", "Icon=" + Hex(IconFile({.total = 6})), false},
      {"entries beyond the data", "Icon=" + Hex(IconFile({.count = 2})), false},
      {"image beyond the data", "Icon=" + Hex(IconFile({.offset = 23})), false},
      {"empty image", "Icon=" + Hex(IconFile({.bytes = 0})), false},
      {"offset overflow", "Icon=" + Hex(IconFile({.bytes = 4, .offset = 0xFFFFFFFF})), false},
  };
  for (const auto& c : cases) {
    TKVLIconData icon;
    TKVLLocalizationInfo info;
    KVL::Streams::TKVLReadOnlyMemoryStream old(valid.data(), valid.size());
    ASSERT_TRUE(icon.LoadFromStream(old));  // something to clear
    EXPECT_TRUE(LangGetInfo(*Parse("[File]\r\nName=N\r\n" + c.iconLine), info, &icon));
    EXPECT_EQ(!icon.IsEmpty(), c.loads) << c.label;
    if (c.loads) {
      EXPECT_EQ(std::string(icon.Bytes().begin(), icon.Bytes().end()), valid) << c.label;
    }
    EXPECT_EQ(info.Name, "N") << c.label;
  }
}

TEST_F(MUITest, TranslationsAreCompletedFromEnglish) {
  WriteLang("English.lng", "[Common]\r\nA=Eng A\r\nB=Eng B\r\n[Only]\r\nX=eng x");
  WriteLang("German.lng", "[Common]\r\nA=Ger A");
  WriteLang("Russian.lng", "[Common]\r\nA=Rus A");
  WriteLang("rUSSIAN.lng", "[Common]\r\nA=Rus A");  // the same file where names ignore case
  struct {
    const char* file;
    const char* a;
    const char* b;
    const char* x;
  } cases[] = {
      {"German.lng", "Ger A", "Eng B", "eng x"},
      {"Russian.lng", "Rus A", "", ""},   // taken as complete
      {"rUSSIAN.lng", "Rus A", "", ""},   // names compare ignoring case
      {"English.lng", "Eng A", "Eng B", "eng x"},
      {"Missing.lng", "Eng A", "Eng B", "eng x"},  // nothing loaded: all English
  };
  for (const auto& c : cases) {
    TKVLLocalization loc;
    loc.LoadFromFile(c.file);
    EXPECT_EQ(loc.ReadString("Common", "A"), c.a) << c.file;
    EXPECT_EQ(loc.ReadString("Common", "B"), c.b) << c.file;
    EXPECT_EQ(loc.ReadString("Only", "X"), c.x) << c.file;
    EXPECT_FALSE(loc.IsModified()) << c.file;
  }
}

TEST_F(MUITest, EscapedLineBreaksBecomeCrLf) {
  const char* text = "[T]\r\nk=Line one\\nLine two\\n\r\nplain=a\\b";
  TKVLLocalization loc;
  loc.LoadFromString(text);
  EXPECT_EQ(loc.ReadString("T", "k"), "Line one\r\nLine two\r\n");
  EXPECT_EQ(loc.ReadString("T", "plain"), "a\\b");
  EXPECT_EQ(Parse(text)->ReadString("T", "k"), "Line one\\nLine two\\n");  // plain INI: as written

  LangFile().LoadFromString(text);
  EXPECT_EQ(LangGet("T", "k"), "Line one\r\nLine two\r\n");
  EXPECT_EQ(LangGet("T", "missing", "def"), "def");
}

TEST_F(MUITest, AnsiCodePageOfALanguageGovernsLaterFiles) {
  WriteLang("Cyr.lng", "[File]\r\nANSICP=1251\r\n[T]\r\nk=v");
  WriteLang("plain.ini", "[S]\r\nk=\xC0");

  TKVLIniFile asPlainIni(dir_.File("Cyr.lng"));
  EXPECT_EQ(KVL::Text::DefaultCodePage(), 0u);  // a plain INI object changes nothing

  TKVLLocalization loc;
  loc.LoadFromFile("Cyr.lng");
  EXPECT_EQ(KVL::Text::DefaultCodePage(), 1251u);
  TKVLIniFile later(dir_.File("plain.ini"));
  EXPECT_EQ(later.ReadString("S", "k"), "\xD0\x90");  // Cyrillic А

  loc.LoadFromFile("Missing.lng");  // loads nothing: the setting stays
  EXPECT_EQ(KVL::Text::DefaultCodePage(), 1251u);
  WriteLang("NoCp.lng", "[T]\r\nk=v");
  loc.LoadFromFile("NoCp.lng");
  EXPECT_EQ(KVL::Text::DefaultCodePage(), 0u);
}

namespace {

using TLog = std::vector<std::string>;

class TPlainListener : public IKVLLocalizationListener {
public:
  TPlainListener(std::string name, TLog& log) : name_(std::move(name)), log_(log) {}
  void LocalizationChanged() override { log_.push_back(name_ + ".changed"); }

protected:
  std::string name_;
  TLog& log_;
};

class TEarlyListener : public IKVLLocalizationListener2 {
public:
  TEarlyListener(std::string name, TLog& log) : name_(std::move(name)), log_(log) {}
  void LocalizationChanging() override {
    log_.push_back(name_ + ".changing");
    if (onChanging) onChanging();
  }
  void LocalizationChanged() override { log_.push_back(name_ + ".changed"); }
  std::function<void()> onChanging;

private:
  std::string name_;
  TLog& log_;
};

class TMiddleListener : public IKVLLocalizationListener3 {
public:
  TMiddleListener(std::string name, TLog& log) : name_(std::move(name)), log_(log) {}
  void LocalizationApplying() override { log_.push_back(name_ + ".applying"); }
  void LocalizationChanged() override { log_.push_back(name_ + ".changed"); }

private:
  std::string name_;
  TLog& log_;
};

class TBothListener : public IKVLLocalizationListener2, public IKVLLocalizationListener3 {
public:
  TBothListener(std::string name, TLog& log) : name_(std::move(name)), log_(log) {}
  void LocalizationChanging() override { log_.push_back(name_ + ".changing"); }
  void LocalizationApplying() override { log_.push_back(name_ + ".applying"); }
  void LocalizationChanged() override { log_.push_back(name_ + ".changed"); }

private:
  std::string name_;
  TLog& log_;
};

} // namespace

TEST_F(MUITest, ListenersHearEachStageInOrder) {
  TLog log;
  TPlainListener p("p", log);
  TMiddleListener m("m", log);
  TEarlyListener e("e", log);
  TBothListener b("b", log);
  SetLangBroadcast([&] { log.push_back("windows"); });
  TKVLLocalization loc;
  for (IKVLLocalizationListener* l : std::initializer_list<IKVLLocalizationListener*>{&p, &m, &e, &b, &p})
    loc.AddListener(l);  // p twice: registered once
  loc.LoadFromFile("Missing.lng");
  EXPECT_EQ(log, (TLog{"e.changing", "b.changing", "m.applying", "b.applying", "windows", "p.changed", "m.changed",
                       "e.changed", "b.changed"}));

  log.clear();
  loc.RemoveListener(&m);
  std::string data = "[T]\r\nk=v";
  KVL::Streams::TKVLReadOnlyMemoryStream s(data.data(), data.size());
  loc.LoadFromStream(s);
  EXPECT_EQ(log, (TLog{"e.changing", "b.changing", "b.applying", "windows", "p.changed", "e.changed", "b.changed"}));
}

TEST_F(MUITest, ListenersMayRemoveThemselvesOrOthersDuringANotification) {
  TLog log;
  TKVLLocalization loc;
  TEarlyListener quitter("q", log);
  TEarlyListener victim("v", log);
  TEarlyListener remover("r", log);
  TPlainListener stayer("s", log);
  quitter.onChanging = [&] { loc.RemoveListener(&quitter); };
  remover.onChanging = [&] {
    loc.RemoveListener(&victim);
    remover.onChanging = nullptr;
  };
  loc.AddListener(&quitter);
  loc.AddListener(&remover);
  loc.AddListener(&victim);
  loc.AddListener(&stayer);
  loc.LoadFromFile("Missing.lng");
  EXPECT_EQ(log, (TLog{"q.changing", "r.changing", "r.changed", "s.changed"}));

  log.clear();
  loc.LoadFromFile("Missing.lng");
  EXPECT_EQ(log, (TLog{"r.changing", "r.changed", "s.changed"}));
}

TEST_F(MUITest, ApplyToItemsReplacesTheItemsThatHaveTexts) {
  LangFile().LoadFromString("[List]\r\ni[0]=Eins\r\ni[2]=Drei\\nZeilen\r\ni[3]=none");
  TKVLStringList items;
  items.SetText("one\r\ntwo\r\nthree");
  int events = 0;
  items.OnChange = [&](TKVLStringList&) { ++events; };
  LangApplyToItems("List", items);
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Strings(0), "Eins");
  EXPECT_EQ(items.Strings(1), "two");
  EXPECT_EQ(items.Strings(2), "Drei\r\nZeilen");
  EXPECT_EQ(events, 1);
}

TEST_F(MUITest, LangFileIsCreatedFromTheReplaceableClass) {
  class TMyLocalization : public TKVLLocalization {};
  TKVLLocalization* first = &LangFile();
  EXPECT_EQ(&LangFile(), first);
  EXPECT_EQ(dynamic_cast<TMyLocalization*>(first), nullptr);
  EXPECT_TRUE(LangFile().IsEmpty());

  SetLocalizationFactory([] { return std::make_unique<TMyLocalization>(); });
  FreeLangFile();
  EXPECT_NE(dynamic_cast<TMyLocalization*>(&LangFile()), nullptr);
  EXPECT_FALSE(LangFile().AutoSave());
}
