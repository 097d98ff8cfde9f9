// Platform service: the running process, child processes, shell execution and other programs' windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

// The full path of the running executable.
std::string ExecutablePath();

// The folder of a path, with its trailing separator ("" when the path has no folder).
std::string ExtractFilePath(const std::string& path);

// The id of the running process.
uint32_t CurrentProcessId();

// Restricts where DLLs are looked up to the system folder, so that a DLL planted beside a
// downloaded installer is never loaded. Call first thing at start-up. No-op on POSIX.
void HardenLibrarySearch();

// A failure of the operating system to start something; Code() is the system's error
// number (GetLastError or errno), the message its text.
class EKVLProcessError : public SysUtils::EKVLError {
public:
  EKVLProcessError(uint32_t code, const std::string& message) : EKVLError(message), code_(code) {}
  uint32_t Code() const { return code_; }

private:
  uint32_t code_;
};

// A started child process. Destroying the object releases the handle, never the process.
// On POSIX a child that is still running when its object goes is not reaped by us.
class TProcess {
public:
  TProcess() = default;
  ~TProcess();
  TProcess(TProcess&& other) noexcept;
  TProcess& operator=(TProcess&& other) noexcept;
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  bool IsValid() const { return id_ != 0; }
  uint32_t Id() const { return id_; }

  // Waits up to timeoutMs (negative: no limit); true once the process has ended.
  bool WaitForExit(int timeoutMs = -1);
  // The exit code of an ended process (POSIX: a process killed by signal n gives 128 + n).
  // Raises EKVLInvalidOperation while it still runs.
  uint32_t ExitCode();
  // Windows: waits until the process is idle for input; false only when timeoutMs passed
  // first (a process without a message queue counts as idle at once). POSIX: true at once.
  bool WaitForInputIdle(int timeoutMs = 5000);

  // Something a dispatcher can wait on until the process ends: the process HANDLE on
  // Windows; on POSIX a pidfd that turns readable, or -1 where the system has no pidfd
  // (then poll with WaitForExit(0)). Owned by this object.
  intptr_t NativeWaitable() const { return waitable_; }

  // Backends only: adopts a started process.
  TProcess(uint32_t id, intptr_t waitable) : id_(id), waitable_(waitable) {}

private:
  void Release();

  uint32_t id_ = 0;
  intptr_t waitable_ = -1;
  bool exited_ = false;
  uint32_t exitCode_ = 0;
};

// Windows command-line quoting: the program and its arguments as one line that
// CommandLineToArgvW and the C runtimes split back into exactly these arguments.
std::string QuoteCommandLine(const std::string& program, const std::vector<std::string>& args);
// The Windows C runtime's splitting of a whole command line (the first item is the program,
// which ends at the first blank or closing quote and knows no escapes).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// The same rules for a line of arguments only (no program in front).
std::vector<std::string> SplitArguments(const std::string& arguments);

// Starts a program with arguments (a bare name is looked up on PATH), handles inherited,
// window shown normally, in workDir when not empty. Raises EKVLProcessError when it cannot be started.
TProcess StartProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir = std::string());
// The same with the program's standard output and error both written to outputFile
// (created or replaced); for tools and tests that read what a program reported.
TProcess StartProcessCapturing(const std::string& program, const std::vector<std::string>& args,
                               const std::string& outputFile, const std::string& workDir = std::string());
// A whole command line (as StartProcess takes it) with its output captured the same way.
TProcess StartProcessCapturing(const std::string& commandLine, const std::string& outputFile);
// Starts a whole command line, the program included (Windows: CreateProcessW with no
// separate program name; POSIX: split by SplitCommandLine first).
TProcess StartProcess(const std::string& commandLine);

// Runs file with parameters (a Windows argument line) elevated: ShellExecuteExW "runas" on
// Windows, pkexec on POSIX ("elevation is not available" without it). Nothing when the user
// refused the prompt (Windows error 1223); EKVLProcessError for any other failure.
std::optional<TProcess> ShellExecuteRunAs(const std::string& file, const std::string& parameters,
                                          const std::string& workDir);

// Opens file with the shell's "open" verb and does not wait; true when it was handed over
// (Windows: the shell answered above 32). Under Wine an address goes to winebrowser. POSIX:
// an executable file is started detached (own session, standard streams on /dev/null), anything
// else (document, address) is given to xdg-open; false when that is missing or fails to start.
bool ShellOpen(const std::string& file, const std::string& parameters = std::string(),
               const std::string& workDir = std::string());

// Whether a text is an address for a browser: a scheme followed by "://" or ":\\", or "mailto:".
bool IsUrl(const std::string& text);

// Top-level windows of a window class, in the system's order (topmost first). POSIX: the X11
// windows of $DISPLAY whose WM_CLASS name or class is className (inside a window manager's
// frame too); nothing without a display.
std::vector<intptr_t> FindTopLevelWindows(const std::string& className);
// The id of the process that owns a window (0 when the window is gone; POSIX: from the
// window's _NET_WM_PID, 0 when it has none).
uint32_t WindowProcessId(intptr_t window);
// The full executable path of a running process ("" when unknown or not accessible).
std::string ProcessExecutablePath(uint32_t processId);
// Asks a window to close: Post queues WM_CLOSE (X11: a WM_DELETE_WINDOW message) and returns;
// Send waits until the owning program has handled it. On X11 "handled" is seen when the window
// is gone or the program answers a _NET_WM_PING sent after the request; Send gives up after
// 5 seconds without either.
void PostCloseRequest(intptr_t window);
void SendCloseRequest(intptr_t window);

} // namespace KVL::Platform
