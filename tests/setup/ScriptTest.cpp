// The installation script: schema reading, families, settings, path cleaning, natural order.
#include <gtest/gtest.h>

#include <algorithm>

#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/PathCanonical.h"
#include "setup/core/Script.h"

using namespace Setup::Core;

namespace {
void LoadScript(TSetupScript& script, const std::string& xml) {
  KVL::Streams::TKVLMemoryStream m;
  m.WriteBuffer(xml.data(), xml.size());
  m.SetPosition(0);
  script.LoadFromStream(m);
}

const char* kScript = R"(<?xml version="1.0" encoding="UTF-8"?>
<Install>
  <setup><License><file lang-family="EN">License.rtf</file><File lang-family="RU">License.ru.rtf</File></License></setup>
  <product>
    <components>
      <File name="$DEST\ONDU.exe"/>
      <File name="$DEST\Plugins\x.dll">bin\x64.dll</File>
      <File name="$DEST\Langs\Russian.lng" lang-family="ru"/>
      <Note>ignored</Note>
    </components>
    <Settings><Item name="ProductName" value="ONDU"/><Item name="productname" value="ONDU Player"/></Settings>
    <Actions><File name="$DEST\ONDU.exe"/></Actions>
    <Components><File name="$DEST\Readme.txt"/></Components>
    <Shortcuts><File name="$DESKTOP\ONDU.lnk">$DEST\ONDU.exe</File></Shortcuts>
  </product>
</Install>)";
} // namespace

TEST(SetupScript, ReadsEveryGroupOfTheSchema) {
  TSetupScript s;
  LoadScript(s, kScript);
  ASSERT_EQ(s.Components().Count(), 4);  // both Components elements add to one list
  EXPECT_EQ(s.Components().Files(1).GetSourceName(), "bin\\x64.dll");
  EXPECT_EQ(s.Components().Files(0).GetSourceName(), "ONDU.exe");
  EXPECT_EQ(s.Components().Files(3).Name, "$DEST\\Readme.txt");
  EXPECT_FALSE(s.Components().Files(2).MatchFamily("EN"));
  EXPECT_TRUE(s.Components().Files(2).MatchFamily("RU"));
  EXPECT_EQ(s.Actions().Count(), 1);
  ASSERT_EQ(s.Shortcuts().Count(), 1);
  EXPECT_EQ(s.Shortcuts().Files(0).Source, "$DEST\\ONDU.exe");
  EXPECT_EQ(s.GetSetting("PRODUCTNAME"), "ONDU Player");  // the last one of that name
  EXPECT_EQ(s.GetSetting("Publisher"), "");
  ASSERT_EQ(s.License().Count(), 2);
}

TEST(SetupScript, LicenseChoiceByFamily) {
  TSetupScript s;
  LoadScript(s, kScript);
  struct Case { const char* family; const char* license; };
  // A family without its own license falls back only when the caller asks for "EN" next.
  const Case cases[] = {{"EN", "License.rtf"}, {"ru", "License.ru.rtf"}, {"DE", nullptr}};
  for (const Case& c : cases) {
    const TSetupScriptFile* f = s.License().FindByFamily(c.family);
    if (!c.license) {
      EXPECT_EQ(f, nullptr) << c.family;
    } else {
      ASSERT_NE(f, nullptr) << c.family;
      EXPECT_EQ(f->Source, c.license);
    }
  }
}

TEST(SetupScript, BareLicenseNameServesEveryFamily) {
  TSetupScript s;
  LoadScript(s, "<x><setup><license>License.rtf</license></setup></x>");
  ASSERT_EQ(s.License().Count(), 1);
  ASSERT_NE(s.License().FindByFamily("DE"), nullptr);
  EXPECT_EQ(s.License().Files(0).Name, "License.rtf");
  EXPECT_EQ(s.Components().Count(), 0);
}

TEST(SetupScript, MalformedScriptKeepsWhatCameBeforeTheFault) {
  TSetupScript s;
  LoadScript(s, "<x><product><Components><File name='a'/><File name='b'/></Components><Settings><i name='n' value='v'/>"
                "<broken</Settings></product></x>");
  EXPECT_EQ(s.Components().Count(), 2);
  EXPECT_EQ(s.GetSetting("n"), "v");
}

TEST(PathCanonical, CleansScriptPaths) {
  struct Case { const char* in; char delim; const char* out; };
  const Case cases[] = {
      {"C:\\Program Files\\ONDU\\\\ONDU.exe", '\\', "C:\\Program Files\\ONDU\\ONDU.exe"},
      {"C:\\Program Files\\ONDU\\", '\\', "C:\\Program Files\\ONDU\\"},
      {"C:\\", '\\', "C:\\"},
      {"C:\\a\\..\\b", '\\', "C:\\a\\b"},  // ".." loses its dots and vanishes
      {"C:\\ a. \\b:c?\\\"q\"", '\\', "C:\\a\\bc\\'q'"},
      {"\\\\server\\share\\x\\", '\\', "\\\\server\\share\\x\\"},
      {"rel/mixed\\sep", '\\', "rel\\mixed\\sep"},
      {"/opt/ondu//bin/", '/', "/opt/ondu/bin/"},
      {"/opt/my dir/../x", '/', "/opt/my dir/x"},
      {"/", '/', "/"},
      {"", '/', ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CanonicalizePath(c.in, c.delim), c.out) << c.in;
  std::string longName(300, 'n');
  EXPECT_EQ(CanonicalizePath("C:\\" + longName, '\\'), "C:\\" + std::string(260, 'n'));
}

TEST(NaturalOrder, DigitsCompareByValue) {
  std::vector<std::string> names = {"Lang10.lng", "lang9.lng", "English.lng", "Lang09b.lng", "Russian.lng", "Lang9a.lng"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return KVL::SysUtils::NaturalCompareText(a, b) < 0; });
  std::vector<std::string> want = {"English.lng", "lang9.lng", "Lang9a.lng", "Lang09b.lng", "Lang10.lng", "Russian.lng"};
  EXPECT_EQ(names, want);
}
