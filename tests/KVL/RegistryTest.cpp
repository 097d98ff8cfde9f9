// The registry service: typed values, names, views, enumeration, deletion and concurrent writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "KVL/Base/Platform/File.h"
#endif

using namespace KVL::Platform;
using KVL::SysUtils::Format;

namespace {

constexpr TRegistryRoot HKLM = TRegistryRoot::rrLocalMachine;
constexpr TRegistryRoot HKCU = TRegistryRoot::rrCurrentUser;
constexpr TRegistryRoot HKU = TRegistryRoot::rrUsers;
constexpr TRegistryView rvNative = TRegistryView::rvNative;
constexpr TRegistryView rv64 = TRegistryView::rv64Bit;
constexpr TRegistryView rv32 = TRegistryView::rv32Bit;

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Enumeration order is the registry's own: the stand-in's is checked exactly; under wine (which
// sorts values as well as keys, and by lower-cased name) only the names are compared.
void ExpectRegistryOrder(const std::vector<std::string>& got, const std::vector<std::string>& want) {
#ifdef _WIN32
  EXPECT_EQ(Sorted(got), Sorted(want));
#else
  EXPECT_EQ(got, want);
#endif
}

// Every test works below keys of its own: in the real registry on Windows, in a stand-in below
// a scratch system root on POSIX. They are removed at the end.
class Registry : public ::testing::Test {
protected:
  void SetUp() override {
#ifndef _WIN32
    if (const char* old = std::getenv("KVL_SYSTEM_ROOT")) oldRoot_ = old;
    setenv("KVL_SYSTEM_ROOT", root_.Path().c_str(), 1);
#endif
    std::random_device rd;
    name_ = Format("ONDU-Tests-%08x%08x", rd(),
                   static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    base_ = "Software\\" + name_;
  }

  void TearDown() override {
    DeleteRegistryKeyTree(HKCU, base_);
    DeleteRegistryKeyTree(HKLM, base_, rv64);
    DeleteRegistryKeyTree(HKLM, base_, rv32);
#ifndef _WIN32
    if (oldRoot_)
      setenv("KVL_SYSTEM_ROOT", oldRoot_->c_str(), 1);
    else
      unsetenv("KVL_SYSTEM_ROOT");
#endif
  }

  TestUtil::TTempDir root_;
  std::optional<std::string> oldRoot_;
  std::string name_;  // ONDU-Tests-<random>
  std::string base_;  // Software\ONDU-Tests-<random>
};

TEST_F(Registry, TypedValuesReadBackWithTheirTypes) {
  struct TCase {
    const char* Name;
    TRegistryValueType Type;
    std::string Text;
    uint32_t Number;
  };
  const TCase cases[] = {
      {"DisplayName", TRegistryValueType::rtString, "ONDU Player", 0},
      {"InstallPath", TRegistryValueType::rtString, "C:\\Program Files\\ONDU\\", 0},
      {"AppData", TRegistryValueType::rtExpandString, "%USERPROFILE%\\AppData\\Roaming", 0},  // stays unexpanded
      {"Empty", TRegistryValueType::rtString, "", 0},
      {"", TRegistryValueType::rtString, "the default value", 0},
      {"NoModify", TRegistryValueType::rtInteger, "", 1},
      {"Largest", TRegistryValueType::rtInteger, "", 0xFFFFFFFFu},
  };
  TRegistryKey writer;
  writer.OpenWrite(HKCU, base_ + "\\Typed\\");
  for (const TCase& c : cases) {
    if (c.Type == TRegistryValueType::rtString) writer.WriteString(c.Name, c.Text);
    if (c.Type == TRegistryValueType::rtExpandString) writer.WriteExpandString(c.Name, c.Text);
    if (c.Type == TRegistryValueType::rtInteger) writer.WriteInteger(c.Name, c.Number);
  }

  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKCU, "\\" + base_ + "\\Typed"));
  std::vector<std::string> names;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    names.push_back(c.Name);
    EXPECT_EQ(reader.ValueType(c.Name), c.Type);
    EXPECT_TRUE(reader.ValueExists(c.Name));
    if (c.Type == TRegistryValueType::rtInteger) {
      EXPECT_EQ(reader.ReadInteger(c.Name), c.Number);
      EXPECT_EQ(reader.ReadString(c.Name), std::nullopt);
    } else {
      EXPECT_EQ(reader.ReadString(c.Name), c.Text);
      EXPECT_EQ(reader.ReadInteger(c.Name), std::nullopt);
    }
  }
  ExpectRegistryOrder(reader.ValueNames(), names);  // creation order
  EXPECT_THROW(reader.WriteString("DisplayName", "x"), EKVLRegistryError);  // opened for reading only

