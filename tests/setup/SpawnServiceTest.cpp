// The spawn service, the elevated re-launch and running a command to its end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/ProcessMailbox.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"
#include "setup/core/SpawnService.h"

using namespace KVL::Platform;
using Setup::Core::TSetupSpawnService;
using TestUtil::ChildProgramPath;
using TestUtil::TTempDir;

namespace {

// Drops the program-wide service whatever the test did.
struct TServiceGuard {
  ~TServiceGuard() { TSetupSpawnService::Finalize(); }
};

// A command that starts the helper program, which marks that it ran.
std::string MarkerCommand(const std::string& marker) {
  return QuoteCommandLine(ChildProgramPath(), {"--marker", marker});
}

// Runs fn on a worker thread while the main thread serves its mailbox.
void OnWorker(const std::function<void()>& fn) {
  TPlatformEvent done;
  std::thread worker([&] {
    fn();
    done.Set();
  });
  const bool finished = WaitFor(done.Handle(), 20000);
  worker.join();
  ASSERT_TRUE(finished);
}

#ifndef _WIN32
// A stand-in pkexec first on PATH, with the given script body.
struct TFakePkexec {
  TTempDir Dir;
  std::unique_ptr<TEnvironmentOverride> Path;
  explicit TFakePkexec(const std::string& body) {
    const std::string file = Dir.File("pkexec");
    TestUtil::WriteWholeFile(file, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    Path = std::make_unique<TEnvironmentOverride>("PATH", Dir.Path() + ":" + GetEnv("PATH").value_or("/usr/bin:/bin"));
  }
};
#endif

} // namespace

TEST(SpawnService, SecondInitializeRaises) {
  TServiceGuard guard;
  TSetupSpawnService::Initialize(12345);
  EXPECT_EQ(TSetupSpawnService::ServiceWindow(), 12345);
  EXPECT_FALSE(TSetupSpawnService::OwnsWindow());
  for (intptr_t handle : {intptr_t{0}, intptr_t{777}}) {
    try {
      TSetupSpawnService::Initialize(handle);
      ADD_FAILURE() << "no error for " << handle;
    } catch (const KVL::SysUtils::EKVLError& e) {
      EXPECT_STREQ(e.what(), "SpawnService is already initialized");
    }
  }
  EXPECT_EQ(TSetupSpawnService::ServiceWindow(), 12345);
}

TEST(SpawnService, ElevatedSideSendsTheCommandAsTokenAndUtf16) {
  TServiceGuard guard;
  std::vector<std::pair<uintptr_t, std::string>> got;
  intptr_t handle;
  {
    TProcessMailbox waiting("TSetupSpawnService", [&](uintptr_t data, const std::string& bytes) {
      got.emplace_back(data, bytes);
    });
    handle = waiting.Handle();
    TSetupSpawnService::Initialize(handle);
    const std::string command = "\"C:\\Program Files\\ONDU\\ONDU.exe\" /x \xE2\x9C\x93";
    OnWorker([&] { TSetupSpawnService::Execute(command); });
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, RegisterMessage("SpawnToken"));
    EXPECT_EQ(got[0].second, KVL::SysUtils::Utf16ToLEBytes(KVL::SysUtils::Utf8ToUtf16(command)));
  }
  // The waiting instance is gone: the command reaches no one and nothing is reported.
  OnWorker([&] { TSetupSpawnService::Execute("ONDU.exe"); });
  EXPECT_EQ(got.size(), 1u);
}

