// ondu_test_child: a helper program that the process, resource, mailbox and bootstrap tests start.
// Options run in order: --marker PATH (write "ok" to PATH), --sleep MS, --resource NAME TEXT
// (exit 0 when the running executable's resource NAME holds TEXT, 3 when it differs, 4 when
// missing), --window CLASS (show a top-level window of that class, on X11 its WM_CLASS, and
// exit 42 once it is closed; 91 when the system cannot create one), --setup-resources PATH
// (build the setup resources of the running executable and write to PATH what their
// "Which.txt" holds, or "error: " and the message), --exit N (exit with N),
// --mailbox-send HANDLE DATA TEXT (exit 1 at once when the mailbox took nothing),
// --message-number NAME PATH (write the registered message number of NAME to PATH),
// /SKIPUAC=N (initialise the spawn service with N), --spawn-execute COMMAND (through the
// spawn service), --relaunch-elevated PARAMS (exit with the elevated instance's code, 200
// when refused), --relaunch-from-temp PARAMS (the uninstaller's move to the temporary folder).
// Started with the switches /PATH and /RECORD (as the relaunched uninstaller is), it only
// writes to the RECORD file what it was started with and where it runs. Without --exit the
// code is 0.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/PlainWindow.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/ProcessMailbox.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/CommandLine.h"
#include "setup/core/Resources.h"
#include "setup/core/SpawnService.h"
#include "setup/core/Uninstaller.h"

namespace {

// The relaunched uninstaller's report, one item a line: its parameters, executable, current
// folder, whether it runs from the temporary folder and whether it is the uninstaller.
bool RecordStart() {
  using namespace KVL::Utils::CommandLine;
  const std::string params = GetCommandLineParams();
  std::string path, record;
  if (!GetSwitchValue(params, "PATH", path) || !GetSwitchValue(params, "RECORD", record)) return false;
  std::ofstream out(record + ".part", std::ios::binary);
  out << params << "\n"
      << KVL::Platform::ExecutablePath() << "\n"
      << KVL::Platform::GetCurrentDir() << "\n"
      << Setup::Core::IsRunningFromTemp() << "\n"
      << Setup::Core::IsUninstaller() << "\n"
      << Setup::Core::UninstallDataPath() << "\n";
  out.close();
  // Appears whole: the test waits for the name.
  KVL::Platform::RenameFile(record + ".part", record);
  return true;
}

// Named Elevator.exe the program stands in for the player's companion program: it appends its
// arguments, blank-separated, as one line to Elevator.log beside itself and exits 0.
bool RunAsElevator(const std::vector<std::string>& args) {
  const std::string exe = KVL::Platform::ExecutablePath();
  const std::string folder = KVL::Platform::ExtractFilePath(exe);
  if (!KVL::SysUtils::SameTextAscii(exe.substr(folder.size()), "Elevator.exe")) return false;
  std::string line;
  for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? " " : "") + args[i];
  std::ofstream(std::filesystem::u8path(folder + "Elevator.log"), std::ios::binary | std::ios::app) << line << "\n";
  return true;
}

// 42 once the window has gone (closed or ended by itself), 91 when no window can be shown.
int WindowExitCode(KVL::Platform::TPlainWindowEnd end) {
  using KVL::Platform::TPlainWindowEnd;
  return end == TPlainWindowEnd::peNoWindow ? 91 : end == TPlainWindowEnd::peFailed ? 90 : 42;
}

} // namespace

int main() {
  if (RecordStart()) return 0;
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
  if (RunAsElevator(args)) return 0;
  int code = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& opt = args[i];
    const bool hasValue = i + 1 < args.size();
    if (opt == "--exit" && hasValue) {
      code = std::stoi(args[++i]);
    } else if (opt == "--marker" && hasValue) {
      std::ofstream(args[++i], std::ios::binary) << "ok";
    } else if (opt == "--sleep" && hasValue) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[++i])));
    } else if (opt == "--wait-for" && hasValue) {
      // --wait-for PATH: runs until the file exists (at most a minute), keeping the program's
      // file in use for as long as a test needs.
      const std::string path = args[++i];
      for (int waited = 0; waited < 60000 && !std::ifstream(path).good(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } else if (opt == "--resource" && i + 2 < args.size()) {
      const std::string name = args[++i], text = args[++i];
      try {
        KVL::Platform::TResourceModule self;
        std::unique_ptr<KVL::Platform::TResourceData> data = self.Load(name);
        if (std::string(reinterpret_cast<const char*>(data->Data()), data->Size()) != text) return 3;
      } catch (const KVL::SysUtils::EKVLResourceNotFound& e) {
        return std::string(e.what()) == "Resource " + name + " not found" ? 4 : 5;
      }
    } else if (opt == "--setup-resources" && hasValue) {
      std::ofstream out(args[++i], std::ios::binary);
      try {
        Setup::Core::TSetupResources resources;
        std::unique_ptr<KVL::Streams::TKVLMemoryStream> which = resources.OpenStream("Which.txt");
        out << std::string(reinterpret_cast<const char*>(which->Memory()), static_cast<size_t>(which->Size()));
      } catch (const std::exception& e) {
        out << "error: " << e.what();
      }
    } else if (opt == "--mailbox-send" && i + 3 < args.size()) {
      const intptr_t handle = static_cast<intptr_t>(std::stoll(args[i + 1]));
      const uintptr_t data = static_cast<uintptr_t>(std::stoull(args[i + 2]));
      const std::string text = args[i + 3];
      i += 3;
      if (!KVL::Platform::SendToMailbox(handle, data, text)) return 1;
    } else if (opt == "--message-number" && i + 2 < args.size()) {
      const uint32_t number = KVL::Platform::RegisterMessage(args[i + 1]);
      std::ofstream(args[i + 2], std::ios::binary) << number;
      i += 2;
    } else if (opt.rfind("/SKIPUAC=", 0) == 0) {
      Setup::Core::TSetupSpawnService::Initialize(static_cast<intptr_t>(std::stoll(opt.substr(9))));
    } else if (opt == "--spawn-execute" && hasValue) {
      Setup::Core::TSetupSpawnService::Execute(args[++i]);
    } else if (opt == "--relaunch-elevated" && hasValue) {
      std::optional<uint32_t> result = Setup::Core::RelaunchElevated(args[++i]);
      Setup::Core::TSetupSpawnService::Finalize();
      return result ? static_cast<int>(*result) : 200;
    } else if (opt == "--relaunch-from-temp" && hasValue) {
      Setup::Core::RelaunchFromTemp(args[++i]);
    } else if (opt == "--stubborn-window" && i + 2 < args.size()) {
      // --stubborn-window CLASS MS: like --window, but the window ignores close requests and
      // ends by itself after MS milliseconds.
      const std::string cls = args[++i];
      return WindowExitCode(KVL::Platform::RunPlainWindow(cls, "child", std::stoi(args[++i]), true));
    } else if (opt == "--window" && hasValue) {
      return WindowExitCode(KVL::Platform::RunPlainWindow(args[++i], "child"));
    } else {
      return 98;
    }
  }
  return code;
}
