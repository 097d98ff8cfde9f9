// The setup object: command line, flags, destination, notifications and the listener protocol.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Shell.h"
#include "setup/core/Errors.h"
#include "TestUtil.h"
#include "tests/setup/SetupFixture.h"

using namespace Setup::Core;
using namespace std::string_literals;
using SetupTest::TSetupFixture;
using SetupTest::TTestProductInfo;

namespace {

// Machine-wide folders (program files above all) inside a throw-away root.
class SetupObjectTest : public ::testing::Test {
protected:
  void SetUp() override { TTestProductInfo::Reset(); }

  TestUtil::TTempDir root_;
  KVL::Platform::TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_.Path()};
  std::string dest_ = root_.File("dest");
};

SetupTest::TFiles UninstallProduct() { return {{"Uninstall.ini", "[Uninstall]\r\nCount=0\r\n"}}; }

std::string Delimited(const std::string& path) { return path + KVL::Platform::kPathDelim; }

struct TRecorder : IInstallerNotify {
  struct TEntry {
    int32_t Code;
    intptr_t Param;
    std::string Text;
  };
  std::vector<TEntry> Seen;
  void Notify(int32_t code, intptr_t param) override {
    EXPECT_TRUE(KVL::Platform::IsMainThread());
    Seen.push_back({code, code == snStatusText ? 0 : param,
                    code == snStatusText ? *reinterpret_cast<const std::string*>(param) : std::string()});
  }
  std::vector<intptr_t> Params(int32_t code) const {
    std::vector<intptr_t> out;
    for (const TEntry& e : Seen)
      if (e.Code == code) out.push_back(e.Param);
    return out;
  }
};

} // namespace

TEST_F(SetupObjectTest, CommandLineDecidesModeFlagsAndDestination) {
  struct TCase {
    const char* Params;  // "%D" stands for the destination
    int32_t Installed;
    uint8_t Flags;
  };
  const uint8_t A = 1, P = 2, U = 4, S = 8, R = 16, N = 32;
  const TCase cases[] = {
      {"", 0, 0},                                         // sfUpdate re-decided at the default folder
      {"", 4000, U},
      {"/AUTO=\"%D\" /SILENT", 0, A | S},
      {"/AUTO=\"%D\" /PORTABLE /SILENT /NOBACKUP /RUN", 0, A | P | S | R | N},
      {"/AUTO=\"%D\" /UPDATE /SILENT", 4000, A | U},      // SILENT is not read after UPDATE
      {"/AUTO=\"%D\" /PORTABLE", 3600, A | U | P},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Params);
    TTestProductInfo::InstalledVersion = c.Installed;
    std::string params = c.Params;
    if (auto at = params.find("%D"); at != std::string::npos) params.replace(at, 2, dest_);
    TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, params);
    EXPECT_EQ(f.Setup().Mode(), smInstall);
    EXPECT_EQ(f.Setup().Flags().Bits(), c.Flags);
    const std::string expected = params.empty() ? f.Setup().Resources().ProgramFilesFolder() + Delimited("ONDU")
                                                : Delimited(dest_);
    EXPECT_EQ(f.Setup().DestPath(), expected);
  }
}

TEST_F(SetupObjectTest, PortableIsClearedBelowProgramFiles) {
  const std::string programFiles = KVL::Platform::GetSpecialFolder(KVL::Platform::TSpecialFolder::sfProgramFiles);
  ASSERT_FALSE(programFiles.empty());
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + programFiles + "ONDU\" /PORTABLE /SILENT");
  EXPECT_TRUE(f.Setup().IsInProgramFiles());
  f.Setup().Run(true);  // the switch is read after the destination; the run validates it
  EXPECT_FALSE(f.Setup().HasFlag(sfPortable));
}

TEST_F(SetupObjectTest, RefusedUpdateNamesTheInstalledVersion) {
  TTestProductInfo::InstalledVersion = 3499;
  try {
    TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + dest_ + "\" /UPDATE");
    FAIL() << "no error";
  } catch (const EInstallerUpdateError& e) {
    EXPECT_STREQ(e.what(), "Cannot install update on v3.49");
  }
  EXPECT_EQ(Setup::Core::Setup, nullptr);
}

TEST_F(SetupObjectTest, UninstallModeComesFromThePackage) {
  const struct {
    const char* Params;
    uint8_t Flags;
  } cases[] = {{"", 0}, {"/SILENT", 0}, {"/AUTO", 1}, {"/AUTO /SILENT", 9}, {"/AUTO=x /PORTABLE /SILENT", 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Params);
    TSetupFixture f(SetupTest::MinimalSetupFiles(), UninstallProduct(), c.Params);
    EXPECT_EQ(f.Setup().Mode(), smUninstall);
    EXPECT_EQ(f.Setup().Flags().Bits(), c.Flags);
    EXPECT_EQ(f.Setup().DestPath(), "");
    EXPECT_EQ(TTestProductInfo::LoadCount, 0);
  }
}