  // Rewriting a value may change its type; it keeps its place.
  writer.WriteInteger("InstallPath", 5);
  EXPECT_EQ(reader.ValueType("InstallPath"), TRegistryValueType::rtInteger);
  EXPECT_EQ(reader.ReadString("InstallPath"), std::nullopt);
  ExpectRegistryOrder(reader.ValueNames(), names);

  EXPECT_TRUE(writer.DeleteValue("AppData"));
  EXPECT_FALSE(writer.DeleteValue("AppData"));
  EXPECT_FALSE(reader.ValueExists("AppData"));
  EXPECT_EQ(reader.ValueNames().size(), names.size() - 1);
}

TEST_F(Registry, MissingKeysAndValuesReadAsAbsent) {
  TRegistryKey key;
  EXPECT_FALSE(key.OpenRead(HKLM, base_ + "\\Nothing"));
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(RegistryKeyExists(HKLM, base_ + "\\Nothing"));
  EXPECT_FALSE(DeleteRegistryKeyTree(HKLM, base_ + "\\Nothing"));
  // A closed key reads as empty.
  EXPECT_EQ(key.ValueType("x"), TRegistryValueType::rtNone);
  EXPECT_EQ(key.ReadString("x"), std::nullopt);
  EXPECT_TRUE(key.SubKeyNames().empty());
  EXPECT_THROW(key.WriteString("x", "y"), EKVLRegistryError);

  key.OpenWrite(HKLM, base_ + "\\Present");
  EXPECT_TRUE(key.IsOpen());
  EXPECT_TRUE(RegistryKeyExists(HKLM, base_ + "\\Present"));
  EXPECT_EQ(key.ValueType("Missing"), TRegistryValueType::rtNone);
  EXPECT_EQ(key.ReadString("Missing"), std::nullopt);
  EXPECT_EQ(key.ReadInteger("Missing"), std::nullopt);
  EXPECT_TRUE(key.SubKeyNames().empty());
  EXPECT_TRUE(key.ValueNames().empty());

  // A key deleted under an open handle: reads are empty, writes fail.
  ASSERT_TRUE(DeleteRegistryKeyTree(HKLM, base_ + "\\Present"));
  EXPECT_EQ(key.ReadString("Missing"), std::nullopt);
  EXPECT_THROW(key.WriteString("x", "y"), EKVLRegistryError);
}

TEST_F(Registry, TrickyNamesAndTextsRoundTripExactly) {
  const std::vector<std::string> valueNames = {
      "Say \"hi\"", "back\\slash\\", "a=b", "[x]", "]", "line\nbreak\r\ttab", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5",
      "%USERPROFILE%", ";not a comment", "@", " padded ",
  };
  const std::vector<std::string> keyNames = {
      "Say \"hi\"", "a=b", "[x]", "]", "[", "caf\xC3\xA9", "50%", "%41", " padded ", "tab\there",
  };
  TRegistryKey key;
  key.OpenWrite(HKCU, base_);
  for (size_t i = 0; i < valueNames.size(); ++i) {
    key.WriteString(valueNames[i], "text of " + valueNames[i]);
    key.WriteExpandString("x" + valueNames[i], valueNames[i] + "\\%TEMP%");
  }
  for (const std::string& k : keyNames) {
    TRegistryKey sub;
    sub.OpenWrite(HKCU, base_ + "\\" + k);
    sub.WriteString(k, k);
  }

  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKCU, base_));
  for (const std::string& v : valueNames) {
    SCOPED_TRACE(v);
    EXPECT_EQ(reader.ReadString(v), "text of " + v);
    EXPECT_EQ(reader.ReadString("x" + v), v + "\\%TEMP%");
  }
  std::vector<std::string> allValues;
  for (const std::string& v : valueNames) {
    allValues.push_back(v);
    allValues.push_back("x" + v);
  }
  ExpectRegistryOrder(reader.ValueNames(), allValues);
  EXPECT_EQ(Sorted(reader.SubKeyNames()), Sorted(keyNames));
  for (const std::string& k : keyNames) {
    SCOPED_TRACE(k);
    TRegistryKey sub;
    ASSERT_TRUE(sub.OpenRead(HKCU, base_ + "\\" + k));
    EXPECT_EQ(sub.ReadString(k), k);
  }
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirCase) {
  TRegistryKey key;
  key.OpenWrite(HKCU, base_ + "\\MixedCase\\\xC3\x84rger");  // Ärger
  key.WriteString("ValueName", "1");
  key.WriteString("VALUENAME", "2");  // the same value

  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKCU, "SOFTWARE\\" + KVL::SysUtils::UpperCase(name_) + "\\mixedcase\\\xC3\xA4RGER"));
  EXPECT_EQ(reader.ReadString("valuename"), "2");
  EXPECT_EQ(reader.ValueNames(), std::vector<std::string>{"ValueName"});
  ASSERT_TRUE(reader.OpenRead(HKCU, base_ + "\\MIXEDCASE"));
  EXPECT_EQ(reader.SubKeyNames(), std::vector<std::string>{"\xC3\x84rger"});
  // Creating the key again under another case finds the existing one.
  key.OpenWrite(HKCU, base_ + "\\mixedCASE");
  ASSERT_TRUE(reader.OpenRead(HKCU, base_));
  EXPECT_EQ(reader.SubKeyNames(), std::vector<std::string>{"MixedCase"});
}

