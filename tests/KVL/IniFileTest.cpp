// TKVLIniFile: parsing, lookups, typed reads and writes, merge, change tracking, files.
#include <gtest/gtest.h>

#include <filesystem>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/TextDecoder.h"
#include "TestUtil.h"

using namespace KVL::FileFormats::INI;
using KVL::Streams::TKVLMemoryStream;
using TestUtil::TTempDir;

namespace {

// The saved form as UTF-8 without a byte-order mark, for readable expectations.
std::string Saved(const TKVLIniFile& ini) { return ini.Serialize(TTextEncoding::Ansi(65001)); }

std::unique_ptr<TKVLIniFile> Parse(std::string_view text) {
  auto ini = std::make_unique<TKVLIniFile>();
  ini->LoadFromString(text);
  return ini;
}

std::string StreamBytes(TKVLMemoryStream& m) {
  return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}

} // namespace

TEST(IniFile, ParsingKeepsLinesLiterally) {
  struct {
    const char* label;
    std::string text;
    std::string saved;
  } cases[] = {
      {"text before the first header is dropped", "a=1\r\n[S]\r\nk=v", "[S]\r\nk=v\r\n\r\n"},
      {"duplicate headers merge in file order", "[Sec]\r\na=1\r\n[X]\r\nx=1\r\n[SEC]\r\nb=2",
       "[Sec]\r\na=1\r\nb=2\r\n\r\n[X]\r\nx=1\r\n\r\n"},
      {"header without closing bracket", "[Sec\r\nx=1", "[Se]\r\nx=1\r\n\r\n"},
      {"header with text after the bracket", "[a]b]\r\nx=1", "[a]b]\r\nx=1\r\n\r\n"},
      {"bare bracket is the empty name", "[\r\nx=1", "[]\r\nx=1\r\n\r\n"},
      {"multi-byte last character goes whole", "[S\xC3\xA9\r\nx=1", "[S]\r\nx=1\r\n\r\n"},
      {"comments and spaces stay", "[S]\r\n;note\r\n a = b \r\n", "[S]\r\n;note\r\n a = b \r\n\r\n"},
      {"empty lines are skipped", "[S]\r\n\r\n\n\rk=v\r\n\r\n", "[S]\r\nk=v\r\n\r\n"},
      {"every kind of break", "[S]\nk=v\rj=w\xE2\x80\xA8l=x\xE2\x80\xA8\r\nm=y", "[S]\r\nk=v\r\nj=w\r\nl=x\r\nm=y\r\n\r\n"},
      {"sections without lines are not written", "[Empty]\r\n[S]\r\nk=v\r\n[Also]", "[S]\r\nk=v\r\n\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Saved(*Parse(c.text)), c.saved) << c.label;
}

TEST(IniFile, ReadStringFindsTheFirstLineByName) {
  auto ini = Parse("[Sec]\r\na = b\r\nKey=1=2\r\nEmpty=\r\nDup=first\r\ndup=second\r\n;note\r\n"
                   "[\xC3\x84nderung]\r\nk=\xC3\xA4");
  struct {
    std::string section, key, expected;
  } cases[] = {
      {"Sec", "a", "def"},  // the key is "a " and the value " b"
      {"Sec", "a ", " b"},
      {"sec", "KEY", "1=2"},
      {"Sec", "Empty", ""},  // present and empty: not the default
      {"Sec", "DUP", "first"},
      {"Sec", "missing", "def"},
      {"Missing", "Key", "def"},
      {"\xC3\xA4NDERUNG", "K", "\xC3\xA4"},  // locale-aware case folding of non-ASCII names
  };
  for (const auto& c : cases)
    EXPECT_EQ(ini->ReadString(c.section, c.key, "def"), c.expected) << c.section << "/" << c.key;
  std::string v = "untouched";
  EXPECT_FALSE(ini->TryReadString("Sec", "nothing", v));
  EXPECT_EQ(v, "untouched");
  EXPECT_TRUE(ini->TryReadString("Sec", "Empty", v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(ini->ValueExists("SEC", "dup"));
  EXPECT_FALSE(ini->ValueExists("Sec", "b"));
}

TEST(IniFile, IntegerAndBooleanReads) {
  struct {
    const char* value;
    int32_t integer;  // ReadInteger with default 7
    bool boolFalse;   // ReadBool with default false
    bool boolTrue;    // ReadBool with default true
  } cases[] = {
      {"12", 12, true, true},   {"-5", -5, true, true},    {"0", 0, false, false},
      {"2", 2, true, true},     {"$1F", 31, true, true},   {"0x10", 16, true, true},
      {" 3", 3, true, true},    {"3 ", 7, false, true},    {"abc", 7, false, true},
      {"true", 7, false, true}, {"false", 7, false, true}, {"", 7, false, true},
      {"2147483647", 2147483647, true, true},              {"2147483648", 7, false, true},
  };
  for (const auto& c : cases) {
    TKVLIniFile ini;
    ini.WriteString("S", "v", c.value);
    EXPECT_EQ(ini.ReadInteger("S", "v", 7), c.integer) << c.value;
    EXPECT_EQ(ini.ReadBool("S", "v", false), c.boolFalse) << c.value;
    EXPECT_EQ(ini.ReadBool("S", "v", true), c.boolTrue) << c.value;
  }
  TKVLIniFile ini;
  EXPECT_EQ(ini.ReadInteger("S", "missing", -3), -3);
  EXPECT_TRUE(ini.ReadBool("S", "missing", true));
}

TEST(IniFile, RectReadsAndWrites) {
  const TKVLRect def{9, 9, 9, 9};
  struct {
    const char* value;
    TKVLRect expected;
  } cases[] = {
      {"1,2,3,4", {1, 2, 3, 4}}, {"-1,-2,-3,-4", {-1, -2, -3, -4}}, {"1,2", {1, 2, 0, 0}},
      {"5", {5, 0, 0, 0}},       {"1,x,3,4", def},                  {"", def},
      {"1,2,3,4,5", def},        {"1,,3,4", def},
  };
  for (const auto& c : cases) {
    TKVLIniFile ini;
    ini.WriteString("S", "r", c.value);
    EXPECT_EQ(ini.ReadRect("S", "r", def), c.expected) << c.value;
  }
  TKVLIniFile ini;
  ini.WriteRect("S", "r", {-10, 20, 300, 4000});
  EXPECT_EQ(ini.ReadString("S", "r"), "-10,20,300,4000");
  EXPECT_EQ(ini.ReadRect("S", "missing", def), def);
}

TEST(IniFile, StreamsAsHexadecimal) {
  TKVLIniFile ini;
  TKVLMemoryStream in;
  in.WriteBuffer("\x0A\xFF", 2);
  in.SetPosition(1);
  ini.WriteStream("S", "data", in);
  EXPECT_EQ(ini.ReadString("S", "data"), "0aff");
  EXPECT_EQ(in.Position(), 1);  // the whole stream is written, its position kept

  for (const char* hex : {"0aff", "0AFF", "0Aff"}) {
    ini.WriteString("S", "h", hex);
    TKVLMemoryStream out;
    out.WriteBuffer("xy", 2);
    ASSERT_TRUE(ini.ReadStream("S", "h", out)) << hex;
    EXPECT_EQ(out.Position(), 2);  // back at the start of the decoded bytes
    EXPECT_EQ(StreamBytes(out), std::string("xy\x0A\xFF", 4));
  }

  for (const char* bad : {"0af", "0g", "zz", "0a f"}) {
    ini.WriteString("S", "bad", bad);
    TKVLMemoryStream out;
    out.WriteBuffer("abc", 3);
    out.SetPosition(1);
    EXPECT_FALSE(ini.ReadStream("S", "bad", out)) << bad;
    EXPECT_EQ(out.Position(), 1);
    EXPECT_EQ(out.Size(), 3);
  }
  TKVLMemoryStream none;
  EXPECT_FALSE(ini.ReadStream("S", "missing", none));

  TKVLMemoryStream empty;
  ini.WriteStream("S", "data", empty);  // an empty stream is not stored
  EXPECT_FALSE(ini.ValueExists("S", "data"));
}

TEST(IniFile, WritesReplaceTheFirstMatchOrAppend) {
  auto ini = Parse("[S]\r\nKEY=1\r\nkey=2\r\n[T]\r\nx=1");
  ini->WriteString("s", "Key", "3");
  ini->WriteString("S", "new", "n");
  ini->WriteInteger("U", "i", -42);
  ini->WriteBool("U", "yes", true);
  ini->WriteBool("U", "no", false);
  EXPECT_EQ(Saved(*ini), "[S]\r\nKey=3\r\nkey=2\r\nnew=n\r\n\r\n[T]\r\nx=1\r\n\r\n[U]\r\ni=-42\r\nyes=1\r\nno=0\r\n\r\n");
}

TEST(IniFile, DeletingKeysAndSections) {
  auto ini = Parse("[S]\r\na=1\r\nA=2\r\n[T]\r\nonly=1\r\n[V]\r\nv=1");
  ini->DeleteKey("S", "a");
  ini->DeleteKey("S", "missing");
  ini->DeleteKey("Missing", "a");
  ini->DeleteKey("T", "only");
  EXPECT_TRUE(ini->SectionExists("T"));  // still there, but has nothing to write
  ini->DeleteSection("v");
  EXPECT_FALSE(ini->SectionExists("V"));
  EXPECT_EQ(Saved(*ini), "[S]\r\nA=2\r\n\r\n");
  EXPECT_EQ(ini->SectionCount(), 2);
  EXPECT_EQ(ini->SectionName(1), "T");
  EXPECT_THROW(ini->SectionName(2), KVL::SysUtils::EKVLInvalidOperation);
  ini->Clear();
  EXPECT_TRUE(ini->IsEmpty());
}

TEST(IniFile, LookupCachesStayCorrect) {
  auto ini = Parse("[A]\r\nk=1\r\n[B]\r\nk=2");
  EXPECT_EQ(ini->ReadString("B", "k"), "2");  // B is now the cached section
  ini->DeleteSection("B");
  EXPECT_EQ(ini->ReadString("B", "k", "gone"), "gone");
  ini->WriteString("B", "k", "3");
  EXPECT_EQ(ini->ReadString("b", "K"), "3");
  // A line renamed through the section drops its cached name hash.
  TKVLIniFileSection* a = ini->FindSection("A");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(ini->ValueExists("A", "k"));
  a->SetString(0, "other=1");
  EXPECT_FALSE(ini->ValueExists("A", "k"));
  EXPECT_EQ(ini->ReadString("A", "OTHER"), "1");
  EXPECT_EQ(NameHash("Key"), NameHash("kEY"));
  EXPECT_EQ(NameHash("\xC3\xA4"), NameHash("\xC3\x84"));
  EXPECT_NE(NameHash(""), 0u);
}

TEST(IniFile, KeysAndSectionText) {
  auto ini = Parse("[S]\r\nb=1\r\n;note\r\n=x\r\na=2\r\nb=3");
  TKVLStringList keys;
  keys.Add("stale");
  ini->ReadKeys("S", keys);
  EXPECT_EQ(keys.Text(), "b\r\na\r\nb\r\n");
  ini->ReadKeys("Missing", keys);
  EXPECT_EQ(keys.Count(), 0);
  EXPECT_EQ(ini->ReadSectionText("S"), "b=1\r\n;note\r\n=x\r\na=2\r\nb=3\r\n");
  EXPECT_EQ(ini->ReadSectionText("Missing"), "");

  struct {
    std::string text;
    std::string sectionText;
  } cases[] = {
      {"x=1\r\n\r\ny=2", "x=1\r\n\r\ny=2\r\n"},  // empty lines are kept
      {"x=1\r\n", "x=1\r\n"},                    // no empty last line
      {"x=1\ny", "x=1\r\ny\r\n"},                // a last line without break counts
      {"", ""},
  };
  for (const auto& c : cases) {
    ini->WriteSectionText("W", c.text);
    EXPECT_EQ(ini->ReadSectionText("W"), c.sectionText) << c.text;
  }
  EXPECT_EQ(ini->SectionName(ini->SectionCount() - 1), "W");
}

TEST(IniFile, MergeAddsMissingSectionsWholeAndKeysOneByOne) {
  const char* target = "[Common]\r\nA=mine\r\n;own\r\n";
  const char* source = "[Common]\r\nB=theirs\r\na=theirs\r\n;comment\r\n[New]\r\n;kept\r\nx=1";
  struct {
    bool overwrite;
    std::string saved;
  } cases[] = {
      {false, "[Common]\r\nA=mine\r\n;own\r\nB=theirs\r\n\r\n[New]\r\n;kept\r\nx=1\r\n\r\n"},
      {true, "[Common]\r\na=theirs\r\n;own\r\nB=theirs\r\n\r\n[New]\r\n;kept\r\nx=1\r\n\r\n"},
  };
  for (const auto& c : cases) {
    auto dst = Parse(target);
    dst->Merge(*Parse(source), c.overwrite);
    EXPECT_EQ(Saved(*dst), c.saved) << c.overwrite;
  }
}

TEST(IniFile, AssignAndEqualityGoThroughTheSavedForm) {
  auto a = Parse("[S]\r\nk=v\r\n[Empty]");
  auto b = Parse("[S]\r\nk=v");
  EXPECT_TRUE(*a == *b);  // the empty section is not part of the saved form
  b->WriteString("S", "k", "w");
  EXPECT_FALSE(*a == *b);
  TKVLIniFile c;
  c.SetEncoding(TTextEncoding::Utf8());
  c.Assign(*b);
  EXPECT_TRUE(c == *b);
  EXPECT_EQ(c.Encoding(), TTextEncoding::Utf16LE());
}

TEST(IniFile, ChangesMarkModifiedAndRaiseTheEvent) {
  TKVLIniFile ini;
  int events = 0;
  ini.OnChange = [&](TKVLIniFile&) { ++events; };
  EXPECT_FALSE(ini.IsModified());
  ini.WriteString("S", "a", "1");
  EXPECT_TRUE(ini.IsModified());
  EXPECT_GE(events, 1);

  events = 0;
  ini.SetModified(false);
  ini.BeginUpdate();
  ini.WriteString("S", "b", "2");
  ini.DeleteKey("S", "a");
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(ini.IsModified());
  ini.EndUpdate();
  EXPECT_EQ(events, 1);

  ini.SetModified(false);
  TKVLStringList keys;
  ini.ReadString("S", "b");
  ini.ReadKeys("S", keys);
  EXPECT_FALSE(ini.IsModified());  // reads change nothing

  ini.LoadFromString("");
  EXPECT_TRUE(ini.IsModified());
}

TEST(IniFile, SavesInEveryEncoding) {
  auto ini = Parse("[S]\r\nk=\xD0\x90");  // А
  struct {
    std::optional<TTextEncoding> encoding;
    std::string bytes;
  } cases[] = {
      {std::nullopt, std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x10\x04\r\0\n\0\r\0\n\0", 26)},
      {TTextEncoding::Utf8(), "\xEF\xBB\xBF[S]\r\nk=\xD0\x90\r\n\r\n"},
      {TTextEncoding::Ansi(1251), "[S]\r\nk=\xC0\r\n\r\n"},
  };
  for (const auto& c : cases) {
    TKVLMemoryStream m;
    ini->SaveToStream(m, c.encoding);
    EXPECT_EQ(StreamBytes(m), c.bytes);
  }
  TKVLIniFile empty;
  TKVLMemoryStream m;
  empty.SaveToStream(m);
  EXPECT_EQ(StreamBytes(m), "\xFF\xFE");
}

TEST(IniFile, MissingFileLoadsEmptyAndUnmodified) {
  TTempDir dir;
  TKVLIniFile ini(dir.File("none.ini"));
  EXPECT_TRUE(ini.IsEmpty());
  EXPECT_FALSE(ini.IsModified());
  EXPECT_EQ(ini.FileName(), dir.File("none.ini"));
  ini.WriteString("S", "k", "v");
  ini.LoadFromFile(dir.File("none.ini"));
  EXPECT_TRUE(ini.IsEmpty());
  EXPECT_FALSE(ini.IsModified());
}

TEST(IniFile, FileRoundTripKeepsTheLoadedEncoding) {
  TTempDir dir;
  struct {
    const char* label;
    std::string bytes;
    std::string savedMark;
  } cases[] = {
      {"UTF-8 with mark", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n", "\xEF\xBB\xBF"},
      {"UTF-16LE", std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0v\0", 16), "\xFF\xFE"},
      {"UTF-16BE", std::string("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0v", 16), "\xFE\xFF"},
      {"8-bit", "[S]\r\nk=\xE9\r\n", "[S]"},
  };
  unsigned savedCp = KVL::Text::DefaultCodePage();
  KVL::Text::SetDefaultCodePage(1252);
  for (const auto& c : cases) {
    std::string path = dir.File("enc.ini");
    TestUtil::WriteWholeFile(path, c.bytes);
    TKVLIniFile ini(path);
    EXPECT_FALSE(ini.IsModified()) << c.label;
    std::string k = ini.ReadString("S", "k");
    ini.WriteString("S", "added", "1");
    EXPECT_TRUE(ini.UpdateFile()) << c.label;
    EXPECT_FALSE(ini.IsModified()) << c.label;
    std::string saved = TestUtil::ReadWholeFile(path);
    EXPECT_EQ(saved.substr(0, c.savedMark.size()), c.savedMark) << c.label;
    TKVLIniFile back(path);
    EXPECT_EQ(back.ReadString("S", "k"), k) << c.label;
    EXPECT_EQ(back.ReadString("S", "added"), "1") << c.label;
    EXPECT_EQ(back.Encoding(), ini.Encoding()) << c.label;
  }
  KVL::Text::SetDefaultCodePage(savedCp);
}

TEST(IniFile, UpdateFileWritesOnlyWhatNeedsWriting) {
  TTempDir dir;
  TKVLIniFile noName;
  noName.WriteString("S", "k", "v");
  EXPECT_TRUE(noName.UpdateFile());
  EXPECT_TRUE(noName.IsModified());  // nowhere to write to

  std::string path = dir.File("u.ini");
  TestUtil::WriteWholeFile(path, "[S]\r\nk=v\r\n");
  {
    TKVLIniFile ini(path);
    TestUtil::WriteWholeFile(path, "changed behind our back");
    EXPECT_TRUE(ini.UpdateFile());  // not modified: nothing written
  }
  EXPECT_EQ(TestUtil::ReadWholeFile(path), "changed behind our back");
}

TEST(IniFile, AutoSaveWritesChangesOnDestruction) {
  TTempDir dir;
  for (bool autoSave : {false, true}) {
    std::string path = dir.File(autoSave ? "auto.ini" : "manual.ini");
    {
      TKVLIniFile ini(path, autoSave);
      ini.WriteString("S", "k", "v");
    }
    EXPECT_EQ(KVL::Platform::FileExists(path), autoSave);
    if (autoSave) {
      EXPECT_EQ(TKVLIniFile(path).ReadString("S", "k"), "v");
    }
  }
}

TEST(IniFile, SaveToFileReplacesReadOnlyFilesAndReportsFailure) {
  TTempDir dir;
  std::string path = dir.File("ro.ini");
  TestUtil::WriteWholeFile(path, "old");
  namespace fs = std::filesystem;
  fs::permissions(fs::u8path(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  auto ini = Parse("[S]\r\nk=v");
  EXPECT_TRUE(ini->SaveToFile(path));
  EXPECT_EQ(TKVLIniFile(path).ReadString("S", "k"), "v");

  EXPECT_FALSE(ini->SaveToFile(dir.File("no/such/folder/x.ini")));
  TKVLIniFile bad(dir.File("no/such/folder/x.ini"));
  bad.WriteString("S", "k", "v");
  EXPECT_FALSE(bad.UpdateFile());
  EXPECT_TRUE(bad.IsModified());
}