TEST(SpawnService, OwnedServiceOpensCommandsThatCarryTheToken) {
  TServiceGuard guard;
  TTempDir dir;
  TSetupSpawnService::Initialize(0);
  ASSERT_TRUE(TSetupSpawnService::OwnsWindow());
  const intptr_t service = TSetupSpawnService::ServiceWindow();
  const uintptr_t token = RegisterMessage("SpawnToken");
  const auto utf16 = [](const std::string& s) { return KVL::SysUtils::Utf16ToLEBytes(KVL::SysUtils::Utf8ToUtf16(s)); };
  std::vector<bool> sent;
  OnWorker([&] {
    sent.push_back(SendToMailbox(service, token + 1, utf16(MarkerCommand(dir.File("foreign")))));
    sent.push_back(SendToMailbox(service, token, std::string(1, 'x')));  // too short: an empty command
    sent.push_back(SendToMailbox(service, token, utf16(MarkerCommand(dir.File("token")))));
  });
  EXPECT_EQ(sent, (std::vector<bool>{true, true, true}));
  // Started in that order, so the first would have marked by the time the last did.
  EXPECT_TRUE(TestUtil::WaitForFile(dir.File("token"), 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(FileExists(dir.File("foreign")));
}

TEST(SpawnService, ProcessThatServesItselfEndsCleanlyWithoutFinalize) {
  // The service's mailbox then goes with the program's static objects, after main.
  TProcess child = StartProcess(ChildProgramPath(), {"/SKIPUAC=0", "--exit", "4"});
  ASSERT_TRUE(child.WaitForExit(20000));
  EXPECT_EQ(child.ExitCode(), 4u);
}

#ifndef _WIN32
TEST(SpawnService, WithoutServiceTheCommandIsOpenedHere) {
  // Outside Windows there is no desktop shell process to hand the command to.
  TServiceGuard guard;
  TTempDir dir;
  TSetupSpawnService::Execute(MarkerCommand(dir.File("plain")));
  EXPECT_TRUE(TestUtil::WaitForFile(dir.File("plain"), 10000));
}
#endif

TEST(SpawnService, ElevatedInstanceStartsProgramsThroughTheWaitingOne) {
  // The helper re-launches itself "elevated" with /SKIPUAC=<its mailbox>; the elevated copy
  // asks it to start a program and ends with a code that the first one passes on.
  TTempDir dir;
#ifndef _WIN32
  TFakePkexec pkexec("exec \"$@\"");
#endif
  const std::string marker = dir.File("started by the first instance");
  const std::string elevatedArgs =
      QuoteCommandLine("x", {"--spawn-execute", MarkerCommand(marker), "--exit", "7"}).substr(2);
  TProcess first = StartProcess(ChildProgramPath(), {"--relaunch-elevated", elevatedArgs});
  ASSERT_TRUE(first.WaitForExit(30000));
  EXPECT_EQ(first.ExitCode(), 7u);
  EXPECT_TRUE(TestUtil::WaitForFile(marker, 10000));
}

#ifndef _WIN32
TEST(SpawnService, RefusedElevationGivesNothing) {
  // pkexec ends with 126 when the prompt was dismissed and 127 when not authorised.
  struct TCase {
    int Code;
    std::optional<uint32_t> Result;
  };
  const TCase cases[] = {{126, std::nullopt}, {127, std::nullopt}, {0, 0u}, {5, 5u}};
  for (const TCase& c : cases) {
    TServiceGuard guard;
    TFakePkexec pkexec("exit " + std::to_string(c.Code));
    EXPECT_EQ(Setup::Core::RelaunchElevated("/AUTO"), c.Result) << c.Code;
    EXPECT_TRUE(TSetupSpawnService::OwnsWindow());
  }
}
#endif

TEST(SpawnService, ExecuteAndWaitRunsToTheEnd) {
  TTempDir dir;
  const std::string marker = dir.File("m");
  EXPECT_TRUE(Setup::Core::ExecuteAndWait(
      QuoteCommandLine(ChildProgramPath(), {"--sleep", "300", "--marker", marker, "--exit", "3"})));
  EXPECT_TRUE(FileExists(marker));  // already there: it waited for the end
  EXPECT_FALSE(Setup::Core::ExecuteAndWait(QuoteCommandLine(dir.File("missing.exe"), {"--exit", "0"})));
}