TEST_F(Registry, SubKeysEnumerateByUpperCasedNameValuesByCreation) {
  const std::vector<std::string> created = {"b", "_x", "A", "c", "\xC3\x84"};
  TRegistryKey key;
  key.OpenWrite(HKLM, base_);
  for (const std::string& n : created) {
    TRegistryKey sub;
    sub.OpenWrite(HKLM, base_ + "\\" + n);
    key.WriteInteger(n, 0);
  }
  // 'C' (0x43) sorts before '_' (0x5F) once upper-cased, though 'c' (0x63) would not.
  ExpectRegistryOrder(key.SubKeyNames(), {"A", "b", "c", "_x", "\xC3\x84"});
  ExpectRegistryOrder(key.ValueNames(), created);
  TRegistryKey users;
  ASSERT_TRUE(users.OpenRead(HKU, ""));  // a hive's root enumerates too
  std::vector<std::string> sids = users.SubKeyNames();
  EXPECT_NE(std::find(sids.begin(), sids.end(), CurrentUserSid()), sids.end());
}

TEST_F(Registry, ThirtyTwoBitViewLivesUnderWow6432Node) {
  const std::string uninstall = base_ + "\\Uninstall\\MyPlayer";
  TRegistryKey key;
  key.OpenWrite(HKLM, uninstall, rv32);
  key.WriteString("DisplayName", "32-bit");
  EXPECT_FALSE(RegistryKeyExists(HKLM, base_, rv64));
  EXPECT_FALSE(RegistryKeyExists(HKLM, base_, rvNative));

  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKLM, "Software\\Wow6432Node\\" + name_ + "\\Uninstall\\MyPlayer", rv64));
  EXPECT_EQ(reader.ReadString("DisplayName"), "32-bit");
  // Naming Wow6432Node in the 32-bit view does not redirect twice.
  ASSERT_TRUE(reader.OpenRead(HKLM, "Software\\Wow6432Node\\" + name_ + "\\Uninstall\\MyPlayer", rv32));
  EXPECT_EQ(reader.ReadString("DisplayName"), "32-bit");

  // The native view of a 64-bit program is the 64-bit view; the 32-bit view does not see it.
  key.OpenWrite(HKLM, uninstall);
  key.WriteString("DisplayName", "64-bit");
  ASSERT_TRUE(reader.OpenRead(HKLM, uninstall, rv64));
  EXPECT_EQ(reader.ReadString("DisplayName"), "64-bit");
  ASSERT_TRUE(reader.OpenRead(HKLM, uninstall, rv32));
  EXPECT_EQ(reader.ReadString("DisplayName"), "32-bit");

  // Deleting in one view leaves the other view's key alone.
  EXPECT_TRUE(DeleteRegistryKeyTree(HKLM, uninstall, rv32));
  EXPECT_FALSE(RegistryKeyExists(HKLM, uninstall, rv32));
  EXPECT_TRUE(RegistryKeyExists(HKLM, uninstall, rv64));

  // HKCU\Software is shared by both views.
  key.OpenWrite(HKCU, base_, rv32);
  key.WriteInteger("Shared", 7);
  ASSERT_TRUE(reader.OpenRead(HKCU, base_, rv64));
  EXPECT_EQ(reader.ReadInteger("Shared"), 7u);
}