TEST_F(SetupObjectTest, FlagChangesAndDestinationChanges) {
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + dest_ + "\"");
  TSetup& s = f.Setup();
  try {
    s.SetFlag(sfSilent, true);
    FAIL() << "no error";
  } catch (const EInstallerMysteryError& e) {
    EXPECT_STREQ(e.what(), "Invalid Arguments");
  }
  s.SetFlag(sfNoBackup, true);
  EXPECT_TRUE(s.HasFlag(sfNoBackup));
  s.SetFlag(sfUpdate, true);  // nothing updatable there
  EXPECT_FALSE(s.HasFlag(sfUpdate));

  const int loads = TTestProductInfo::LoadCount;
  s.SetDestPath(s.DestPath());
  EXPECT_EQ(TTestProductInfo::LoadCount, loads);
  TTestProductInfo::InstalledVersion = 5300;
  TTestProductInfo::Portable = true;
  s.SetDestPath(root_.File("other"));
  EXPECT_EQ(TTestProductInfo::LoadCount, loads + 1);
  EXPECT_EQ(s.DestPath(), Delimited(root_.File("other")));
  EXPECT_TRUE(s.HasFlag(sfUpdate));
  EXPECT_TRUE(s.HasFlag(sfPortable));

  // A relative segment is resolved against the current folder.
  const std::string saved = KVL::Platform::GetCurrentDir();
  ASSERT_TRUE(KVL::Platform::SetCurrentDir(root_.Path()));
  s.SetDestPath(std::string(".") + KVL::Platform::kPathDelim + "rel");
  KVL::Platform::SetCurrentDir(saved);
  EXPECT_EQ(s.DestPath(), Delimited(root_.File("rel")));
}

TEST_F(SetupObjectTest, RunNeedsADestinationAndHappensOnce) {
  TSetupFixture f(SetupTest::MinimalSetupFiles(), UninstallProduct(), "/AUTO /SILENT");
  try {
    f.Setup().Run(true);
    FAIL() << "no error";
  } catch (const EInstallerInstallError& e) {
    EXPECT_STREQ(e.what(), "DestPath is empty");
  }
  f.Setup().SetDestPath(dest_);
  f.Setup().Run(true);
  EXPECT_EQ(f.Setup().State(), ssFinished);
  f.Setup().Run(true);  // ignored
  EXPECT_EQ(f.Setup().State(), ssFinished);
}

TEST_F(SetupObjectTest, ListenersHearEveryCodeLastRegisteredFirstOnTheMainThread) {
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + dest_ + "\"");
  std::vector<int> order;
  struct TTagged : IInstallerNotify {
    std::vector<int>* Order;
    int Tag;
    void Notify(int32_t, intptr_t) override { Order->push_back(Tag); }
  } first{}, second{};
  first.Order = second.Order = &order;
  first.Tag = 1;
  second.Tag = 2;
  f.Setup().AddListener(&first);
  f.Setup().AddListener(&second);
  f.Setup().SendNotify(snUpdateButtons, 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  f.Setup().RemoveListener(&second);
  f.Setup().SendNotify(snUpdateButtons, 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1, 1}));
}

TEST_F(SetupObjectTest, StatusTextTravelsAsCopyDataAndForeignCopyDataIsIgnored) {
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + dest_ + "\"");
  TRecorder rec;
  f.Setup().AddListener(&rec);
  std::thread worker([&] { f.Setup().SendNotifyText(snStatusText, "Kopiere Dateien \xE2\x80\xA6 \xD0\x96"); });
  while (rec.Seen.empty()) KVL::Platform::WaitForAny({}, 10);
  worker.join();
  ASSERT_EQ(rec.Seen.size(), 1u);
  EXPECT_EQ(rec.Seen[0].Text, "Kopiere Dateien \xE2\x80\xA6 \xD0\x96");

  const std::string bytes = "h\0i\0"s;
  KVL::Platform::SendCopyData(f.Setup().Handle(), 0, snStatusText, bytes.data(), 4);
  EXPECT_EQ(rec.Seen.size(), 1u);
  f.Setup().RemoveListener(&rec);
}

TEST_F(SetupObjectTest, LaunchActionsStartsTheChosenProgramsOfACleanInstallation) {
  // The script's one action is a program standing in for the player; it records its start.
  SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
  std::string& script = files[0].second;
  script.replace(script.find("</product>"), 10,
                 "<Actions><File name=\"$DEST\\Elevator.exe\"/></Actions></product>");
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dest_));
  const std::string program = Delimited(dest_) + "Elevator.exe";
  ASSERT_TRUE(KVL::Platform::CopyFileReplacing(TestUtil::ChildProgramPath(), program));
  const std::string log = Delimited(dest_) + "Elevator.log";

  struct {
    const char* Params;
    bool Choice;     // the user's choice stored under Actions (or none)
    bool HasChoice;
    bool Error;
    bool Starts;
  } const cases[] = {
      {"/AUTO=\"%D\"", false, false, false, false},         // no choice, no /UPDATE /RUN: nothing
      {"/AUTO=\"%D\"", true, true, false, true},            // the user ticked it
      {"/AUTO=\"%D\"", true, true, true, false},            // a run with errors starts nothing
      {"/AUTO=\"%D\" /UPDATE /RUN", false, false, false, true},  // unattended update with /RUN
  };
  TTestProductInfo::InstalledVersion = 5300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Params);
    KVL::Platform::RemoveFile(log);
    std::string params = c.Params;
    params.replace(params.find("%D"), 2, dest_);
    TSetupFixture f(files, {}, params);
    if (c.HasChoice) f.Setup().Settings().WriteBool("Actions", "$DEST\\Elevator.exe", c.Choice);
    if (c.Error) f.Setup().AddError("failed");
    f.Setup().LaunchActions();
    EXPECT_EQ(TestUtil::WaitForFile(log, c.Starts ? 20000 : 1500), c.Starts);
  }
}
