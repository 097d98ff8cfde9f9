// Win32 processes: CreateProcessW, ShellExecuteExW, other programs' windows.
#include "KVL/Base/Platform/Process.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"
#include <shellapi.h>

#include <vector>

namespace KVL::Platform {

namespace {

std::string ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string msg = n ? Narrow(text, n) : SysUtils::Format("System error %lu", static_cast<unsigned long>(code));
  if (text) LocalFree(text);
  return SysUtils::Trim(msg);
}

[[noreturn]] void RaiseLastError(const std::string& what) {
  DWORD code = GetLastError();
  throw EKVLProcessError(code, what + ": " + ErrorText(code));
}

TProcess Create(const std::string& commandLine, const std::string& workDir, const std::string& what,
                const std::string& outputFile = std::string()) {
  std::wstring line = Wide(commandLine);
  std::wstring dir = Wide(workDir);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    output = CreateFileW(Wide(outputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) RaiseLastError("Cannot create " + outputFile);
    si.dwFlags |= STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = output;
    si.hStdError = output;
  }
  PROCESS_INFORMATION pi = {};
  // CreateProcessW may write into the command line, hence the mutable copy.
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      dir.empty() ? nullptr : dir.c_str(), &si, &pi);
  const DWORD error = GetLastError();
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!started) {
    SetLastError(error);
    RaiseLastError("Cannot start " + what);
  }
  CloseHandle(pi.hThread);
  return TProcess(pi.dwProcessId, reinterpret_cast<intptr_t>(pi.hProcess));
}

bool IsRunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

std::string ExecutablePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(buf.size() * 2);  // long paths are truncated silently otherwise
  }
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

void HardenLibrarySearch() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

void TProcess::Release() {
  if (waitable_ != -1 && waitable_ != 0) CloseHandle(reinterpret_cast<HANDLE>(waitable_));
  id_ = 0;
  waitable_ = -1;
}

bool TProcess::WaitForExit(int timeoutMs) {
  if (exited_ || id_ == 0) return exited_;
  HANDLE h = reinterpret_cast<HANDLE>(waitable_);
  if (WaitForSingleObject(h, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  exited_ = true;
  exitCode_ = code;
  return true;
}

bool TProcess::WaitForInputIdle(int timeoutMs) {
  if (id_ == 0) return true;
  return ::WaitForInputIdle(reinterpret_cast<HANDLE>(waitable_), static_cast<DWORD>(timeoutMs)) != WAIT_TIMEOUT;
}

TProcess StartProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workDir) {
  return Create(QuoteCommandLine(program, args), workDir, program);
}

TProcess StartProcessCapturing(const std::string& program, const std::vector<std::string>& args,
                               const std::string& outputFile, const std::string& workDir) {
  return Create(QuoteCommandLine(program, args), workDir, program, outputFile);
}

TProcess StartProcessCapturing(const std::string& commandLine, const std::string& outputFile) {
  return Create(commandLine, std::string(), commandLine, outputFile);
}

TProcess StartProcess(const std::string& commandLine) { return Create(commandLine, std::string(), commandLine); }

std::optional<TProcess> ShellExecuteRunAs(const std::string& file, const std::string& parameters,
                                          const std::string& workDir) {
  std::wstring f = Wide(file), p = Wide(parameters), d = Wide(workDir);
  SHELLEXECUTEINFOW sei = {};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
  sei.lpVerb = L"runas";
  sei.lpFile = f.c_str();
  sei.lpParameters = p.c_str();
  sei.lpDirectory = d.empty() ? nullptr : d.c_str();
  sei.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&sei)) {
    if (GetLastError() == ERROR_CANCELLED) return std::nullopt;
    RaiseLastError("Cannot start " + file);
  }
  if (!sei.hProcess) throw EKVLProcessError(ERROR_INVALID_HANDLE, "Cannot start " + file + ": no process");
  return TProcess(GetProcessId(sei.hProcess), reinterpret_cast<intptr_t>(sei.hProcess));
}

bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& workDir) {
  // Wine's shell does not hand addresses to the host's browser; winebrowser does.
  const bool viaBrowser = IsRunningUnderWine() && IsUrl(file);
  std::wstring f = Wide(viaBrowser ? "winebrowser" : file);
  std::wstring p = Wide(viaBrowser ? file : parameters);
  std::wstring d = Wide(workDir);
  SHELLEXECUTEINFOW sei = {};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;  // the launch completes before we return
  sei.lpVerb = L"open";
  sei.lpFile = f.c_str();
  sei.lpParameters = p.empty() ? nullptr : p.c_str();
  sei.lpDirectory = d.empty() ? nullptr : d.c_str();
  sei.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&sei) && reinterpret_cast<INT_PTR>(sei.hInstApp) > 32;
}

std::vector<intptr_t> FindTopLevelWindows(const std::string& className) {
  std::wstring cls = Wide(className);
  std::vector<intptr_t> found;
  for (HWND w = FindWindowExW(nullptr, nullptr, cls.c_str(), nullptr); w;
       w = FindWindowExW(nullptr, w, cls.c_str(), nullptr))
    found.push_back(reinterpret_cast<intptr_t>(w));
  return found;
}

uint32_t WindowProcessId(intptr_t window) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &pid)) return 0;
  return pid;
}

std::string ProcessExecutablePath(uint32_t processId) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!h) return std::string();
  std::vector<wchar_t> buf(MAX_PATH);
  std::string path;
  for (;;) {
    DWORD n = static_cast<DWORD>(buf.size());
    if (QueryFullProcessImageNameW(h, 0, buf.data(), &n)) {
      path = Narrow(buf.data(), n);
      break;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || buf.size() >= 32768) break;
    buf.resize(buf.size() * 2);
  }
  CloseHandle(h);
  return path;
}

void PostCloseRequest(intptr_t window) { PostMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0); }

void SendCloseRequest(intptr_t window) { SendMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0); }

} // namespace KVL::Platform