TEST_F(Registry, DeleteTreeRemovesEverythingBelow) {
  for (const char* path : {"\\App\\Sub\\Deeper", "\\App\\Other", "\\Sibling"}) {
    TRegistryKey key;
    key.OpenWrite(HKLM, base_ + path);
    key.WriteString("V", path);
  }
  TRegistryKey app;
  app.OpenWrite(HKLM, base_ + "\\App");
  app.WriteInteger("Top", 1);

  EXPECT_TRUE(DeleteRegistryKeyTree(HKLM, base_ + "\\app\\"));
  for (const char* path : {"\\App", "\\App\\Sub", "\\App\\Sub\\Deeper", "\\App\\Other"})
    EXPECT_FALSE(RegistryKeyExists(HKLM, base_ + path)) << path;
  EXPECT_TRUE(RegistryKeyExists(HKLM, base_ + "\\Sibling"));
  EXPECT_FALSE(DeleteRegistryKeyTree(HKLM, base_ + "\\App"));
  // A root is never deleted.
  EXPECT_THROW(DeleteRegistryKeyTree(HKCU, ""), EKVLRegistryError);
  EXPECT_THROW(DeleteRegistryKeyTree(HKLM, "\\"), EKVLRegistryError);
}

// A batch's changes are seen by its own reads at once; on POSIX the stand-in file holds them
// only after Commit, and a batch that ends without Commit changes nothing.
TEST_F(Registry, BatchGroupsChangesUntilCommit) {
  auto write = [&](const std::string& sub, uint32_t value) {
    TRegistryKey key;
    key.OpenWrite(HKLM, base_ + sub);
    key.WriteInteger("V", value);
  };
  auto read = [&](const std::string& sub) {
    TRegistryKey key;
    return key.OpenRead(HKLM, base_ + sub) ? key.ReadInteger("V") : std::nullopt;
  };
  {
    TRegistryBatch batch;
    write("\\A", 1);
    {
      TRegistryBatch joined;  // joins the outer batch; its Commit stores nothing yet
      write("\\B", 2);
      joined.Commit();
    }
    EXPECT_EQ(read("\\A"), 1u);
    EXPECT_EQ(read("\\B"), 2u);
    EXPECT_TRUE(DeleteRegistryKeyTree(HKLM, base_ + "\\B"));
#ifndef _WIN32
    const std::string file = RegistryStandInPath();
    EXPECT_FALSE(FileExists(file) && TestUtil::ReadWholeFile(file).find(name_) != std::string::npos);
#endif
    batch.Commit();
  }
  EXPECT_EQ(read("\\A"), 1u);
  EXPECT_FALSE(RegistryKeyExists(HKLM, base_ + "\\B"));
#ifndef _WIN32
  {
    TRegistryBatch abandoned;
    write("\\C", 3);
    EXPECT_EQ(read("\\C"), 3u);
  }
  EXPECT_FALSE(RegistryKeyExists(HKLM, base_ + "\\C"));
#endif
}

TEST_F(Registry, CurrentUserIsAKeyOfUsers) {
  std::string sid = CurrentUserSid();
  ASSERT_EQ(sid.rfind("S-1-5-", 0), 0u) << sid;
  TRegistryKey key;
  key.OpenWrite(HKCU, base_);
  key.WriteString("Where", "HKCU");
  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKU, sid + "\\" + base_));
  EXPECT_EQ(reader.ReadString("Where"), "HKCU");
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  constexpr int kThreads = 4, kValues = 15;
  std::vector<std::thread> threads;
  std::vector<std::string> errors(kThreads);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      try {
        TRegistryKey key;
        key.OpenWrite(HKCU, base_ + "\\Busy");
        for (int i = 0; i < kValues; ++i) key.WriteInteger(Format("t%d-%d", t, i), static_cast<uint32_t>(t * 100 + i));
      } catch (const std::exception& e) {
        errors[static_cast<size_t>(t)] = e.what();
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(errors, std::vector<std::string>(kThreads));
  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKCU, base_ + "\\Busy"));
  EXPECT_EQ(reader.ValueNames().size(), static_cast<size_t>(kThreads * kValues));
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kValues; ++i)
      EXPECT_EQ(reader.ReadInteger(Format("t%d-%d", t, i)), static_cast<uint32_t>(t * 100 + i));
}

#ifndef _WIN32

// The stand-in's own file: seeding by hand, its format, damage and concurrent processes.

