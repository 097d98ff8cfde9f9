// Elevation and the spawn service: the waiting first instance starts programs for the elevated one.
#include "setup/core/SpawnService.h"

#include <memory>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/ProcessMailbox.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

using namespace KVL::Platform;
using KVL::SysUtils::EKVLError;

namespace {

intptr_t gServiceWindow = 0;
bool gOwnsWindow = false;
uint32_t gToken = 0;

// The owned mailbox; destroyed at program end unless Finalize dropped it before.
std::unique_ptr<TProcessMailbox> gMailbox;

// Opens a command with the shell: a file, folder or address as it is; otherwise the program
// and its arguments (the shell's open verb takes no arguments in the file name).
void OpenCommand(const std::string& command) {
  if (command.empty()) return;
  if (FileExists(command) || DirectoryExists(command) || IsUrl(command)) {
    ShellOpen(command);
    return;
  }
  // The program ends at the first blank outside quotes, as the system splits a command line;
  // the arguments pass on exactly as written.
  size_t i = 0;
  while (i < command.size() && (command[i] == ' ' || command[i] == '\t')) ++i;
  bool quoted = false;
  for (; i < command.size(); ++i) {
    if (command[i] == '"') quoted = !quoted;
    else if (!quoted && (command[i] == ' ' || command[i] == '\t')) break;
  }
  const std::vector<std::string> parts = SplitCommandLine(command);
  if (parts.empty()) return;
  ShellOpen(parts.front(), KVL::SysUtils::Trim(command.substr(i)));
}

void ServeCommand(uintptr_t data, const std::string& bytes) {
  if (data != gToken) return;
  if (bytes.size() < 2) return;  // an empty command
  // An odd byte count leaves out the last byte: the text is whole UTF-16 code units.
  const std::string units = bytes.substr(0, bytes.size() & ~size_t{1});
  OpenCommand(KVL::SysUtils::Utf16ToUtf8(KVL::SysUtils::Utf16FromLEBytes(units)));
}

} // namespace

void TSetupSpawnService::Initialize(intptr_t handle) {
  if (gServiceWindow != 0) throw EKVLError("SpawnService is already initialized");
  gToken = RegisterMessage("SpawnToken");
  if (handle != 0) {
    gServiceWindow = handle;
    gOwnsWindow = false;
    return;
  }
  auto mailbox = std::make_unique<TProcessMailbox>("TSetupSpawnService", &ServeCommand);
  gServiceWindow = mailbox->Handle();
  gOwnsWindow = true;
  gMailbox = std::move(mailbox);
}

void TSetupSpawnService::Execute(const std::string& command) {
  if (gServiceWindow == 0 || gOwnsWindow) {
    // The desktop's shell process starts the program, so it runs with the desktop user's
    // rights even when this process is elevated.
    if (IsWindowsVistaOrLater()) ShellOpen("explorer.exe", command);
    else OpenCommand(command);
    return;
  }
  // The waiting first instance opens it before the call returns; a stale handle reaches no one.
  SendToMailbox(gServiceWindow, gToken, KVL::SysUtils::Utf16ToLEBytes(KVL::SysUtils::Utf8ToUtf16(command)));
}

void TSetupSpawnService::Finalize() {
  gMailbox.reset();
  gServiceWindow = 0;
  gOwnsWindow = false;
}

intptr_t TSetupSpawnService::ServiceWindow() { return gServiceWindow; }

bool TSetupSpawnService::OwnsWindow() { return gOwnsWindow; }

std::optional<uint32_t> RelaunchElevated(const std::string& params) {
  TSetupSpawnService::Initialize(0);
  const std::string newParams = KVL::SysUtils::Format("/%s=%lld %s", "SKIPUAC",
                                                      static_cast<long long>(TSetupSpawnService::ServiceWindow()),
                                                      params.c_str());
  std::optional<TProcess> process = ShellExecuteRunAs(ExecutablePath(), newParams, GetCurrentDir());
  if (!process) return std::nullopt;
  // Commands of the elevated instance are served inside these waits.
  if (process->NativeWaitable() >= 0) {
    WaitFor(process->NativeWaitable());
  } else {
    while (!process->WaitForExit(0)) WaitForAny({}, 20);
  }
  process->WaitForExit();
  const uint32_t code = process->ExitCode();
#ifndef _WIN32
  // pkexec's own answers: 126 the user dismissed the prompt, 127 not authorised or the
  // authentication failed. Either way nothing ran elevated, as with a refused prompt.
  if (code == 126 || code == 127) return std::nullopt;
#endif
  return code;
}

bool ExecuteAndWait(const std::string& commandLine) {
  std::optional<TProcess> process;
  try {
    process = StartProcess(commandLine);
  } catch (const EKVLProcessError&) {
    return false;
  }
  if (!process->WaitForInputIdle(5000)) return false;
  process->WaitForExit();
  return true;
}

} // namespace Setup::Core