TEST_F(Registry, ProcessesWritingAtOnceLoseNothing) {
  constexpr int kChildren = 3, kValues = 20;
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        TRegistryKey key;
        key.OpenWrite(HKLM, base_);
        for (int i = 0; i < kValues; ++i) key.WriteString(Format("p%d-%d", c, i), Format("%d", i));
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKLM, base_));
  EXPECT_EQ(reader.ValueNames().size(), static_cast<size_t>(kChildren * kValues));
  EXPECT_EQ(reader.ReadString(Format("p%d-%d", kChildren - 1, kValues - 1)), Format("%d", kValues - 1));
}

TEST_F(Registry, SeededFileReadsAsWindowsHoldsIt) {
  EXPECT_EQ(RegistryStandInPath(), root_.Path() + "var/lib/kvl/registry.txt");
  ASSERT_TRUE(ForceDirectories(root_.Path() + "var/lib/kvl"));
  TestUtil::WriteWholeFile(RegistryStandInPath(), R"(; seeded by hand, CRLF line ends
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-0-0-0-1001]
"ProfileImagePath"=expand:"%SystemDrive%\\Users\\anna"
"Flags"=dword:0

  [HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-18]  
  "ProfileImagePath"=expand:"%systemroot%\\system32\\config\\systemprofile"
[HKU\S-1-5-21-0-0-0-1001\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders]
"AppData"=expand:"%USERPROFILE%\\AppData\\Roaming"
[HKU\.DEFAULT\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders]
"AppData"="C:\\Default\\Roaming"
[HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\MyPlayer]
@="default"
"InstallPath"="C:\\Program Files (x86)\\My Player\\"
"Blob"=hex:01,02,ff
"Multi"=hex(7):41,00,00,00,00,00
[HKCU\Software\ONDU]
"Theme"=dword:0000002A
)");
  std::string text = TestUtil::ReadWholeFile(RegistryStandInPath());
  for (size_t p = 0; (p = text.find('\n', p)) != std::string::npos; p += 2) text.insert(p, "\r");
  TestUtil::WriteWholeFile(RegistryStandInPath(), text);

  TRegistryKey key;
  const std::string profiles = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  ASSERT_TRUE(key.OpenRead(HKLM, profiles));
  EXPECT_EQ(key.SubKeyNames(), (std::vector<std::string>{"S-1-5-18", "S-1-5-21-0-0-0-1001"}));
  ASSERT_TRUE(key.OpenRead(HKLM, profiles + "\\S-1-5-21-0-0-0-1001"));
  EXPECT_EQ(key.ValueType("ProfileImagePath"), TRegistryValueType::rtExpandString);
  EXPECT_EQ(key.ReadString("ProfileImagePath"), "%SystemDrive%\\Users\\anna");
  EXPECT_EQ(key.ReadInteger("Flags"), 0u);
  ASSERT_TRUE(key.OpenRead(HKLM, profiles + "\\S-1-5-18"));
  EXPECT_EQ(key.ReadString("profileimagepath"), "%systemroot%\\system32\\config\\systemprofile");

  const std::string shellFolders = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  ASSERT_TRUE(key.OpenRead(HKU, "S-1-5-21-0-0-0-1001" + shellFolders));
  EXPECT_EQ(key.ReadString("AppData"), "%USERPROFILE%\\AppData\\Roaming");
  ASSERT_TRUE(key.OpenRead(HKU, ".DEFAULT" + shellFolders));
  EXPECT_EQ(key.ReadString("AppData"), "C:\\Default\\Roaming");
  EXPECT_FALSE(key.OpenRead(HKU, "S-1-5-21-0-0-0-1002" + shellFolders));

  const std::string uninstall = "software\\microsoft\\windows\\currentversion\\uninstall\\myplayer";
  EXPECT_FALSE(RegistryKeyExists(HKLM, uninstall));
  ASSERT_TRUE(key.OpenRead(HKLM, uninstall, rv32));
  EXPECT_EQ(key.ReadString(""), "default");
  EXPECT_EQ(key.ReadString("InstallPath"), "C:\\Program Files (x86)\\My Player\\");
  EXPECT_EQ(key.ValueType("Blob"), TRegistryValueType::rtOther);
  EXPECT_EQ(key.ReadString("Blob"), std::nullopt);
  EXPECT_EQ(key.ValueType("Multi"), TRegistryValueType::rtOther);
  ASSERT_TRUE(key.OpenRead(HKCU, "Software\\ONDU"));
  EXPECT_EQ(key.ReadInteger("Theme"), 42u);

  // A write keeps everything seeded, values of other types included, in the file's own form.
  TRegistryKey writer;
  writer.OpenWrite(HKLM, uninstall, rv32);
  writer.WriteString("DisplayName", "My Player");
  text = TestUtil::ReadWholeFile(RegistryStandInPath());
  // Keys keep the case of their first mention ("SOFTWARE" above).
  EXPECT_NE(text.find("\n[HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MyPlayer]\n"
                      "@=\"default\"\n"
                      "\"InstallPath\"=\"C:\\\\Program Files (x86)\\\\My Player\\\\\"\n"
                      "\"Blob\"=hex:01,02,ff\n"
                      "\"Multi\"=hex(7):41,00,00,00,00,00\n"
                      "\"DisplayName\"=\"My Player\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n[HKU\\" + CurrentUserSid() + "\\Software\\ONDU]\n\"Theme\"=dword:0000002a\n"), std::string::npos);
  ASSERT_TRUE(key.OpenRead(HKLM, profiles + "\\S-1-5-21-0-0-0-1001"));
  EXPECT_EQ(key.ReadString("ProfileImagePath"), "%SystemDrive%\\Users\\anna");
}

TEST_F(Registry, FileEscapesWhatWouldBreakALine) {
  TRegistryKey key;
  key.OpenWrite(HKLM, "Software\\T\n%]");
  key.WriteString("line\nbreak \"q\"", "tab\there\\");
  key.WriteExpandString("", std::string("nul\0bell\x07", 9));
  std::string text = TestUtil::ReadWholeFile(RegistryStandInPath());
  EXPECT_NE(text.find("\n[HKLM\\Software\\T%0a%25]]\n"
                      "\"line\\nbreak \\\"q\\\"\"=\"tab\\there\\\\\"\n"
                      "@=expand:\"nul\\x00bell\\x07\"\n"),
            std::string::npos)
      << text;
  TRegistryKey reader;
  ASSERT_TRUE(reader.OpenRead(HKLM, "Software\\T\n%]"));
  EXPECT_EQ(reader.ReadString(""), std::string("nul\0bell\x07", 9));
  DeleteRegistryKeyTree(HKLM, "Software\\T\n%]");
}

TEST_F(Registry, DamagedFileRaisesAndIsLeftAlone) {
  const char* damaged[] = {
      "\"Orphan\"=\"a value before any key\"\n",
      "[HKLM\\Software\\Open\n",
      "[HKXX\\Software]\n",
      "[HKLM\\Software\\\\Empty]\n",
      "[HKLM\\Software]\n\"n\"=dword:123456789\n",
      "[HKLM\\Software]\n\"n\"=dword:\n",
      "[HKLM\\Software]\n\"n\"=\"unterminated\n",
      "[HKLM\\Software]\n\"n\"=\"bad escape \\q\"\n",
      "[HKLM\\Software]\n\"n\"=\"x\" trailing\n",
      "[HKLM\\Software]\n\"n\"=text\n",
      "[HKLM\\Software]\n\"n\"=hex:1,2\n",
      "[HKLM\\Software]\nn=\"no quotes\"\n",
  };
  ASSERT_TRUE(ForceDirectories(root_.Path() + "var/lib/kvl"));
  for (const char* text : damaged) {
    SCOPED_TRACE(text);
    TestUtil::WriteWholeFile(RegistryStandInPath(), text);
    TRegistryKey key;
    EXPECT_THROW(key.OpenRead(HKLM, "Software"), EKVLRegistryError);
    EXPECT_THROW(key.OpenWrite(HKLM, base_), EKVLRegistryError);
    EXPECT_EQ(TestUtil::ReadWholeFile(RegistryStandInPath()), text);
  }
  RemoveFile(RegistryStandInPath());
}

TEST_F(Registry, FailedWriteNamesKeyAndReason) {
  // The registry's folder is taken by a file, so nothing can be stored.
  ASSERT_TRUE(ForceDirectories(root_.Path() + "var/lib"));
  TestUtil::WriteWholeFile(root_.Path() + "var/lib/kvl", "x");
  TRegistryKey key;
  try {
    key.OpenWrite(HKLM, base_);
    FAIL() << "no exception";
  } catch (const EKVLRegistryError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create registry key \"HKLM\\" + base_ + "\". Not a directory");
  }
  EXPECT_FALSE(key.IsOpen());
  RemoveFile(root_.Path() + "var/lib/kvl");
}

#endif

} // namespace
